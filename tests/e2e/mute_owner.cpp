// Takes over the CLIPBOARD selection and then never answers a request for
// it, like a hung program that still owns the clipboard. Runs until killed.
#include <X11/Xlib.h>

#include <unistd.h>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XFlush(display);
    for (;;)
        pause();
}
