#include "platform/x11/displayprobe.h"

#include <X11/Xlib.h>

namespace vornik {

bool x11DisplayAccepts(const std::string& display)
{
    if (display.empty())
        return false;
    Display* connection = XOpenDisplay(display.c_str());
    if (!connection)
        return false;
    XCloseDisplay(connection);
    return true;
}

} // namespace vornik
