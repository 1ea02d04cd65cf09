#include "platform/qtplatform.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vornik {

namespace {

// The name of the first platform of a QT_QPA_PLATFORM value such as
// "wayland;xcb" or "offscreen:fontengine=freetype".
std::string_view firstPlatformName(std::string_view requested)
{
    requested = requested.substr(0, requested.find(';'));
    return requested.substr(0, requested.find(':'));
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool canConnectToX(const std::string& display)
{
    if (display.empty())
        return false;
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return false;
    XCloseDisplay(connection);
    return true;
}

} // namespace

QtPlatformChoice chooseQtPlatform(const DisplaySession& session)
{
    const std::string_view first = firstPlatformName(session.requestedPlatform);
    if (first == "offscreen")
        return QtPlatformChoice::Keep;
    if (session.wayland && !session.xDisplayReachable)
        return QtPlatformChoice::NoXwayland;
    if (first == "xcb")
        return QtPlatformChoice::Keep;
    // Without a Wayland session this is what Qt would pick anyway; without
    // any display Qt's own message says so.
    return QtPlatformChoice::Xcb;
}

bool selectQtPlatform()
{
    DisplaySession session;
    session.requestedPlatform = environment("QT_QPA_PLATFORM");
    session.wayland = !environment("WAYLAND_DISPLAY").empty() || environment("XDG_SESSION_TYPE") == "wayland";
    const std::string display = environment("DISPLAY");
    // Connecting is only worth it where the answer changes the choice.
    if (session.wayland && firstPlatformName(session.requestedPlatform) != "offscreen")
        session.xDisplayReachable = canConnectToX(display);
    switch (chooseQtPlatform(session)) {
    case QtPlatformChoice::Keep:
        return true;
    case QtPlatformChoice::Xcb:
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    case QtPlatformChoice::NoXwayland:
        break;
    }
    if (display.empty())
        std::fprintf(stderr, "vornik-tools: this Wayland session has no X display (DISPLAY is not set).\n");
    else
        std::fprintf(stderr, "vornik-tools: cannot connect to the X display %s of this Wayland session.\n",
                     display.c_str());
    std::fprintf(stderr, "vornik-tools runs through Xwayland: enable Xwayland in the compositor and start it again.\n");
    return false;
}

} // namespace vornik
