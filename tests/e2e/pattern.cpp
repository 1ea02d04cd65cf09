// The pattern screen of the end-to-end tests: every pixel's colour tells
// its position, so that any colour read back says which pixel it came from.
// Red is x mod 256, green y mod 256, and blue holds the upper bits of both:
// x / 256 in its upper four bits, y / 256 in its lower four (up to 4096).
//   pattern root          makes it the X server's root window background
//   pattern window        shows it in a full-screen window of its own, for
//                         desktops that draw no root window; prints "shown"
//                         once the window is mapped and runs until killed
//   pattern png FILE W H  writes it as a W x H PNG picture
//   pattern decode RRGGBB prints the position "X Y" the colour stands for
#include <QImage>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned patternColour(int x, int y)
{
    const unsigned r = static_cast<unsigned>(x) & 0xFF;
    const unsigned g = static_cast<unsigned>(y) & 0xFF;
    const unsigned b = ((static_cast<unsigned>(x) >> 8 & 0xF) << 4) | (static_cast<unsigned>(y) >> 8 & 0xF);
    return r << 16 | g << 8 | b;
}

// The pattern over the whole screen as a pixmap of the server's; 0 when the
// screen is no 24-bit true-colour one or memory runs out.
Pixmap patternPixmap(Display* display)
{
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    const Pixmap pixmap = XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                        static_cast<unsigned>(DefaultDepth(display, screen)));
    Visual* visual = DefaultVisual(display, screen);
    if (DefaultDepth(display, screen) != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF) {
        std::fprintf(stderr, "pattern: the screen is not 24-bit true colour\n");
        return 0;
    }
    auto* data = static_cast<char*>(std::malloc(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4));
    XImage* image = XCreateImage(display, visual, 24, ZPixmap, 0, data, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, 0);
    if (!data || !image) {
        std::fprintf(stderr, "pattern: out of memory\n");
        return 0;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y, patternColour(x, y));
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XDestroyImage(image);
    return pixmap;
}

// Opens the display and makes the pattern there; 0, having said why, when
// either fails.
Pixmap openPattern(Display*& display)
{
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pattern: cannot open display\n");
        return 0;
    }
    return patternPixmap(display);
}

int toRoot()
{
    Display* display = nullptr;
    const Pixmap pixmap = openPattern(display);
    if (!pixmap)
        return 2;
    const Window root = DefaultRootWindow(display);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    // The pixmap stays with the server after this client is gone.
    XSetCloseDownMode(display, RetainPermanent);
    XCloseDisplay(display);
    return 0;
}

int toWindow()
{
    Display* display = nullptr;
    const Pixmap pixmap = openPattern(display);
    if (!pixmap)
        return 2;
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = pixmap;
    attributes.event_mask = StructureNotifyMask;
    const Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                                        static_cast<unsigned>(DisplayWidth(display, screen)),
                                        static_cast<unsigned>(DisplayHeight(display, screen)), 0, CopyFromParent,
                                        InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    XStoreName(display, window, "pattern");
    // Full screen from the start, so the desktop puts it over its panels.
    const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) {
            std::printf("shown\n");
            std::fflush(stdout);
        }
    }
}

int toPng(const char* file, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | patternColour(x, y);
    }
    return image.save(QString::fromLocal8Bit(file), "PNG") ? 0 : 2;
}

int decode(const char* colour)
{
    const unsigned long c = std::strtoul(colour[0] == '#' ? colour + 1 : colour, nullptr, 16);
    const unsigned long r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    std::printf("%lu %lu\n", r | (b >> 4) << 8, g | (b & 0xF) << 8);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "root") == 0)
        return toRoot();
    if (argc == 2 && std::strcmp(argv[1], "window") == 0)
        return toWindow();
    if (argc == 5 && std::strcmp(argv[1], "png") == 0)
        return toPng(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0)
        return decode(argv[2]);
    std::fprintf(stderr, "usage: pattern root | pattern window | pattern png FILE W H | pattern decode RRGGBB\n");
    return 2;
}
