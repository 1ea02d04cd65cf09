// A window manager that is slow to answer, as a compositor's window manager
// is on a busy machine: it grants every request to map a top-level window,
// but only after a delay (the first argument, in milliseconds), and prints
// "mapped <window id>" when it does. Requests to move or resize are granted
// at once. Prints "ready" once it manages the screen; runs until killed.
#include <X11/Xlib.h>

#include <sys/select.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>

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
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask);
    XSync(display, False); // fails here, by Xlib's own handler, while another manager runs
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
                XConfigureWindow(display, request.window, static_cast<unsigned>(request.value_mask), &changes);
            }
        }
        const auto now = Clock::now();
        while (!maps.empty() && maps.front().due <= now) {
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
