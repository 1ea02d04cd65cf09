// Owns the CLIPBOARD selection and serves the bytes read from standard input
// under the targets named on the command line, the way owners other than
// xclip do:
//
//   text_owner [--no-targets] [--reply-type TYPE] [--late-first MS] TARGET...
//
// --no-targets refuses TARGETS, as owners that cannot list their targets do;
// --reply-type answers with that type instead of the target asked for (an
// owner asked for TEXT answers as STRING, COMPOUND_TEXT or UTF8_STRING);
// --late-first answers the first request only after MS milliseconds and
// then prints "late answer sent". Other targets are refused. Ends when it
// loses the selection or is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A requestor that gave up may have destroyed its window before the answer
// comes; the error that earns is no reason to stop serving.
int ignoreError(Display*, XErrorEvent*) { return 0; }

} // namespace

int main(int argc, char** argv)
{
    bool listTargets = true;
    std::string replyType;
    long lateMs = 0;
    std::vector<std::string> targetNames;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--no-targets")
            listTargets = false;
        else if (argument == "--reply-type" && i + 1 < argc)
            replyType = argv[++i];
        else if (argument == "--late-first" && i + 1 < argc)
            lateMs = std::stol(argv[++i]);
        else
            targetNames.push_back(argument);
    }
    const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    XSetErrorHandler(ignoreError);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    std::vector<Atom> offered{targets};
    for (const std::string& name : targetNames)
        offered.push_back(XInternAtom(display, name.c_str(), False));
    const Atom typeOverride = replyType.empty() ? None : XInternAtom(display, replyType.c_str(), False);

    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window)
        return 3;
    XFlush(display);

    bool first = true;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear)
            break;
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        if (first && lateMs > 0)
            usleep(static_cast<useconds_t>(lateMs) * 1000);
        XSelectionEvent answer{};
        answer.type = SelectionNotify;
        answer.display = display;
        answer.requestor = request.requestor;
        answer.selection = request.selection;
        answer.target = request.target;
        answer.time = request.time;
        answer.property = request.property == None ? request.target : request.property;
        if (request.target == targets && listTargets) {
            std::vector<long> list(offered.begin(), offered.end());
            XChangeProperty(display, request.requestor, answer.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
        } else if (request.target != targets &&
                   std::find(offered.begin() + 1, offered.end(), request.target) != offered.end()) {
            XChangeProperty(display, request.requestor, answer.property,
                            typeOverride != None ? typeOverride : request.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        } else {
            answer.property = None;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
        XFlush(display);
        if (first && lateMs > 0) {
            std::printf("late answer sent\n");
            std::fflush(stdout);
        }
        first = false;
    }
    XCloseDisplay(display);
    return 0;
}
