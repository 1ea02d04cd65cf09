// A window of known place, size and colour for the end-to-end tests, to be
// measured on the screen:
//   solid_window X Y W H RRGGBB
// The window asks the window manager for no decorations and for exactly that
// place (as the user had chosen it), prints "shown" once it is drawn and
// stays until it is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: solid_window X Y W H RRGGBB\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const auto w = static_cast<unsigned>(std::atoi(argv[3]));
    const auto h = static_cast<unsigned>(std::atoi(argv[4]));
    const unsigned long rgb = std::strtoul(argv[5], nullptr, 16);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "solid_window: cannot open display\n");
        return 2;
    }
    const int screen = DefaultScreen(display);
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, screen), &colour);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, w, h, 0, 0, colour.pixel);
    XStoreName(display, window, "solid window");

    XSizeHints* hints = XAllocSizeHints();
    hints->flags = USPosition | USSize | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->width = hints->min_width = hints->max_width = static_cast<int>(w);
    hints->height = hints->min_height = hints->max_height = static_cast<int>(h);
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
    // The Motif hints' decorations field set to none: no frame or title.
    const long motif[5] = {2, 0, 0, 0, 0};
    const Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);

    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapWindow(display, window);
    bool announced = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && !announced) {
            XSync(display, False);
            std::printf("shown\n");
            std::fflush(stdout);
            announced = true;
        }
    }
}
