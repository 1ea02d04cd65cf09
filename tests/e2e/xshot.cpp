// Reads pixels back from the X server for the end-to-end tests.
//   xshot X Y [W H]   prints the colours of the area as RRGGBB, one row a line
//   xshot --ppm FILE  writes the whole root window as a PPM picture
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

unsigned long channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    const unsigned long value = (pixel >> shift) & mask;
    return mask == 0xFF ? value : value * 255 / mask;
}

} // namespace

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xshot: cannot open display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    int x = 0, y = 0, w = attributes.width, h = attributes.height;
    const bool ppm = argc == 3 && std::strcmp(argv[1], "--ppm") == 0;
    if (!ppm) {
        if (argc != 3 && argc != 5) {
            std::fprintf(stderr, "usage: xshot X Y [W H] | xshot --ppm FILE\n");
            return 2;
        }
        x = std::atoi(argv[1]);
        y = std::atoi(argv[2]);
        w = argc == 5 ? std::atoi(argv[3]) : 1;
        h = argc == 5 ? std::atoi(argv[4]) : 1;
    }
    XImage* image = XGetImage(display, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "xshot: cannot read the area\n");
        return 2;
    }
    FILE* out = stdout;
    if (ppm) {
        out = std::fopen(argv[2], "wb");
        if (!out)
            return 2;
        std::fprintf(out, "P6\n%d %d\n255\n", w, h);
    }
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            const unsigned long r = channel(pixel, image->red_mask), g = channel(pixel, image->green_mask),
                                b = channel(pixel, image->blue_mask);
            if (ppm) {
                std::fputc(int(r), out);
                std::fputc(int(g), out);
                std::fputc(int(b), out);
            } else {
                std::printf("%s%02lX%02lX%02lX", column ? " " : "", r, g, b);
            }
        }
        if (!ppm)
            std::printf("\n");
    }
    if (ppm)
        std::fclose(out);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
