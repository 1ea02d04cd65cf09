// Takes the CLIPBOARD selection COUNT times in a row, INTERVAL milliseconds
// apart, each time with a new text "PREFIX<number>@burst.hu", answering
// requests for the current text all along; after the last change it goes on
// answering for LINGER milliseconds. Prints how many changes it made and how
// many requests it answered; with SERVED it writes there the number of each
// change whose text was handed out, once, in order.
//   clip_burst COUNT INTERVAL LINGER PREFIX [SERVED]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

Display* display;
Window window;
Atom clipboardAtom, targetsAtom, utf8Atom;
std::string current;
int currentNumber = -1, lastServed = -1;
int targetRequests = 0, textRequests = 0;
std::FILE* served = nullptr;

void answer(const XSelectionRequestEvent& request)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = request.property == None ? request.target : request.property;
    if (request.target == targetsAtom) {
        ++targetRequests;
        const Atom offered[] = {targetsAtom, utf8Atom, XA_STRING};
        XChangeProperty(display, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 3);
    } else if (request.target == utf8Atom || request.target == XA_STRING) {
        ++textRequests;
        if (served && currentNumber != lastServed)
            std::fprintf(served, "%04d\n", currentNumber);
        lastServed = currentNumber;
        XChangeProperty(display, request.requestor, reply.property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(current.data()), static_cast<int>(current.size()));
    } else {
        reply.property = None;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
}

// Answers requests until the time is up.
void serveFor(std::chrono::milliseconds span)
{
    const auto deadline = std::chrono::steady_clock::now() + span;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest)
                answer(event.xselectionrequest);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left.count()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: clip_burst COUNT INTERVAL LINGER PREFIX [SERVED]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const std::chrono::milliseconds interval(std::atoi(argv[2]));
    const std::chrono::milliseconds linger(std::atoi(argv[3]));
    const std::string prefix = argv[4];
    if (argc == 6 && !(served = std::fopen(argv[5], "w")))
        return 1;
    display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    clipboardAtom = XInternAtom(display, "CLIPBOARD", False);
    targetsAtom = XInternAtom(display, "TARGETS", False);
    utf8Atom = XInternAtom(display, "UTF8_STRING", False);
    int made = 0;
    for (int i = 0; i < count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", i);
        current = "copied " + prefix + number + "@burst.hu now";
        currentNumber = i;
        XSetSelectionOwner(display, clipboardAtom, window, CurrentTime);
        XFlush(display);
        if (XGetSelectionOwner(display, clipboardAtom) == window)
            ++made;
        serveFor(interval);
    }
    serveFor(linger);
    std::printf("%d %d %d\n", made, targetRequests, textRequests);
    if (served)
        std::fclose(served);
    XCloseDisplay(display);
    return 0;
}
