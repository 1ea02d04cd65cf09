// Prints the colours of screen pixels as "R G B" lines, one per "X,Y"
// argument, read from the root window of $DISPLAY. With "--ppm FILE" first,
// it saves the whole screen as a binary PPM instead, for a person to look at.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "cannot read the screen\n");
        return 2;
    }
    if (argc == 3 && std::string(argv[1]) == "--ppm") {
        FILE* out = std::fopen(argv[2], "wb");
        if (!out)
            return 2;
        std::fprintf(out, "P6\n%d %d\n255\n", attributes.width, attributes.height);
        for (int y = 0; y < attributes.height; ++y)
            for (int x = 0; x < attributes.width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                std::fputc(int((pixel & image->red_mask) >> 16), out);
                std::fputc(int((pixel & image->green_mask) >> 8), out);
                std::fputc(int(pixel & image->blue_mask), out);
            }
        std::fclose(out);
        XDestroyImage(image);
        XCloseDisplay(display);
        return 0;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        int x = 0, y = 0;
        if (std::sscanf(argv[i], "%d,%d", &x, &y) != 2 || x < 0 || y < 0 || x >= attributes.width ||
            y >= attributes.height) {
            std::fprintf(stderr, "bad point %s\n", argv[i]);
            status = 2;
            continue;
        }
        const unsigned long pixel = XGetPixel(image, x, y);
        std::printf("%lu %lu %lu\n", (pixel & image->red_mask) >> 16, (pixel & image->green_mask) >> 8,
                    pixel & image->blue_mask);
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return status;
}
