#include "screentools/spacingruler.h"

#include <algorithm>
#include <cstdlib>

namespace vornik {
namespace {

bool alike(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

std::uint32_t at(const Bitmap& capture, int x, int y)
{
    return reinterpret_cast<const std::uint32_t*>(capture.scanLine(y))[x];
}

// Each digit's five rows, three cells each, the leftmost cell in bit 2.
constexpr std::array<std::array<unsigned char, 5>, 10> kDigits{{
    {7, 5, 5, 5, 7}, // 0
    {2, 6, 2, 2, 7}, // 1
    {7, 1, 7, 4, 7}, // 2
    {7, 1, 7, 1, 7}, // 3
    {5, 5, 7, 1, 1}, // 4
    {7, 4, 7, 1, 7}, // 5
    {7, 4, 7, 5, 7}, // 6
    {7, 1, 1, 1, 1}, // 7
    {7, 5, 7, 5, 7}, // 8
    {7, 5, 7, 1, 7}, // 9
}};

int digitCount(long long value)
{
    int n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

PixelRect placed(int x, int y, const PixelRect& size)
{
    return {x, y, x + size.x2 - size.x1, y + size.y2 - size.y1};
}

} // namespace

std::optional<SpacingSpans> measureSpacing(const Bitmap& capture, PixelPoint point, int tolerance)
{
    if (capture.empty() || capture.bitsPerPixel() != 32 || point.x < 0 || point.y < 0 || point.x >= capture.width() ||
        point.y >= capture.height())
        return std::nullopt;
    tolerance = std::clamp(tolerance, 0, kMaxTolerance);
    const std::uint32_t own = at(capture, point.x, point.y);
    const auto* row = reinterpret_cast<const std::uint32_t*>(capture.scanLine(point.y));
    SpacingSpans s{point.x, point.y, point.x, point.y};
    while (s.left > 0 && alike(row[s.left - 1], own, tolerance))
        --s.left;
    while (s.right + 1 < capture.width() && alike(row[s.right + 1], own, tolerance))
        ++s.right;
    while (s.top > 0 && alike(at(capture, point.x, s.top - 1), own, tolerance))
        --s.top;
    while (s.bottom + 1 < capture.height() && alike(at(capture, point.x, s.bottom + 1), own, tolerance))
        ++s.bottom;
    return s;
}

std::string spacingSizeText(const SpacingSpans& spans)
{
    return std::to_string(spans.width()) + ":" + std::to_string(spans.height());
}

PixelRect figurePlate(int x, int y, int digits, int scale)
{
    return {x, y, x + (4 * digits + 1) * scale, y + 7 * scale};
}

std::vector<PixelRect> figureCells(long long value, int x, int y, int scale)
{
    std::vector<PixelRect> cells;
    if (value < 0)
        return cells;
    const std::string digits = std::to_string(value);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto& glyph = kDigits[static_cast<std::size_t>(digits[i] - '0')];
        const int left = x + (1 + 4 * static_cast<int>(i)) * scale;
        for (int r = 0; r < 5; ++r) {
            const int top = y + (1 + r) * scale;
            int c = 0;
            while (c < 3) {
                if (!(glyph[static_cast<std::size_t>(r)] & (4 >> c))) {
                    ++c;
                    continue;
                }
                int end = c;
                while (end < 3 && (glyph[static_cast<std::size_t>(r)] & (4 >> end)))
                    ++end;
                cells.push_back({left + c * scale, top, left + end * scale, top + scale});
                c = end;
            }
        }
    }
    return cells;
}

std::array<RulerFigure, 4> rulerFigures(const SpacingSpans& s, PixelPoint p, int scale, int width, int height)
{
    const int lengths[4] = {p.x - s.left, s.right - p.x, p.y - s.top, s.bottom - p.y};
    // Clear of the lines and of the ticks across their ends.
    const int gap = 2 * scale;
    std::array<RulerFigure, 4> figures{};
    for (int i = 0; i < 4; ++i) {
        const int value = lengths[i];
        if (value <= 0)
            continue;
        const PixelRect size = figurePlate(0, 0, digitCount(value), scale);
        const int w = size.x2;
        const int h = size.y2;
        const int above = p.y - gap - h;
        const int below = p.y + 1 + gap;
        const int before = p.x - gap - w;
        const int after = p.x + 1 + gap;
        int x = 0;
        int y = 0;
        // Each figure has a quarter of its own around the point, so that the
        // four never cover one another: left arm above the row, right arm
        // below it, up arm right of the column, down arm left of it; each
        // centred on its arm as far as its quarter allows.
        switch (i) {
        case 0:
            x = std::min((s.left + p.x) / 2 - w / 2, before);
            y = above >= 0 ? above : below;
            break;
        case 1:
            x = std::max((p.x + 1 + s.right + 1) / 2 - w / 2, after);
            y = below + h <= height ? below : above;
            break;
        case 2:
            y = std::min((s.top + p.y) / 2 - h / 2, above);
            x = after + w <= width ? after : before;
            break;
        default:
            y = std::max((p.y + 1 + s.bottom + 1) / 2 - h / 2, below);
            x = before >= 0 ? before : after;
            break;
        }
        x = std::clamp(x, 0, std::max(0, width - w));
        y = std::clamp(y, 0, std::max(0, height - h));
        figures[static_cast<std::size_t>(i)] = {placed(x, y, size), value};
    }
    return figures;
}

RulerLines rulerLines(const SpacingSpans& s, PixelPoint p, int thickness)
{
    thickness = std::max(1, thickness);
    // A thicker line grows on both sides of the point's row and column,
    // one pixel more after it than before it where the thickness is even.
    const int before = (thickness - 1) / 2;
    const int tick = 2 + thickness;
    RulerLines lines;
    lines.across = {s.left, p.y - before, s.right + 1, p.y - before + thickness};
    lines.upDown = {p.x - before, s.top, p.x - before + thickness, s.bottom + 1};
    lines.ticks[0] = {s.left, p.y - tick, s.left + thickness, p.y + tick + 1};
    lines.ticks[1] = {s.right + 1 - thickness, p.y - tick, s.right + 1, p.y + tick + 1};
    lines.ticks[2] = {p.x - tick, s.top, p.x + tick + 1, s.top + thickness};
    lines.ticks[3] = {p.x - tick, s.bottom + 1 - thickness, p.x + tick + 1, s.bottom + 1};
    return lines;
}

} // namespace vornik
