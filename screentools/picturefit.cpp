#include "screentools/picturefit.h"

#include <algorithm>
#include <vector>

namespace vornik {
namespace {

long long floorDiv(long long a, long long b)
{
    const long long q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

long long ceilDiv(long long a, long long b)
{
    return -floorDiv(-a, b);
}

int clampToInt(long long v, long long low, long long high)
{
    return static_cast<int>(std::clamp(v, low, high));
}

// Along one axis: captured pixels per shown pixel is captured / shown.
int toCaptured(int shownAt, int captured, int shown)
{
    if (captured <= 0 || shown <= 0 || captured == shown)
        return shownAt;
    return clampToInt(floorDiv(static_cast<long long>(shownAt) * captured, shown), INT32_MIN, INT32_MAX);
}

int toShown(int capturedAt, int captured, int shown)
{
    if (captured <= 0 || shown <= 0 || captured == shown)
        return capturedAt;
    const long long s = ceilDiv(static_cast<long long>(capturedAt) * shown, captured);
    const int at = clampToInt(s, INT32_MIN, INT32_MAX);
    return toCaptured(at, captured, shown) == capturedAt ? at : at - 1;
}

// Where each shown pixel's captured span starts and ends, for shown pixels
// from..to-1, kept inside the capture and at least one pixel long.
struct Spans {
    std::vector<int> start;
    std::vector<int> end;
};

Spans spansOf(int from, int to, int captured, int shown)
{
    Spans spans;
    const auto count = static_cast<std::size_t>(std::max(0, to - from));
    spans.start.resize(count);
    spans.end.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int s = from + static_cast<int>(i);
        const int a = std::clamp(toCaptured(s, captured, shown), 0, captured - 1);
        const int b = std::clamp(toCaptured(s + 1, captured, shown), 0, captured);
        spans.start[i] = a;
        spans.end[i] = std::max(a + 1, b);
    }
    return spans;
}

} // namespace

bool PictureFit::identity() const
{
    return capturedWidth <= 0 || capturedHeight <= 0 || shownWidth <= 0 || shownHeight <= 0 ||
           (capturedWidth == shownWidth && capturedHeight == shownHeight);
}

int PictureFit::capturedX(int x) const
{
    return identity() ? x : toCaptured(x, capturedWidth, shownWidth);
}

int PictureFit::capturedY(int y) const
{
    return identity() ? y : toCaptured(y, capturedHeight, shownHeight);
}

int PictureFit::shownX(int x) const
{
    return identity() ? x : toShown(x, capturedWidth, shownWidth);
}

int PictureFit::shownY(int y) const
{
    return identity() ? y : toShown(y, capturedHeight, shownHeight);
}

PixelRect PictureFit::shownRect(const PixelRect& r) const
{
    if (identity() || r.empty())
        return r;
    const auto along = [](int a, int b, int captured, int shown, int& outA, int& outB) {
        outA = clampToInt(floorDiv(static_cast<long long>(a) * shown, captured), 0, shown);
        outB = clampToInt(ceilDiv(static_cast<long long>(b) * shown, captured), 0, shown);
    };
    PixelRect out;
    along(r.x1, r.x2, capturedWidth, shownWidth, out.x1, out.x2);
    along(r.y1, r.y2, capturedHeight, shownHeight, out.y1, out.y2);
    return out;
}

PixelRect PictureFit::capturedRect(const PixelRect& r) const
{
    if (identity() || r.empty())
        return r;
    const auto along = [](int a, int b, int captured, int shown, int& outA, int& outB) {
        outA = std::clamp(toCaptured(a, captured, shown), 0, captured);
        // The last shown pixel reads up to where the next one would start,
        // and at least its own first captured pixel.
        outB = std::clamp(std::max(toCaptured(b - 1, captured, shown) + 1, toCaptured(b, captured, shown)), 0,
                          captured);
    };
    PixelRect out;
    along(r.x1, r.x2, capturedWidth, shownWidth, out.x1, out.x2);
    along(r.y1, r.y2, capturedHeight, shownHeight, out.y1, out.y2);
    return out;
}

void resamplePicture(const PictureFit& fit, const std::uint8_t* captured, std::ptrdiff_t capturedStride,
                     std::uint8_t* shown, std::ptrdiff_t shownStride, const PixelRect& rect)
{
    if (fit.capturedWidth <= 0 || fit.capturedHeight <= 0)
        return;
    const PixelRect r{std::max(rect.x1, 0), std::max(rect.y1, 0), std::min(rect.x2, fit.shownWidth),
                      std::min(rect.y2, fit.shownHeight)};
    if (r.empty())
        return;
    const Spans columns = spansOf(r.x1, r.x2, fit.capturedWidth, fit.shownWidth);
    const Spans rows = spansOf(r.y1, r.y2, fit.capturedHeight, fit.shownHeight);
    for (std::size_t j = 0; j < rows.start.size(); ++j) {
        std::uint8_t* out = shown + static_cast<std::ptrdiff_t>(r.y1 - rect.y1 + static_cast<int>(j)) * shownStride +
                            static_cast<std::ptrdiff_t>(r.x1 - rect.x1) * 4;
        const int top = rows.start[j];
        const int bottom = rows.end[j];
        for (std::size_t i = 0; i < columns.start.size(); ++i, out += 4) {
            const int left = columns.start[i];
            const int right = columns.end[i];
            unsigned sum[3] = {0, 0, 0};
            for (int y = top; y < bottom; ++y) {
                const std::uint8_t* in = captured + static_cast<std::ptrdiff_t>(y) * capturedStride +
                                         static_cast<std::ptrdiff_t>(left) * 4;
                for (int x = left; x < right; ++x, in += 4) {
                    sum[0] += in[0];
                    sum[1] += in[1];
                    sum[2] += in[2];
                }
            }
            const unsigned count = static_cast<unsigned>((right - left) * (bottom - top));
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
            out[3] = 255;
        }
    }
}

} // namespace vornik
