#pragma once

#include "platform/bitmap.h"
#include "screentools/agg2d.h"
#include "screentools/pointstep.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vornik {

// The spacing ruler: from the point, the run of pixels of the capture that
// are like the point's own, to the left, to the right, up and down. Its edges
// are the last alike pixels before the first one that differs from the
// point's pixel by more than the tolerance in one channel or more, or the
// screen's edge.
struct SpacingSpans {
    int left = 0;   // first alike column of the point's row
    int top = 0;    // first alike row of the point's column
    int right = 0;  // last alike column, inclusive
    int bottom = 0; // last alike row, inclusive

    // The pixels between the two edges, the point's own included.
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool operator==(const SpacingSpans&) const = default;
};

inline constexpr int kMaxTolerance = 255;

// Scans the point's row and column of a 32-bit capture (blue, green and red
// compared; the fourth byte is not). Nothing for a point outside the capture
// or a capture that cannot be read.
std::optional<SpacingSpans> measureSpacing(const Bitmap& capture, PixelPoint point, int tolerance);

// What the selection-size readout shows while the ruler is on: "W:H".
std::string spacingSizeText(const SpacingSpans& spans);

// The figures that name the lengths are drawn in cells: each digit is 3 x 5
// cells with one empty cell between digits, every cell scale x scale pixels,
// on a plate one cell wider than the digits all round.
PixelRect figurePlate(int x, int y, int digits, int scale);
// The lit cells of the decimal digits of a non-negative value whose plate
// has its top-left corner at (x, y), as rectangles (runs of lit cells along
// a digit's row are one rectangle).
std::vector<PixelRect> figureCells(long long value, int x, int y, int scale);

// One length figure of the ruler: the length of one arm (the pixels from the
// point, not counting it, to the arm's edge) on its plate. An arm of length
// 0 has no figure (an empty plate).
struct RulerFigure {
    PixelRect plate;
    int value = 0;
    bool operator==(const RulerFigure&) const = default;
};

// The figures of the four arms in the order left, right, up, down, each in
// its own quarter around the point, clear of the lines: the left arm's above
// the row, the right arm's below it, the up arm's right of the column, the
// down arm's left of it, each on the other side where the surface (width x
// height) ends, and centred on its arm as far as its quarter allows.
std::array<RulerFigure, 4> rulerFigures(const SpacingSpans& spans, PixelPoint point, int scale, int width, int height);

// The drawn lines of the ruler, `thickness` pixels across, through the
// point's row from the left edge to the right one and through its column
// from the top edge to the bottom one; and a tick across each end.
struct RulerLines {
    PixelRect across;
    PixelRect upDown;
    std::array<PixelRect, 4> ticks; // left, right, top, bottom
};
RulerLines rulerLines(const SpacingSpans& spans, PixelPoint point, int thickness);

} // namespace vornik
