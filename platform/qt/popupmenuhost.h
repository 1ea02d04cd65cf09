#pragma once

#include "platform/canvas.h"

#include <QObject>

#include <vector>

class QWidget;

namespace vornik {

// Tracking flags with the values TrackPopupMenu gives them.
inline constexpr unsigned TPM_LEFTBUTTON = 0x0000;
inline constexpr unsigned TPM_RIGHTBUTTON = 0x0002;
inline constexpr unsigned TPM_LEFTALIGN = 0x0000;
inline constexpr unsigned TPM_CENTERALIGN = 0x0004;
inline constexpr unsigned TPM_RIGHTALIGN = 0x0008;

// Owner-drawn item states as the paint requests pass them.
inline constexpr unsigned ODS_SELECTED = 0x0001;
inline constexpr unsigned ODS_GRAYED = 0x0002;
inline constexpr unsigned ODS_DISABLED = 0x0004;

// Answers to a typed character while a menu is open (the high word of a
// WM_MENUCHAR answer); the index names the item to run or highlight.
enum MenuCharCode : int { MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3 };
struct MenuCharResult {
    int code = MNC_IGNORE;
    int index = 0;
    bool operator==(const MenuCharResult&) const = default;
};

// One entry of the menu handed to trackPopupMenu, in menu order.
struct PopupMenuEntry {
    int command = 0;
    bool separator = false;
    bool enabled = true;
};

// The owner-drawn side of a tracked menu: measures and paints its entries
// (indexes into the entry list) and answers typed characters.
class PopupMenuClient {
  public:
    virtual ~PopupMenuClient() = default;
    // The surface carries the menu font; height arrives as the height the
    // font proposes, width as 0.
    virtual void measureItem(int index, Canvas& canvas, int& width, int& height) = 0;
    // itemRect and itemsArea (the union of all entries' rectangles) are in
    // the menu window's client coordinates; the surface belongs to the menu
    // window, so canvas.window() reaches it.
    virtual void drawItem(int index, Canvas& canvas, const Rect& itemRect, unsigned state,
                          const Rect& itemsArea) = 0;
    virtual MenuCharResult menuChar(char typed, int highlightedIndex) = 0;
};

// A menu that owns command identifiers; registered with the pop-up list so
// that commands and measure requests by identifier reach it.
class PopupCommandTarget {
  public:
    virtual ~PopupCommandTarget() = default;
    // Clicks the item with this command identifier; false when it has none.
    virtual bool dispatchCommand(int command) = 0;
    virtual bool measureCommand(int command, Canvas& canvas, int& width, int& height) = 0;
};

// The hidden object of the application that owns every pop-up menu while
// it is open: a chosen entry's command is posted to it, and it finds the
// item among all registered menus and clicks it. Exceptions from the click
// leave through the application's notify().
class PopupList : public QObject {
    Q_OBJECT
  public:
    static PopupList& instance();

    void add(PopupCommandTarget* target);
    void remove(PopupCommandTarget* target);

    // Delivers a command now, as a WM_COMMAND would; false when no
    // registered menu holds the identifier.
    bool command(int commandId);
    void postCommand(int commandId);
    // A measure request for the item with this identifier, as if from the
    // desktop, on a surface with the menu font.
    bool measureItem(int commandId, int& width, int& height);

  protected:
    bool event(QEvent* event) override;

  private:
    PopupList();
    std::vector<PopupCommandTarget*> m_targets;
};

// The width of the virtual desktop (all screens together), in logical pixels.
int virtualDesktopWidth();

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// A point given in the screen's own pixels (as the window system reports the
// pointer) in the logical pixels that windows are placed and sized in. On a
// scaled screen the two differ by the screen's scale factor, counted from the
// screen's top-left corner; a point on no screen is taken on the nearest one.
ScreenPoint logicalScreenPoint(int deviceX, int deviceY);

// The height the menu font proposes for an owner-drawn item.
int proposedMenuItemHeight();

// Opens a pop-up menu window at the screen point (logical pixels), keeping
// it inside the screen that holds the point, tracks it in a nested
// event loop and returns when it closes: the chosen entry's command, or 0.
// The command is also posted to the pop-up list. Returns 0 at once when the
// list is empty or another menu is already being tracked.
int trackPopupMenu(const std::vector<PopupMenuEntry>& entries, unsigned flags, int x, int y,
                   PopupMenuClient& client);

// The menu window while one is open, for tests and diagnostics.
QWidget* openPopupMenuWindow();

// The application's menu animation: switched off for this program while it
// runs and put back at its end. Only this program's own setting changes.
void switchOffMenuAnimation();
void restoreMenuAnimation();

} // namespace vornik
