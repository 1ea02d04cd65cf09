#pragma once

#include "screentools/agg2d.h"

#include <cstddef>
#include <cstdint>

namespace vornik {

// How a capture is spread over the window pixels that show it. On X11 the
// two are the same pixels. On a scaled Wayland output an X11 window may have
// fewer pixels than the output (sway and GNOME's fractional scales give X11
// the logical size and enlarge its windows) or more (Plasma's X11 scaling on
// an output of a smaller scale), while the capture always holds the output's
// own pixels. The picture is then fitted to the window, and every position
// is still spoken of in captured pixels.
//
// Shown pixel s covers captured pixels from floor(s * captured / shown) up
// to the next shown pixel's start; that first one is the pixel a pointer at
// s points at.
struct PictureFit {
    int capturedWidth = 0;
    int capturedHeight = 0;
    int shownWidth = 0;
    int shownHeight = 0;

    // One shown pixel per captured pixel (also when either side is empty).
    bool identity() const;

    // The captured pixel a pointer over shown pixel (x, y) points at; any
    // position, also outside the picture.
    int capturedX(int shownX) const;
    int capturedY(int shownY) const;
    // The shown pixel at which a pointer points at the captured pixel, or,
    // where no shown pixel starts at it, the one that covers it.
    int shownX(int capturedX) const;
    int shownY(int capturedY) const;

    // The shown pixels whose colour draws on the given captured pixels,
    // rounded outward and kept inside the shown area.
    PixelRect shownRect(const PixelRect& captured) const;
    // The captured pixels that the given shown pixels are drawn from, kept
    // inside the capture.
    PixelRect capturedRect(const PixelRect& shown) const;
};

// Fills the shown pixels of `rect` from the captured picture: each shown
// pixel becomes the mean of the captured pixels it covers, the nearest one
// where it covers less than one. `shown` is where the pixel at rect's top-left
// corner goes, so it may be the whole shown picture's pixel there or a
// picture of just the rectangle; the part of `rect` outside the shown area is
// left alone. Both sides are 32-bit pixels (blue, green, red, fourth byte) at
// the given strides; the fourth byte is set to 255.
void resamplePicture(const PictureFit& fit, const std::uint8_t* captured, std::ptrdiff_t capturedStride,
                     std::uint8_t* shown, std::ptrdiff_t shownStride, const PixelRect& rect);

} // namespace vornik
