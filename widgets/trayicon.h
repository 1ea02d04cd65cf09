#pragma once

#include "platform/notifyiconservice.h"

#include <QIcon>
#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vornik {

class TTrayIcon;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A set of shift-state flags: keys from the keyboard, buttons and the double
// mark from the event.
enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent =
    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y)>;

// An icon image that tells its owner when its content changes.
class TIcon {
  public:
    TIcon() = default;
    explicit TIcon(QIcon image) : m_image(std::move(image)) {}
    TIcon(const TIcon& other) : m_image(other.m_image) {}
    TIcon& operator=(const TIcon& other);

    // Copies the other icon's image; the change notice follows.
    void Assign(const TIcon& other);
    void setImage(const QIcon& image);
    const QIcon& image() const { return m_image; }
    bool Empty() const { return m_image.isNull(); }
    // Null while the icon is empty.
    HICON Handle() const { return m_image.isNull() ? nullptr : &m_image; }

    std::function<void()> OnChange;

  private:
    QIcon m_image;
};

// A list of icon images, for animation frames.
class TIconList {
  public:
    void Assign(const TIconList& other);
    void Add(const TIcon& icon);
    void Clear();
    int Count() const { return static_cast<int>(m_icons.size()); }
    const TIcon& operator[](int index) const { return m_icons.at(static_cast<std::size_t>(index)); }

    std::function<void()> OnChange;

  private:
    std::vector<TIcon> m_icons;
};

// What the tray icon needs of its pop-up menu. An adapter over the real menu
// implements it; destroying the adapter tells every tray icon that refers
// to it, which then forgets the reference.
class TTrayPopupMenu : public TrayMenuModel {
  public:
    ~TTrayPopupMenu() override;

    virtual bool AutoPopup() const = 0;
    // Records the component that opened the menu.
    virtual void setPopupComponent(QObject* component) = 0;
    // The top-level items.
    virtual int itemCount() const = 0;
    virtual bool itemDefault(int index) const = 0;
    virtual bool itemEnabled(int index) const = 0;
    // Clicks the item: its command runs.
    virtual void clickItem(int index) = 0;
    // Opens the menu at the screen position; returns when it has closed.
    virtual void Popup(int x, int y) = 0;

    // For tray hosts that show the menu themselves: nothing unless the
    // adapter describes its items; running one clicks it.
    std::vector<TrayMenuEntry> trayMenuEntries() const override { return {}; }
    void runTrayMenuEntry(int index) override { clickItem(index); }

  private:
    friend class TTrayIcon;
    std::vector<TTrayIcon*> m_freeNotify;
};

// The handler that exceptions escaping a tray icon's message handling go to
// unless the component has a handler of its own. The application sets it to
// its default exception display; until then the message goes to stderr.
using TExceptionHandler = std::function<void(const std::exception& error)>;
void setDefaultTrayExceptionHandler(TExceptionHandler handler);
void forwardToDefaultTrayExceptionHandler(const std::exception& error);

// The program's icon, 32 x 32: the image the tray shows and the one the
// executable and its windows carry (":/vornik-tools.png").
QIcon applicationIcon();

// The callback message the icon's notifications arrive with.
inline constexpr UINT kTrayCallbackMessage = 0xB054;

// One icon with a tooltip in the desktop's notification area, whose mouse
// actions become component events: a right click opens PopupMenu at the
// pointer, a double-click activates the menu's default item or calls
// OnDblClick.
class TTrayIcon : public QObject {
    Q_OBJECT
  public:
    // The service defaults to the desktop's own; tests pass a double.
    explicit TTrayIcon(QObject* owner, NotifyIconService* service = nullptr);
    ~TTrayIcon() override;

    // Called once the stored settings have been applied.
    void Loaded();

    bool Active() const { return m_active; }
    void setActive(bool value);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool value) { m_enabled = value; }
    const std::string& Hint() const { return m_hint; }
    void setHint(const std::string& value);
    const TIcon& Icon() const { return *m_icon; }
    void setIcon(const TIcon& value);
    const TIconList& Icons() const { return *m_icons; }
    void setIcons(const TIconList& value);
    // Animation is not implemented: the flag stays false.
    bool Animated() const { return false; }
    void setAnimated(bool value);
    std::uint16_t Interval() const { return m_interval; }
    void setInterval(std::uint16_t value) { m_interval = value; }
    TTrayPopupMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(TTrayPopupMenu* value);

    TMouseEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // Where exceptions escaping the message handling go; by default to the
    // handler set with setDefaultTrayExceptionHandler.
    TExceptionHandler OnException;

    // The hidden window that receives the notifications.
    UtilityWindow* Handle() const { return m_window.get(); }
    // The notification record as last filled.
    const NotifyIconData& IconData() const { return m_iconData; }
    // Whether the notification area holds the icon.
    bool Added() const { return m_added; }

    // The part of the hint before its first "|".
    std::string ShortHint() const;

    // Opens the menu at (x, y); false when there is no menu to open.
    bool ShowMenu(int x, int y);

  protected:
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DblClick();

  private:
    friend class TTrayPopupMenu;

    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void dispatchMouse(UINT mouseMessage);
    void Activate();
    void Deactivate();
    void Changed();
    void FillIconData();
    const TIcon* activeIcon() const;
    bool activeIconUsable() const;
    void menuDestroyed(TTrayPopupMenu* menu);

    NotifyIconService& m_service;
    bool m_destroying = false;

    bool m_active = false;
    bool m_enabled = true;
    std::string m_hint;
    std::unique_ptr<TIcon> m_icon;
    std::unique_ptr<TIconList> m_icons;
    std::uint16_t m_interval = 150;
    TTrayPopupMenu* m_popupMenu = nullptr;

    std::unique_ptr<UtilityWindow> m_window;
    bool m_added = false;
    bool m_leftClicked = false;
    bool m_rightClicked = false;
    int m_frameIndex = -1;
    NotifyIconData m_iconData;
};

} // namespace vornik
