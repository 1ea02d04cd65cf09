#pragma once

#include "platform/bitmap.h"
#include "screentools/agg2d.h"
#include "screentools/pointstep.h"

#include <cstdint>
#include <optional>

namespace vornik {

// The loupe's picture: the captured pixels around the point, each drawn as a
// square of `factor` x `factor` pixels (nearest neighbour), inside a frame of
// `border` pixels. `cells` is odd, so that the point's pixel is the middle
// one.
struct LoupeShape {
    int cells = 15;
    int factor = 8;
    int border = 1;
    // Width and height of the picture in pixels.
    int side() const { return cells * factor + 2 * border; }
    // The picture pixels that show the point's own pixel.
    PixelRect centreCell() const;
};

// Colours the loupe adds to the captured pixels (0xAARRGGBB).
inline constexpr std::uint32_t kLoupeBorder = 0xFF000000u;
inline constexpr std::uint32_t kLoupeCentreInner = 0xFF000000u;
inline constexpr std::uint32_t kLoupeCentreOuter = 0xFFFFFFFFu;

// What stands for a pixel outside the capture, at picture pixel (x, y):
// diagonal stripes, which no plain captured colour can be mistaken for.
std::uint32_t loupeOutsideColour(int x, int y);

// The captured pixels the loupe shows around the point: cells x cells,
// centred on it; parts may lie outside the capture.
PixelRect loupeSource(PixelPoint point, const LoupeShape& shape);

// Draws the loupe's picture for the point into `out` (made 32-bit, side x
// side): the border, the enlarged pixels of `capture` (stripes where the
// source lies outside it, or where the capture is not 32-bit), and two rings
// around the centre cell, black next to it and white outside that, drawn over
// the neighbouring cells so that the centre pixel itself shows whole.
void fillLoupe(Bitmap& out, const Bitmap& capture, PixelPoint point, const LoupeShape& shape);

// Where the loupe's top-left corner goes, for a loupe of width x height beside
// the point on a screen of screenWidth x screenHeight, all in device pixels.
// It sits diagonally off the point, `gap` pixels clear of the point's pixel,
// so that it covers neither that pixel nor the crosshair through it; right of
// and below the point unless the pointer lies on that side of it (where keys
// moved the point away from a pointer that cannot follow), and on the other
// side where the screen ends. Where it fits beside the point on one axis only,
// it is centred on the point along the other, inside the screen. Nothing when
// it cannot be shown inside the screen without covering the point's pixel.
std::optional<PixelPoint> placeLoupe(PixelPoint point, PixelPoint pointer, int width, int height, int screenWidth,
                                     int screenHeight, int gap);

} // namespace vornik
