#include "platform/clipboardwatcher.h"

#include "platform/wayland/datacontrolclipboard.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vornik {

ClipboardBackend chooseClipboardBackend(std::string_view forced, bool waylandSession)
{
    if (forced == "x11")
        return ClipboardBackend::X11;
    if (forced == "wayland" || waylandSession)
        return ClipboardBackend::WaylandDataControl;
    return ClipboardBackend::X11;
}

std::unique_ptr<ClipboardWatcher> openClipboardWatcher()
{
    const char* forced = std::getenv("VORNIK_CLIPBOARD");
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const bool waylandSession = waylandDisplay && *waylandDisplay;
    if (chooseClipboardBackend(forced ? forced : "", waylandSession) == ClipboardBackend::X11)
        return nullptr;
    std::unique_ptr<ClipboardWatcher> watcher = DataControlClipboard::open();
    // GNOME's compositor, for one, offers no data control; the X11 selection
    // through Xwayland then sees the copies made while an X11 window has the
    // focus, and those of native programs once one of our windows gets it.
    if (!watcher && forced && std::string(forced) == "wayland")
        std::fprintf(stderr, "vornik-tools: the compositor offers no clipboard data control; using the X11 clipboard\n");
    return watcher;
}

} // namespace vornik
