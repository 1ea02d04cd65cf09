#pragma once

#include "platform/qt/utilitywindow.h"
#include "platform/traymenumodel.h"

#include <QIcon>
#include <QPoint>

#include <cstdint>

namespace vornik {

// The notification-area commands and flags, with the values the shell's
// call gives them.
inline constexpr int NIM_ADD = 0;
inline constexpr int NIM_MODIFY = 1;
inline constexpr int NIM_DELETE = 2;

inline constexpr UINT NIF_MESSAGE = 1;
inline constexpr UINT NIF_ICON = 2;
inline constexpr UINT NIF_TIP = 4;

// The size the first form of the notification record declares for itself.
inline constexpr std::uint32_t kNotifyIconDataSize = 88;

// An icon handle as the record carries it. The service copies the image on
// every add and modify, so the handle only needs to live for the call.
using HICON = const QIcon*;
// The handle the record carries when there is no icon to show.
inline HICON invalidIconHandle()
{
    return reinterpret_cast<HICON>(static_cast<std::intptr_t>(-1));
}

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

// The service of the running desktop, chosen among the tray backends (see
// platform/backends.cpp); one that refuses every add where there is none.
NotifyIconService& systemNotifyIconService();

// The notification-area call of the system service.
bool shellNotifyIcon(int message, const NotifyIconData& record);

} // namespace vornik
