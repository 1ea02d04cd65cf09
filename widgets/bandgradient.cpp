#include "widgets/bandgradient.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vornik {

namespace {

std::uint32_t opaquePixel(Color color) {
    return 0xFF000000u | std::uint32_t(redOf(color)) << 16 | std::uint32_t(greenOf(color)) << 8 |
           std::uint32_t(blueOf(color));
}

// Rounds to the nearest integer with ties to even, as the floating-point unit
// does in its default rounding mode; std::nearbyint follows that mode.
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

void plot(Bitmap& surface, int x, int y, std::uint32_t pixel) {
    if (x >= 0 && y >= 0 && x < surface.width() && y < surface.height())
        surface.setPixel32(x, y, pixel);
}

} // namespace

void fillSolidRect(Bitmap& surface, const GradientRect& rect, Color color) {
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const int right = std::min(rect.right, surface.width());
    const int bottom = std::min(rect.bottom, surface.height());
    if (left >= right || top >= bottom)
        return;
    const std::uint32_t pixel = opaquePixel(color);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            surface.setPixel32(x, y, pixel);
}

void PaintBandGradient(Bitmap& canvas, Color fromColor, Color toColor, int bandCount,
                       const GradientRect& rect, bool horizontal, SurfaceOrigin at) {
    // A count of zero means one band. A negative count would divide the
    // colour range by a negative number and draw nothing sensible, so it is
    // treated the same way.
    const int n = bandCount < 1 ? 1 : bandCount;
    const Color from = resolveColor(fromColor);
    const Color to = resolveColor(toColor);

    const double startR = redOf(from), startG = greenOf(from), startB = blueOf(from);
    const double stepR = (redOf(to) - startR) / n;
    const double stepG = (greenOf(to) - startG) / n;
    const double stepB = (blueOf(to) - startB) / n;

    const int origin = horizontal ? rect.left : rect.top;
    const int limit = horizontal ? rect.right : rect.bottom;
    const double bandSize = double(limit - origin) / n;
    const int bandReach = static_cast<int>(std::trunc(bandSize)) + 1;

    for (int i = 0; i < n; ++i) {
        const Color band = rgb(int(startR) + roundHalfEven(i * stepR), int(startG) + roundHalfEven(i * stepG),
                               int(startB) + roundHalfEven(i * stepB));
        // The rounded offset is kept in a 16-bit unsigned value, as the
        // drawing code this gradient reproduces does.
        const int start = origin + int(std::uint16_t(roundHalfEven(i * bandSize)));
        const int end = std::min(limit, start + bandReach);
        const GradientRect area = horizontal ? GradientRect{start, rect.top, end, rect.bottom}
                                             : GradientRect{rect.left, start, rect.right, end};
        fillSolidRect(canvas, GradientRect{area.left - at.x, area.top - at.y, area.right - at.x, area.bottom - at.y},
                      band);
    }
}

void paintPanelGradient(Bitmap& canvas, Color fromColor, Color toColor, const GradientRect& rect,
                        bool horizontal, SurfaceOrigin at) {
    if (toColor == clNone)
        fillSolidRect(canvas, GradientRect{rect.left - at.x, rect.top - at.y, rect.right - at.x, rect.bottom - at.y},
                      resolveColor(fromColor));
    else
        PaintBandGradient(canvas, fromColor, toColor, 64, rect, horizontal, at);
}

// A one-pixel pen draws the cosmetic line of the desktop's line drawing: one
// pixel per step along the major axis, starting with (x0, y0) and stopping
// before (x1, y1).
//
// A wider pen is a geometric pen, and the desktop fills its outline like a
// polygon: the line is widened by half the pen width on either side of its
// centre line, its ends are round (the end cap of a pen created with a width
// above one), and a pixel is drawn when its sample point lies inside. Pixel
// (x, y) is sampled at the point (x, y), the point a cosmetic line through
// that pixel passes. A point exactly on the outline counts on the top and
// left sides only; sampling a sliver below and right of the point decides
// those ties the same way. So a 2-pixel horizontal line at y covers the rows
// y - 1 and y, and on a 45° diagonal a 2-pixel pen covers three neighbouring
// diagonals: the centre line and one on each side, 0.71 pixels from it. The
// grip's lines all end on the right or bottom edge, just outside the surface,
// so neither the round caps nor the last point show there.
void drawPenLine(Bitmap& surface, int x0, int y0, int x1, int y1, int penWidth, Color color, SurfaceOrigin at) {
    const std::uint32_t pixel = opaquePixel(resolveColor(color));
    const int dx = x1 - x0, dy = y1 - y0;
    if (penWidth <= 1) {
        const int steps = std::max(std::abs(dx), std::abs(dy));
        for (int k = 0; k < steps; ++k) {
            const int x = x0 + static_cast<int>(std::floor(double(dx) * k / steps + 0.5));
            const int y = y0 + static_cast<int>(std::floor(double(dy) * k / steps + 0.5));
            plot(surface, x - at.x, y - at.y, pixel);
        }
        return;
    }

    const double half = penWidth / 2.0;
    const double lengthSquared = double(dx) * dx + double(dy) * dy;
    const int reach = static_cast<int>(std::ceil(half));
    const int left = std::max(std::min(x0, x1) - reach, at.x);
    const int right = std::min(std::max(x0, x1) + reach, at.x + surface.width() - 1);
    const int top = std::max(std::min(y0, y1) - reach, at.y);
    const int bottom = std::min(std::max(y0, y1) + reach, at.y + surface.height() - 1);
    constexpr double kTieBias = 1.0 / 64;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const double sx = x + kTieBias, sy = y + kTieBias;
            double t = 0;
            if (lengthSquared > 0)
                t = std::clamp(((sx - x0) * dx + (sy - y0) * dy) / lengthSquared, 0.0, 1.0);
            const double ex = sx - (x0 + t * dx);
            const double ey = sy - (y0 + t * dy);
            if (ex * ex + ey * ey <= half * half)
                surface.setPixel32(x - at.x, y - at.y, pixel);
        }
    }
}

void paintSizeGrip(Bitmap& surface, int width, int height, SurfaceOrigin at) {
    const int r = width, b = height;
    drawPenLine(surface, r, b - 11, r - 11, b, 2, kGripDarkColor, at);
    drawPenLine(surface, r, b - 6, r - 7, b, 2, kGripDarkColor, at);
    drawPenLine(surface, r, b - 3, r - 3, b, 2, kGripDarkColor, at);
    drawPenLine(surface, r, b - 12, r - 12, b, 1, kGripLightColor, at);
    drawPenLine(surface, r, b - 8, r - 8, b, 1, kGripLightColor, at);
    drawPenLine(surface, r, b - 4, r - 4, b, 1, kGripLightColor, at);
}

int captionStripHeight(const PanelLook& look) {
    return look.captionHeight - 2 * look.bevelWidth;
}

void paintPanelBackground(Bitmap& surface, const PanelLook& look) {
    paintPanelBackground(surface, look, surface.width(), surface.height(), SurfaceOrigin{});
}

void paintPanelBackground(Bitmap& surface, const PanelLook& look, int w, int h, SurfaceOrigin at) {
    paintPanelGradient(surface, look.color, look.colorTo, GradientRect{0, 0, w, h}, look.horizontal, at);
    if (look.captionVisible)
        paintPanelGradient(surface, look.captionColor, look.captionColorTo,
                           GradientRect{0, 0, w, captionStripHeight(look)}, look.captionHorizontal, at);
}

int panelHitTest(int x, int y, const PanelHitArea& area) {
    if (area.captionVisible && y < area.captionHeight && x > 0 && x < area.width && area.canMove)
        return HTCAPTION;
    if (y > area.height - area.scrollArrowHeight && x > area.width - area.scrollArrowWidth && area.canSize &&
        !area.collapsed)
        return HTBOTTOMRIGHT;
    return HTCLIENT;
}

} // namespace vornik
