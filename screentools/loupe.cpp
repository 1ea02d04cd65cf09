#include "screentools/loupe.h"

#include <algorithm>

namespace vornik {

PixelRect LoupeShape::centreCell() const
{
    const int start = border + (cells / 2) * factor;
    return {start, start, start + factor, start + factor};
}

std::uint32_t loupeOutsideColour(int x, int y)
{
    return ((x + y) / 4) % 2 == 0 ? 0xFF606060u : 0xFF909090u;
}

PixelRect loupeSource(PixelPoint point, const LoupeShape& shape)
{
    const int half = shape.cells / 2;
    return {point.x - half, point.y - half, point.x - half + shape.cells, point.y - half + shape.cells};
}

namespace {

void fillRing(Bitmap& out, const PixelRect& inner, int width, std::uint32_t colour)
{
    const PixelRect outer{inner.x1 - width, inner.y1 - width, inner.x2 + width, inner.y2 + width};
    for (int y = std::max(0, outer.y1); y < std::min(out.height(), outer.y2); ++y)
        for (int x = std::max(0, outer.x1); x < std::min(out.width(), outer.x2); ++x)
            if (x < inner.x1 || x >= inner.x2 || y < inner.y1 || y >= inner.y2)
                out.setPixel32(x, y, colour);
}

} // namespace

void fillLoupe(Bitmap& out, const Bitmap& capture, PixelPoint point, const LoupeShape& shape)
{
    const int side = shape.side();
    if (out.width() != side || out.height() != side || out.bitsPerPixel() != 32 || out.bottomUp())
        out.reshape(side, side, 32);
    const PixelRect source = loupeSource(point, shape);
    const bool readable = !capture.empty() && capture.bitsPerPixel() == 32;
    const int inner = shape.cells * shape.factor;
    for (int y = 0; y < inner; ++y) {
        const int sy = source.y1 + y / shape.factor;
        const bool rowInside = readable && sy >= 0 && sy < capture.height();
        const auto* from = rowInside ? reinterpret_cast<const std::uint32_t*>(capture.scanLine(sy)) : nullptr;
        auto* to = reinterpret_cast<std::uint32_t*>(out.scanLine(y + shape.border)) + shape.border;
        for (int cell = 0; cell < shape.cells; ++cell) {
            const int sx = source.x1 + cell;
            const bool inside = rowInside && sx >= 0 && sx < capture.width();
            for (int i = 0; i < shape.factor; ++i) {
                const int x = cell * shape.factor + i;
                to[x] = inside ? from[sx] : loupeOutsideColour(x + shape.border, y + shape.border);
            }
        }
    }
    fillRing(out, {shape.border, shape.border, side - shape.border, side - shape.border}, shape.border, kLoupeBorder);
    const PixelRect centre = shape.centreCell();
    fillRing(out, centre, 1, kLoupeCentreInner);
    fillRing(out, {centre.x1 - 1, centre.y1 - 1, centre.x2 + 1, centre.y2 + 1}, 1, kLoupeCentreOuter);
}

namespace {

// The loupe's start along one axis on the preferred side of the point, or on
// the other side when the preferred one runs off the screen.
std::optional<int> besideThePoint(int point, bool preferBefore, int size, int screen, int gap)
{
    const int after = point + 1 + gap;
    const int before = point - gap - size;
    const bool afterFits = after >= 0 && after + size <= screen;
    const bool beforeFits = before >= 0 && before + size <= screen;
    if (preferBefore ? beforeFits : !afterFits && beforeFits)
        return before;
    if (afterFits)
        return after;
    return std::nullopt;
}

std::optional<int> centredOnThePoint(int point, int size, int screen)
{
    if (size > screen)
        return std::nullopt;
    return std::clamp(point - size / 2, 0, screen - size);
}

} // namespace

std::optional<PixelPoint> placeLoupe(PixelPoint point, PixelPoint pointer, int width, int height, int screenWidth,
                                     int screenHeight, int gap)
{
    const std::optional<int> x = besideThePoint(point.x, pointer.x > point.x, width, screenWidth, gap);
    const std::optional<int> y = besideThePoint(point.y, pointer.y > point.y, height, screenHeight, gap);
    if (x && y)
        return PixelPoint{*x, *y};
    if (x) {
        if (const auto cy = centredOnThePoint(point.y, height, screenHeight))
            return PixelPoint{*x, *cy};
    }
    if (y) {
        if (const auto cx = centredOnThePoint(point.x, width, screenWidth))
            return PixelPoint{*cx, *y};
    }
    return std::nullopt;
}

} // namespace vornik
