#pragma once

#include "platform/bitmap.h"
#include "screentools/agg2d.h"
#include "screentools/spacingruler.h"

#include <array>
#include <optional>
#include <vector>

namespace vornik {

// What the overlay shows: the pointer and the selection corners, in picture
// pixels. selx1 = -1 means that nothing is selected. With `ruler`, the
// spacing ruler through the point (mousex, mousey) is drawn over the rest:
// its lines to the edges of `spans`, rulerScale / 2 pixels thick, and the
// arms' lengths in figures of cells rulerScale pixels wide.
struct OverlayState {
    int mousex = 0;
    int mousey = 0;
    int selx1 = -1;
    int sely1 = 0;
    int selx2 = 0;
    int sely2 = 0;
    bool ruler = false;
    SpacingSpans spans;
    int rulerScale = 2;
    bool operator==(const OverlayState&) const = default;
};

// Redraws the whole overlay: a white surface, the plain capture over it, then
// the crosshair or the guides and the selection box. Returns false, drawing
// nothing, when the picture cannot be attached.
bool drawFull(TAgg2D& agg, Bitmap& picture, const Bitmap& screenshot, const OverlayState& state);

// The rectangles whose pixels can differ between the overlay of one state
// and that of the next over the same capture; no state (nullptr) stands for
// the plain capture. Disjoint and inside width x height.
std::vector<PixelRect> overlayChanges(const OverlayState* was, const OverlayState& now, int width, int height);

// Draws the capture and the overlay of the state (none for nullptr) into the
// surface the layer is attached to, within the given disjoint boxes only:
// each pixel there ends up as drawFull leaves it, every other one is left
// alone. The surface is expected to be the capture's size.
void drawOverlayWithin(TAgg2D& agg, const Bitmap& screenshot, const OverlayState* state,
                       const std::vector<PixelRect>& boxes);

// Draws the overlay so that the picture ends up exactly as drawFull leaves
// it, but touches only the pixels whose value can differ from the previous
// frame: it restores those strips from the capture and redraws every shape
// clipped to them.
class OverlayRenderer {
  public:
    // Forgets the previous frame. With pictureIsPlainCapture the caller
    // promises that the picture now holds an unmarked copy of the capture (as
    // right after the tool window opens), so the next frame draws only its
    // shapes; otherwise the next frame is a full redraw.
    void reset(bool pictureIsPlainCapture = false);

    // Brings the picture to the given state. Returns the rectangles that were
    // written, disjoint and inside the picture; empty when nothing changed or
    // the picture cannot be attached.
    std::vector<PixelRect> draw(TAgg2D& agg, Bitmap& picture, const Bitmap& screenshot,
                                const OverlayState& state);

    // One drawn shape of a frame, in drawing order. Exposed for the tests.
    struct Shape {
        enum Kind { None, VLine, HLine, Box, Fill, Figure };
        Kind kind = None;
        // x of a vertical line, y of a horizontal one, x1 of a box or a fill
        // (whose c, d are x2, y2, exclusive), x1 of a figure's plate (b its
        // y1, c the value, d the cell size).
        int a = 0;
        int b = 0;
        int c = 0;
        int d = 0;
        bool operator==(const Shape&) const = default;
    };
    // Slots: crosshair vertical and horizontal, red guides, blue guides, box;
    // the ruler's two lines, four ticks and four figures.
    using Frame = std::array<Shape, 17>;
    // The frame of a state over a surface of width x height.
    static Frame frameFor(const OverlayState& state, int width, int height);
    // The pixels whose value may differ between two frames, before merging.
    static std::vector<PixelRect> changedPixels(const Frame& before, const Frame& after, int width,
                                                int height);
    // The union of rectangles as disjoint rectangles, clipped to the surface.
    static std::vector<PixelRect> disjointUnion(const std::vector<PixelRect>& rects, int width, int height);

  private:
    bool m_valid = false;
    bool m_plainCapture = false;
    Frame m_previous{};
    const std::uint8_t* m_pictureBits = nullptr;
    const std::uint8_t* m_screenshotBits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

} // namespace vornik
