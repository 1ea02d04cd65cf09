#pragma once

#include "platform/bitmap.h"
#include "widgets/syscolors.h"

namespace vornik {

// A rectangle of surface pixels; right and bottom are exclusive.
struct GradientRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Fills a rectangle of a 32-bit surface with one colour (0x00BBGGRR), clipped
// to the surface. The fourth byte of every pixel written is set to 0xFF so the
// surface can be shown as an opaque RGB32 image.
void fillSolidRect(Bitmap& surface, const GradientRect& rect, Color color);

// Where a surface lies in the larger area whose part it holds: surface pixel
// (0, 0) shows area pixel (x, y). Rectangles and points handed to the drawing
// routines below are in area coordinates; what falls outside the surface is
// clipped, so a paint that needs only part of a panel composes only that part
// and gets the same pixels there as a paint of the whole.
struct SurfaceOrigin {
    int x = 0;
    int y = 0;
};

// Fills a rectangle with a stepped two-colour gradient of bandCount bands,
// stacked from left to right when horizontal, else from top to bottom. Both
// colours may be desktop colour numbers; they are resolved here. Bands are
// about size / bandCount pixels and one pixel more, so neighbours overlap and
// a later band covers the first row of its neighbour; where several bands
// start on the same row, the last one drawn shows.
void PaintBandGradient(Bitmap& canvas, Color fromColor, Color toColor, int bandCount,
                       const GradientRect& rect, bool horizontal, SurfaceOrigin origin = {});

// The gradient of a panel area: the band gradient, or a plain fill in
// fromColor when toColor is none.
void paintPanelGradient(Bitmap& canvas, Color fromColor, Color toColor, const GradientRect& rect,
                        bool horizontal, SurfaceOrigin origin = {});

// Draws a line from (x0, y0) towards (x1, y1) with a pen of the given width,
// clipped to the surface. See the definition for which pixels a pen covers.
void drawPenLine(Bitmap& surface, int x0, int y0, int x1, int y1, int penWidth, Color color,
                 SurfaceOrigin origin = {});

// The size grip in the bottom-right corner of a width x height surface: three
// grey ridges with white highlights over the last twelve or so pixels.
void paintSizeGrip(Bitmap& surface, int width, int height, SurfaceOrigin origin = {});

inline constexpr Color kGripDarkColor = 8421504;   // #808080
inline constexpr Color kGripLightColor = 16777215; // #FFFFFF

// What the gradient panel shows, as the painting code needs it.
struct PanelLook {
    Color color = 0;
    Color colorTo = clNone;
    bool horizontal = false;
    bool captionVisible = true;
    int captionHeight = 20;
    Color captionColor = 0;
    Color captionColorTo = clNone;
    bool captionHorizontal = true;
    int bevelWidth = 1;
    bool canSize = true;
    bool collapsed = false;
};

// The rows of the painted caption strip: the caption height less the bevel
// width above and below it. Rows below it belong to the body's gradient even
// where they still are part of the drag area.
int captionStripHeight(const PanelLook& look);

// Body and caption strip of a panel filling the whole surface; the title and
// the size grip are drawn on top by the caller, in that order.
void paintPanelBackground(Bitmap& surface, const PanelLook& look);
// The same for the part of a width x height panel that the surface holds.
void paintPanelBackground(Bitmap& surface, const PanelLook& look, int width, int height, SurfaceOrigin origin);

// Answers of the panel's hit test, with the values the desktop gives them.
inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;
inline constexpr int HTBOTTOMRIGHT = 17;

struct PanelHitArea {
    int width = 0;
    int height = 0;
    bool captionVisible = true;
    int captionHeight = 20;
    bool canMove = true;
    bool canSize = true;
    bool collapsed = false;
    // Width and height of a horizontal scroll-bar arrow: the grip square.
    int scrollArrowWidth = 17;
    int scrollArrowHeight = 17;
};

// What a press at client point (x, y) of the panel does: HTCAPTION starts a
// move, HTBOTTOMRIGHT a resize from the corner, HTCLIENT nothing of the
// panel's own. The caption strip is tested first and wins where it overlaps
// the grip square. The point is taken to lie on the panel.
int panelHitTest(int x, int y, const PanelHitArea& area);

} // namespace vornik
