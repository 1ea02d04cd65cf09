// A window manager that is slow to answer, as a compositor's window manager
// is on a busy machine: it grants every request to map a top-level window,
// but only after a delay (the first argument, in milliseconds), and prints
// "mapped <window id>" when it does. Requests to move or resize are granted
// at once. It says it can activate windows (so that programs ask it to rather
// than take the focus themselves) and never does, and prints "fullscreen
// <window id>" for each request to make a window full screen, granting none.
// Prints "ready" once it manages the screen; runs until killed.
//   slow_wm DELAY_MS [covered | tiling]
// With "covered" it keeps a window of its own over the whole screen and maps
// every other window under it, as a manager that keeps new windows from
// stealing the focus may stack them: mapped, yet nowhere exposed. With
// "tiling" it maps every window tiled, whatever state the window carries,
// and writes the window's state without full screen first, as a busy sway
// did with a window shown again soon after it was hidden.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/select.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

struct PendingMap {
    Window window;
    Clock::time_point due;
};

// A window may be gone by the time its map is granted.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::chrono::milliseconds delay(argc > 1 ? std::atoi(argv[1]) : 500);
    const bool covered = argc > 2 && std::string_view(argv[2]) == "covered";
    const bool tiling = argc > 2 && std::string_view(argv[2]) == "tiling";
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureRedirectMask);
    XSync(display, False); // fails here, by Xlib's own handler, while another manager runs
    // The window that tells programs a manager is running, and what it offers.
    const Window check = XCreateSimpleWindow(display, root, -1, -1, 1, 1, 0, 0, 0);
    const Atom checkAtom = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    XChangeProperty(display, root, checkAtom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&check), 1);
    XChangeProperty(display, check, checkAtom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&check), 1);
    const char name[] = "slow_wm";
    XChangeProperty(display, check, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name), sizeof name - 1);
    const Atom netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom netWmStateFullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    const Atom supported[] = {XInternAtom(display, "_NET_ACTIVE_WINDOW", False), netWmState, netWmStateFullScreen};
    XChangeProperty(display, root, XInternAtom(display, "_NET_SUPPORTED", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(supported), 3);
    if (covered) {
        const Screen* screen = DefaultScreenOfDisplay(display);
        const Window cover = XCreateSimpleWindow(display, root, 0, 0, static_cast<unsigned>(screen->width),
                                                 static_cast<unsigned>(screen->height), 0, 0, 0x404040);
        XMapRaised(display, cover);
    }
    XSetErrorHandler(ignoreErrors);
    std::printf("ready\n");
    std::fflush(stdout);

    std::deque<PendingMap> maps;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapRequest) {
                maps.push_back({event.xmaprequest.window, Clock::now() + delay});
            } else if (event.type == ClientMessage && event.xclient.message_type == netWmState &&
                       event.xclient.format == 32 && event.xclient.data.l[0] == 1 &&
                       static_cast<Atom>(event.xclient.data.l[1]) == netWmStateFullScreen) {
                std::printf("fullscreen %lu\n", event.xclient.window);
                std::fflush(stdout);
            } else if (event.type == ConfigureRequest) {
                const XConfigureRequestEvent& request = event.xconfigurerequest;
                XWindowChanges changes{};
                changes.x = request.x;
                changes.y = request.y;
                changes.width = request.width;
                changes.height = request.height;
                changes.border_width = request.border_width;
                changes.sibling = request.above;
                changes.stack_mode = request.detail;
                unsigned long mask = request.value_mask;
                if (covered)
                    mask &= ~static_cast<unsigned long>(CWSibling | CWStackMode);
                XConfigureWindow(display, request.window, static_cast<unsigned>(mask), &changes);
            }
        }
        const auto now = Clock::now();
        while (!maps.empty() && maps.front().due <= now) {
            if (covered)
                XLowerWindow(display, maps.front().window);
            if (tiling)
                XChangeProperty(display, maps.front().window, netWmState, XA_ATOM, 32, PropModeReplace, nullptr, 0);
            XMapWindow(display, maps.front().window);
            std::printf("mapped %lu\n", maps.front().window);
            std::fflush(stdout);
            maps.pop_front();
        }
        XFlush(display);

        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(ConnectionNumber(display), &readable);
        timeval wait{};
        if (!maps.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(maps.front().due - now);
            wait.tv_sec = static_cast<long>(left.count() / 1000000);
            wait.tv_usec = static_cast<long>(left.count() % 1000000);
        }
        select(ConnectionNumber(display) + 1, &readable, nullptr, nullptr, maps.empty() ? nullptr : &wait);
    }
}
