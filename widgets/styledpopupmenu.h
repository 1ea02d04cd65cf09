#pragma once

#include "platform/qt/popupmenuhost.h"
#include "platform/traymenumodel.h"
#include "widgets/menuitem.h"
#include "widgets/menurules.h"
#include "widgets/menustyler.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

namespace vornik {

// A pop-up menu whose items are all measured and painted by the styled
// renderer. It opens through the platform's pop-up menu host and reaches
// its items by command identifier through the pop-up list.
class TStyledPopupMenu : public QObject, public PopupMenuClient, public PopupCommandTarget {
    Q_OBJECT
  public:
    explicit TStyledPopupMenu(QObject* owner = nullptr);
    ~TStyledPopupMenu() override;

    unsigned MenuAnimation = 0; // TMenuAnimations bits
    TTrackButton TrackButton = tbRightButton;
    TPopupAlignment Alignment = paLeft;
    bool AutoPopup = true;
    TMenuAutoFlag AutoHotkeys = maAutomatic;
    TMenuAutoFlag AutoLineReduction = maAutomatic;
    bool OwnerDraw = true;
    TNotifyEvent OnPopup;
    // The component that opened the menu last; set by whoever opens it.
    QObject* PopupComponent = nullptr;
    int PopupPointX = 0, PopupPointY = 0;

    std::string Version() const { return "2.0.0.0"; }
    void setVersion(const std::string&) {}

    // The assigned style object, or none; the menu then paints with its
    // internal one ("InternalMenuStyler").
    TCustomMenuStyler* MenuStyler() const { return m_external; }
    void setMenuStyler(TCustomMenuStyler* styler);
    const TCustomMenuStyler& activeStyler() const;

    // The root of the item tree; its sub-items are the menu's items.
    TMenuItem* Items() const { return m_items.get(); }

    // After the items have been created: hands every item the renderer's
    // measure and paint routines (those that have none of their own).
    void Loaded();

    // Opens the menu at the screen point; returns when it has closed. The
    // chosen item's click runs afterwards, from the event loop.
    virtual void Popup(int x, int y);

    // PopupMenuClient
    void measureItem(int index, Canvas& canvas, int& width, int& height) override;
    void drawItem(int index, Canvas& canvas, const Rect& itemRect, unsigned state,
                  const Rect& itemsArea) override;
    MenuCharResult menuChar(char typed, int highlightedIndex) override;
    // PopupCommandTarget
    bool dispatchCommand(int command) override;
    bool measureCommand(int command, Canvas& canvas, int& width, int& height) override;

  private:
    void attach(TMenuItem* item);
    void rethinkHotkeys();
    void rethinkLines();

    std::unique_ptr<TMenuItem> m_items;
    std::unique_ptr<TCustomMenuStyler> m_internal;
    TCustomMenuStyler* m_external = nullptr;
    std::vector<TMenuItem*> m_shown;
};

// The click handler of "E-mail collect": inverts the sender's check mark.
void menu_emailcollectClick(QObject* sender);

// The tray menu's items, created into popup with their captions, names,
// tags and check marks; the caller assigns the handlers of the screen
// tools and exit items.
struct TrayMenuItems {
    TMenuItem* menu_emailcollect = nullptr;
    TMenuItem* Colorpickersizecuttools1 = nullptr;
    TMenuItem* menu_vege = nullptr;
    TMenuItem* menu_kilepes = nullptr;
};
TrayMenuItems createTrayMenu(TStyledPopupMenu& popup);

// The menu's top-level items as a tray host that draws the menu itself shows
// them, with the mnemonics the menu gives them when it opens (on such a host
// it may never open).
std::vector<TrayMenuEntry> exportedTrayMenuEntries(const TStyledPopupMenu& popup);

} // namespace vornik
