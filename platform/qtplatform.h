#pragma once

#include <string>

namespace vornik {

// What the start of the program knows about the desktop it was started on.
struct DisplaySession {
    // QT_QPA_PLATFORM as exported, empty when it is not.
    std::string requestedPlatform;
    // The session is a Wayland session (WAYLAND_DISPLAY or XDG_SESSION_TYPE say so).
    bool wayland = false;
    // An X server (on a Wayland session: Xwayland) accepts a connection on DISPLAY.
    bool xDisplayReachable = false;
};

enum class QtPlatformChoice {
    // Leave QT_QPA_PLATFORM as it is.
    Keep,
    // Run on Qt's xcb platform.
    Xcb,
    // A Wayland session without Xwayland: the program cannot run.
    NoXwayland,
};

// The program's windows are X11 windows and the platform layer speaks X11,
// so it runs on Qt's xcb platform, also where a Wayland session exports
// QT_QPA_PLATFORM=wayland. Only the tests' offscreen platform, and an xcb
// request that may carry arguments of its own, are kept.
QtPlatformChoice chooseQtPlatform(const DisplaySession& session);

// Looks at this process's environment and display and applies the choice
// before the application object exists. Returns false, after telling the
// user why on stderr, when the program cannot run here.
bool selectQtPlatform();

} // namespace vornik
