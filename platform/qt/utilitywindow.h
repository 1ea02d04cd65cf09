#pragma once

// The program's components were first written against the message-driven
// window API of another desktop: a tray icon component that hears its
// icon's clicks as mouse messages posted to a hidden window, menus that
// answer WM_MENUCHAR, a shell that broadcasts when its taskbar restarts.
// Their tables and callbacks are kept as they were written, so this folder
// gives the window-message names (UINT, WPARAM, WM_*...) the values that API
// gives them, and the services behind them (the utility window here, the
// pop-up menu host, message boxes, drawing surfaces, the save dialog) are
// built on Qt widgets, the same on every session backend.

#include "platform/traymenumodel.h"

#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

namespace vornik {

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

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
    // Posts the message with the screen point (in screen pixels) where what
    // it reports happened, for a sender that knows it better than the
    // pointer does when the message is handled.
    void postMessage(UINT message, WPARAM wParam, LPARAM lParam, QPoint at);

    // While the window procedure handles a message posted with a point,
    // that point; none while it handles any other.
    std::optional<QPoint> messagePoint() const { return m_messagePoint; }

    // Posts the message to every utility window that exists.
    static void broadcastMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The menu of the icons this window owns, for tray hosts that show the
    // menu themselves; none unless the owner sets one.
    void setTrayMenu(TrayMenuModel* menu) { m_trayMenu = menu; }
    TrayMenuModel* trayMenu() const { return m_trayMenu; }

  private:
    void post(UINT message, WPARAM wParam, LPARAM lParam, std::optional<QPoint> at);

    WindowProc m_procedure;
    std::optional<QPoint> m_messagePoint;
    TrayMenuModel* m_trayMenu = nullptr;
};

} // namespace vornik
