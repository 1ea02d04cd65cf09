#pragma once

#include "platform/traymenumodel.h"

#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace vornik {

// Message numbers, flags and commands of the notification-area service, with
// the values the desktop shell of the original platform gives them, so that a
// component written against that service keeps its tables unchanged.
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr int NIM_ADD = 0;
inline constexpr int NIM_MODIFY = 1;
inline constexpr int NIM_DELETE = 2;

inline constexpr UINT NIF_MESSAGE = 1;
inline constexpr UINT NIF_ICON = 2;
inline constexpr UINT NIF_TIP = 4;

inline constexpr UINT WM_MOUSEMOVE = 0x200;
inline constexpr UINT WM_LBUTTONDOWN = 0x201;
inline constexpr UINT WM_LBUTTONUP = 0x202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x203;
inline constexpr UINT WM_RBUTTONDOWN = 0x204;
inline constexpr UINT WM_RBUTTONUP = 0x205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x206;
inline constexpr UINT WM_MBUTTONDOWN = 0x207;
inline constexpr UINT WM_MBUTTONUP = 0x208;
inline constexpr UINT WM_MBUTTONDBLCLK = 0x209;

// Broadcast to every utility window when a tray host takes over the desktop's
// notification area (also after the previous host went away): icons that the
// old host held are gone and must be added again.
inline constexpr UINT WM_TASKBARCREATED = 0xC0DE;

// The size the first form of the notification record declares for itself.
inline constexpr std::uint32_t kNotifyIconDataSize = 88;

// An icon handle as the record carries it. The service copies the image on
// every add and modify, so the handle only needs to live for the call.
using HICON = const QIcon*;
// The handle the record carries when there is no icon to show.
HICON invalidIconHandle();

class UtilityWindow;

// The notification record in its first form.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    UtilityWindow* hWnd = nullptr;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    HICON hIcon = nullptr;
    char szTip[64] = {};
};

// A hidden, zero-size, top-level tool window whose only job is to receive
// messages: the notification service's callbacks and broadcasts. It is never
// shown. Messages are handled by the window procedure given at construction;
// postMessage queues them in the application's event queue, in order.
class UtilityWindow : public QWidget {
    Q_OBJECT
  public:
    using WindowProc = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit UtilityWindow(WindowProc procedure);
    ~UtilityWindow() override;

    LRESULT sendMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void postMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Posts the message to every utility window that exists.
    static void broadcastMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The menu of the icons this window owns, for tray hosts that show the
    // menu themselves; none unless the owner sets one.
    void setTrayMenu(TrayMenuModel* menu) { m_trayMenu = menu; }
    TrayMenuModel* trayMenu() const { return m_trayMenu; }

  private:
    WindowProc m_procedure;
    TrayMenuModel* m_trayMenu = nullptr;
};

// The desktop services a tray icon component needs: the notification area,
// and the bits of the window system it reads or drives around its menu.
// The real one talks to the X server; tests put in a double.
class NotifyIconService {
  public:
    virtual ~NotifyIconService() = default;

    // Adds, modifies or deletes the icon that the record's window and
    // identifier name. Add fails when the pair is already present or when no
    // tray host runs; modify and delete fail when the pair is unknown.
    virtual bool shellNotifyIcon(int message, const NotifyIconData& record) = 0;

    // The pointer's position on the screen, in screen pixels, at this moment.
    virtual QPoint cursorPos() = 0;

    struct KeyState {
        bool shift = false;
        bool control = false;
        bool alt = false;
    };
    // Which modifier keys are down at this moment.
    virtual KeyState keyState() = 0;

    // Default handling of a message that the window procedure does not want.
    virtual LRESULT defWindowProc(UtilityWindow* window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Makes the window the one that gets keyboard input.
    virtual void setForegroundWindow(UtilityWindow* window) = 0;

    // Ends any pointer grab or drag that a widget of the application holds.
    virtual void cancelMouseMode() = 0;

    // Handles every event waiting in the application's queue.
    virtual void processMessages() = 0;
};

// What a tray service keeps of one icon from the records it is given.
struct TrayIconState {
    QPointer<UtilityWindow> window;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t callbackMessage = 0;
    QIcon icon;
    QString tip;

    // Takes the parts of an add or modify record that its flags name.
    void take(const NotifyIconData& record);
};

// What every desktop service shares: the pointer, the keyboard, focus and
// grabs as Qt reports and drives them.
class DesktopServiceBase : public NotifyIconService {
  public:
    QPoint cursorPos() override;
    KeyState keyState() override;
    LRESULT defWindowProc(UtilityWindow* window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void setForegroundWindow(UtilityWindow* window) override;
    void cancelMouseMode() override;
    void processMessages() override;
};

// The service of the running desktop, chosen among the tray backends (see
// platform/backends.cpp); one that refuses every add where there is none.
NotifyIconService& systemNotifyIconService();

// The notification-area call of the system service.
bool shellNotifyIcon(int message, const NotifyIconData& record);

} // namespace vornik
