#include "screentools/agg2d.h"

#include <agg_basics.h>
#include <agg_color_rgba.h>
#include <agg_conv_stroke.h>
#include <agg_conv_transform.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgb.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>
#include <agg_trans_affine.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VORNIK_BLEND_AVX2 1
#endif

namespace vornik {
namespace {

using value_type = agg::int8u;

// The one blend the overlay's colours are defined by, shared by both pixel
// formats. AGG's own blenders round differently (they multiply coverage into
// alpha with rounding and lerp with a bias), which shifts many channels by one.
inline unsigned blendedAlpha(unsigned alpha, unsigned cover)
{
    return (alpha * (cover + 1)) >> 8;
}

inline value_type blendChannel(unsigned p, unsigned c, unsigned alpha)
{
    // (c - p) * alpha + p * 256 never goes negative, so it is computed in
    // unsigned arithmetic as c * alpha + p * (256 - alpha).
    return value_type((c * alpha + p * (256 - alpha)) >> 8);
}

// The blender of both pixel formats: the integer source-over blend, with the
// fourth byte kept by its own formula where the surface has one.
template <typename Order, bool HasAlpha>
struct PlainAlphaBlender {
    using color_type = agg::rgba8;
    using order_type = Order;
    using value_type = agg::int8u;

    static void blend_pix(value_type* p, value_type cr, value_type cg, value_type cb, value_type alpha,
                          agg::cover_type cover)
    {
        store(p, cr, cg, cb, blendedAlpha(alpha, cover));
    }
    // AGG calls this form for full coverage: (a * 256) >> 8 is a itself.
    static void blend_pix(value_type* p, value_type cr, value_type cg, value_type cb, value_type alpha)
    {
        store(p, cr, cg, cb, alpha);
    }

private:
    static void store(value_type* p, unsigned cr, unsigned cg, unsigned cb, unsigned alpha)
    {
        if (alpha == 0)
            return;
        if (alpha >= 255) {
            p[order_type::R] = value_type(cr);
            p[order_type::G] = value_type(cg);
            p[order_type::B] = value_type(cb);
            if constexpr (HasAlpha)
                p[order_type::A] = 255;
            return;
        }
        p[order_type::R] = blendChannel(p[order_type::R], cr, alpha);
        p[order_type::G] = blendChannel(p[order_type::G], cg, alpha);
        p[order_type::B] = blendChannel(p[order_type::B], cb, alpha);
        if constexpr (HasAlpha) {
            const unsigned a = p[order_type::A];
            p[order_type::A] = value_type(alpha + a - ((a * alpha + 255) >> 8));
        }
    }
};

#if defined(VORNIK_BLEND_AVX2)
// blendRun32's loop eight pixels at a time, for processors with AVX2 (chosen
// when the program runs). The 256-bit unpack and pack work within each
// 128-bit half alike, so the halves come back in order. Returns how many of
// the bytes it blended.
__attribute__((target("avx2"))) std::size_t blendRun32Avx2(std::uint8_t* p, std::size_t bytes, std::uint32_t keep,
                                                           const std::uint32_t* k)
{
    // (No lambdas here: they would not be compiled for AVX2.)
    alignas(32) short high[16], low[16];
    for (int j = 0; j < 16; ++j) {
        high[j] = short(k[j % 4] >> 8 & 0xFF);
        low[j] = short(k[j % 4] & 0xFF);
    }
    const __m256i vkeep = _mm256_set1_epi16(short(keep));
    const __m256i vkh = _mm256_load_si256(reinterpret_cast<const __m256i*>(high));
    const __m256i vkl = _mm256_load_si256(reinterpret_cast<const __m256i*>(low));
    const __m256i lowByte = _mm256_set1_epi16(0xFF);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        __m256i half[2] = {_mm256_unpacklo_epi8(v, zero), _mm256_unpackhi_epi8(v, zero)};
        for (__m256i& h : half) {
            const __m256i pk = _mm256_mullo_epi16(h, vkeep);
            const __m256i carry = _mm256_srli_epi16(_mm256_add_epi16(_mm256_and_si256(pk, lowByte), vkl), 8);
            h = _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(pk, 8), vkh), carry);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), _mm256_packus_epi16(half[0], half[1]));
    }
    return i;
}

bool hasAvx2()
{
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
}
#endif

// The same blend of one colour at one opacity over a run of 32-bit pixels,
// four pixels at a time where SSE2 is there (eight with AVX2). Every byte,
// the fourth too, becomes (p * (256 - alpha) + k) >> 8, with k the colour's
// channel times alpha, and 256 * alpha for the fourth byte: that is
// alpha + A - ((A * alpha + 255) >> 8), since A - ceil(A * alpha / 256) is
// floor(A * (256 - alpha) / 256).
void blendRun32(value_type* p, unsigned len, const agg::rgba8& c, unsigned alpha)
{
    if (alpha == 0 || len == 0)
        return;
    if (alpha >= 255) {
        const value_type pixel[4] = {c.b, c.g, c.r, 255};
        for (unsigned i = 0; i < len; ++i)
            std::memcpy(p + std::size_t(i) * 4, pixel, 4);
        return;
    }
    const std::uint32_t keep = 256 - alpha;
    const std::uint32_t k[4] = {c.b * alpha, c.g * alpha, c.r * alpha, 256 * alpha};
    const std::size_t bytes = std::size_t(len) * 4;
    std::size_t i = 0;
#if defined(VORNIK_BLEND_AVX2)
    if (hasAvx2())
        i = blendRun32Avx2(p, bytes, keep, k);
#endif
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes: p * keep fits one, and with k
    // split into its high and low byte, so does every partial sum of
    // (p * keep + k) >> 8 = (p * keep >> 8) + kh + (((p * keep) & 255) + kl) >> 8.
    const auto lanes = [](const std::uint32_t* v, unsigned shift, unsigned mask) {
        return _mm_setr_epi16(short(v[0] >> shift & mask), short(v[1] >> shift & mask), short(v[2] >> shift & mask),
                              short(v[3] >> shift & mask), short(v[0] >> shift & mask), short(v[1] >> shift & mask),
                              short(v[2] >> shift & mask), short(v[3] >> shift & mask));
    };
    const __m128i vkeep = _mm_set1_epi16(short(keep));
    const __m128i vkh = lanes(k, 8, 0xFF);
    const __m128i vkl = lanes(k, 0, 0xFF);
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    const __m128i zero = _mm_setzero_si128();
    const auto blend8 = [&](__m128i v) {
        const __m128i pk = _mm_mullo_epi16(v, vkeep);
        const __m128i carry = _mm_srli_epi16(_mm_add_epi16(_mm_and_si128(pk, lowByte), vkl), 8);
        return _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(pk, 8), vkh), carry);
    };
    for (; i + 16 <= bytes; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i out = _mm_packus_epi16(blend8(_mm_unpacklo_epi8(v, zero)), blend8(_mm_unpackhi_epi8(v, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), out);
    }
#endif
    for (; i < bytes; i += 4) {
        for (std::size_t j = 0; j < 4; ++j)
            p[i + j] = value_type((p[i + j] * keep + k[j]) >> 8);
    }
}

using PlainAlphaBlenderBgra = PlainAlphaBlender<agg::order_bgra, true>;
using PlainAlphaBlenderBgr = PlainAlphaBlender<agg::order_bgr, false>;

using PixFmt32 = agg::pixfmt_alpha_blend_rgba<PlainAlphaBlenderBgra, agg::rendering_buffer>;
using PixFmt24 = agg::pixfmt_alpha_blend_rgb<PlainAlphaBlenderBgr, agg::rendering_buffer, 3>;
using RenBase32 = agg::renderer_base<PixFmt32>;
using RenBase24 = agg::renderer_base<PixFmt24>;

// An unpacked 8-bit scanline that keeps only the cells and spans inside one
// column range. The rasterizer hands over whole rows; a selection box spanning
// the screen would otherwise make every row of a thin clip strip fill and
// blend a row-wide cover array just to have the base renderer cut it away.
class ClippedScanline {
public:
    using cover_type = agg::scanline_u8::cover_type;
    using const_iterator = agg::scanline_u8::const_iterator;

    void reset(int minX, int maxX)
    {
        m_x1 = minX;
        m_x2 = maxX;
        m_inner.reset(minX, maxX);
    }
    void reset_spans() { m_inner.reset_spans(); }
    void add_cell(int x, unsigned cover)
    {
        if (x >= m_x1 && x <= m_x2)
            m_inner.add_cell(x, cover);
    }
    void add_span(int x, unsigned len, unsigned cover)
    {
        const int first = std::max(x, m_x1);
        const int last = std::min(x + static_cast<int>(len) - 1, m_x2);
        if (first <= last)
            m_inner.add_span(first, static_cast<unsigned>(last - first + 1), cover);
    }
    void finalize(int y) { m_inner.finalize(y); }
    int y() const { return m_inner.y(); }
    unsigned num_spans() const { return m_inner.num_spans(); }
    const_iterator begin() const { return m_inner.begin(); }

private:
    int m_x1 = 0;
    int m_x2 = 0;
    agg::scanline_u8 m_inner;
};

// The coverage-to-opacity curve: min(1, master * x^gamma), where a power that
// cannot be computed counts as 1.
struct CoverageGamma {
    double gamma;
    double master;
    double operator()(double x) const
    {
        double power = std::pow(x, gamma);
        if (std::isnan(power))
            power = 1.0;
        const double f = master * power;
        if (std::isnan(f) || f >= 1.0)
            return 1.0;
        return f > 0.0 ? f : 0.0;
    }
};

// Wider outlines than this add nothing a screen could show, and the round
// joins of a stroke get more vertices the wider it is.
constexpr double kMaxLineWidth = 65536.0;
// The widest surface the unpacked scanline's 16-bit span coordinates address.
constexpr int kMaxSurfaceWidth = 32767;

int clampChannel(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

agg::rgba8 makeColor(int r, int g, int b, int a)
{
    return agg::rgba8(agg::int8u(clampChannel(r)), agg::int8u(clampChannel(g)), agg::int8u(clampChannel(b)),
                      agg::int8u(clampChannel(a)));
}

// Liang-Barsky in doubles: cuts the segment to the box, false when nothing of
// it lies inside. The coordinate of the side a cut was made at is set to that
// side exactly: with endpoints like +-1e300 the interpolation alone cancels to
// nonsense. The other coordinate is kept inside the box.
bool clipSegment(double& x1, double& y1, double& x2, double& y2, double minX, double minY, double maxX, double maxY)
{
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    if (!std::isfinite(dx) || !std::isfinite(dy)) {
        // Differences beyond double range: halve the scale and retry, which
        // keeps the geometry and brings it into range.
        double hx1 = x1 / 2, hy1 = y1 / 2, hx2 = x2 / 2, hy2 = y2 / 2;
        if (!clipSegment(hx1, hy1, hx2, hy2, minX / 2, minY / 2, maxX / 2, maxY / 2))
            return false;
        x1 = hx1 * 2;
        y1 = hy1 * 2;
        x2 = hx2 * 2;
        y2 = hy2 * 2;
        return true;
    }
    double t0 = 0.0;
    double t1 = 1.0;
    int side0 = -1;
    int side1 = -1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - minX, maxX - x1, y1 - minY, maxY - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0) {
                t0 = t;
                side0 = i;
            }
        } else {
            if (t < t0)
                return false;
            if (t < t1) {
                t1 = t;
                side1 = i;
            }
        }
    }
    const double sides[4] = {minX, maxX, minY, maxY};
    auto cutAt = [&](double t, int side, double& x, double& y, double sx, double sy) {
        x = sx + t * dx;
        y = sy + t * dy;
        if (side == 0 || side == 1)
            x = sides[side];
        else
            y = sides[side];
        x = std::clamp(x, minX, maxX);
        y = std::clamp(y, minY, maxY);
    };
    const double sx = x1;
    const double sy = y1;
    if (side1 >= 0)
        cutAt(t1, side1, x2, y2, sx, sy);
    if (side0 >= 0)
        cutAt(t0, side0, x1, y1, sx, sy);
    // With endpoints near the limits of double the parameters round, and an
    // end that lies outside can escape the cut; the fixed-point rasterizer
    // must never see it.
    x1 = std::clamp(x1, minX, maxX);
    x2 = std::clamp(x2, minX, maxX);
    y1 = std::clamp(y1, minY, maxY);
    y2 = std::clamp(y2, minY, maxY);
    return true;
}

bool finite4(double a, double b, double c, double d)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

} // namespace

struct TAgg2D::Impl {
    bool surface = false;
    int bitsPerPixel = 32;
    agg::rendering_buffer rbuf;
    PixFmt32 pixf32;
    PixFmt24 pixf24;
    RenBase32 ren32;
    RenBase24 ren24;

    agg::rasterizer_scanline_aa<> ras;
    ClippedScanline sl;
    agg::path_storage path;
    agg::trans_affine transform;
    agg::conv_stroke<agg::path_storage> stroke{path};
    agg::conv_transform<agg::path_storage> fillShape{path, transform};
    agg::conv_transform<agg::conv_stroke<agg::path_storage>> strokeShape{stroke, transform};

    double masterAlpha = 1.0;
    double antiAliasGamma = 1.0;
    agg::rgba8 fillColor = agg::rgba8(255, 255, 255, 255);
    agg::rgba8 lineColor = agg::rgba8(0, 0, 0, 255);
    double lineWidth = 1.0;
    agg::line_cap_e lineCap = agg::round_cap;
    agg::line_join_e lineJoin = agg::round_join;
    bool evenOdd = false;
    std::vector<PixelRect> clipBoxes;

    Impl() : pixf32(rbuf), pixf24(rbuf), ren32(pixf32), ren24(pixf24) {}

    int width() const { return surface ? static_cast<int>(rbuf.width()) : 0; }
    int height() const { return surface ? static_cast<int>(rbuf.height()) : 0; }

    void resetState()
    {
        const int w = width();
        const int h = height();
        ren32.reset_clipping(true);
        ren24.reset_clipping(true);
        transform.reset();
        lineWidth = 1.0;
        lineColor = agg::rgba8(0, 0, 0, 255);
        fillColor = agg::rgba8(255, 255, 255, 255);
        clipBoxes.assign(1, PixelRect{0, 0, w, h});
        lineCap = agg::round_cap;
        lineJoin = agg::round_join;
        masterAlpha = 1.0;
        antiAliasGamma = 1.0;
        ras.reset();
        ras.gamma(agg::gamma_none());
        // The rasterizer always clips to the whole surface, whatever the clip
        // box: a partial redraw must give every pixel it writes exactly the
        // coverage a full redraw gives it.
        ras.clip_box(0.0, 0.0, double(w), double(h));
        ras.filling_rule(agg::fill_non_zero);
        evenOdd = false;
        path.remove_all();
        path.move_to(0.0, 0.0);
    }

    // Beyond this distance from the surface an outline of the current width
    // cannot reach it, so geometry can be cut there without changing a pixel.
    double safetyMargin() const
    {
        const double w = std::isfinite(lineWidth) ? std::clamp(lineWidth, 0.0, kMaxLineWidth)
                                                  : (lineWidth > 0 ? kMaxLineWidth : 0.0);
        return w / 2.0 + 2.0;
    }

    template <class Ren> void renderRasterized(Ren& ren, const agg::rgba8& color, const PixelRect* only)
    {
        if (!ras.rewind_scanlines())
            return;
        const PixelRect* first = only != nullptr ? only : clipBoxes.data();
        const PixelRect* last = only != nullptr ? only + 1 : clipBoxes.data() + clipBoxes.size();
        for (const PixelRect* it = first; it != last; ++it) {
            const PixelRect& box = *it;
            const int yFirst = std::max(box.y1, ras.min_y());
            const int yLast = std::min(box.y2 - 1, ras.max_y());
            const int xFirst = std::max(box.x1, ras.min_x());
            const int xLast = std::min(box.x2 - 1, ras.max_x());
            if (yFirst > yLast || xFirst > xLast)
                continue;
            if (!ras.navigate_scanline(yFirst))
                continue;
            ren.clip_box(box.x1, box.y1, box.x2 - 1, box.y2 - 1);
            sl.reset(xFirst, xLast);
            while (ras.sweep_scanline(sl)) {
                if (sl.y() > yLast)
                    break;
                agg::render_scanline_aa_solid(sl, ren, color);
            }
        }
    }

    void render(const agg::rgba8& color, const PixelRect* only)
    {
        if (bitsPerPixel == 32)
            renderRasterized(ren32, color, only);
        else
            renderRasterized(ren24, color, only);
    }

    // Draws the path into every clip box, or into the one given.
    void drawPath(bool withFill, const PixelRect* only = nullptr)
    {
        ras.reset();
        ras.filling_rule(evenOdd ? agg::fill_even_odd : agg::fill_non_zero);
        if (withFill && fillColor.a != 0) {
            path.rewind(0);
            ras.add_path(fillShape);
            render(fillColor, only);
        }
        if (lineColor.a != 0 && lineWidth > 0.0) {
            ras.reset();
            stroke.width(std::min(lineWidth, kMaxLineWidth));
            stroke.line_cap(lineCap);
            stroke.line_join(lineJoin);
            ras.add_path(strokeShape);
            render(lineColor, only);
        }
    }

    // One colour blended over [left, right) x [top, bottom).
    struct Layer {
        int left, top, right, bottom;
        agg::rgba8 color;
    };

    // Fills the rectangle with the fill colour when its corners lie on pixel
    // edges and nothing transforms it: it then covers whole pixels and no
    // others, so each row of it inside the clip boxes is blended with the
    // coverage the rasterizer gives a whole pixel, the same pixels without
    // rasterizing the outline. False, drawing nothing, for any other
    // rectangle.
    bool fillAlignedRect(double x1, double y1, double x2, double y2)
    {
        if (!alignedRect(x1, y1, x2, y2))
            return false;
        const Layer fill = fillLayer(x1, y1, x2, y2);
        blendLayers(&fill, 1);
        return true;
    }

    // Outlines such a rectangle when it has an inside and the pen is one
    // pixel wide and hard-edged: the outline then touches exactly the
    // rectangle one pixel larger on every side, its inside included (the
    // stroke's two contours turn the same way, so the inside counts too).
    // False, drawing nothing, for any other outline.
    bool strokeAlignedRect(double x1, double y1, double x2, double y2)
    {
        if (!strokesAligned(x1, y1, x2, y2))
            return false;
        const Layer outline = outlineLayer(x1, y1, x2, y2);
        blendLayers(&outline, 1);
        return true;
    }

    // Fills and outlines such a rectangle in one pass over its rows, the fill
    // first at every pixel, as the two separately would. False, drawing
    // nothing, where either could not be drawn so.
    bool fillAndStrokeAlignedRect(double x1, double y1, double x2, double y2)
    {
        if (!strokesAligned(x1, y1, x2, y2))
            return false;
        const Layer both[2] = {fillLayer(x1, y1, x2, y2), outlineLayer(x1, y1, x2, y2)};
        blendLayers(both, 2);
        return true;
    }

    bool strokesAligned(double x1, double y1, double x2, double y2) const
    {
        return alignedRect(x1, y1, x2, y2) && x1 != x2 && y1 != y2 && lineWidth == 1.0 && hardEdged();
    }

    // The pixels an aligned rectangle's fill covers, and those its outline
    // covers: one pixel more on every side.
    Layer fillLayer(double x1, double y1, double x2, double y2) const
    {
        return {static_cast<int>(std::min(x1, x2)), static_cast<int>(std::min(y1, y2)),
                static_cast<int>(std::max(x1, x2)), static_cast<int>(std::max(y1, y2)), fillColor};
    }
    Layer outlineLayer(double x1, double y1, double x2, double y2) const
    {
        const Layer fill = fillLayer(x1, y1, x2, y2);
        return {fill.left - 1, fill.top - 1, fill.right + 1, fill.bottom + 1, lineColor};
    }

    // Draws a line when it is axis-parallel at a whole coordinate, runs from
    // one side of the surface to the other, and the pen is one pixel wide
    // and hard-edged, as the overlay's guide lines are: the pen's edges then
    // pass through the middles of the two pixel columns (or rows) beside the
    // coordinate, which it covers along the whole surface, its ends lying
    // beyond the surface whatever their caps. False, drawing nothing, for
    // any other line.
    bool fullLengthAlignedLine(double x1, double y1, double x2, double y2)
    {
        if (!transform.is_identity() || lineWidth != 1.0 || !hardEdged())
            return false;
        const auto whole = [](double v) { return v == std::floor(v) && std::fabs(v) < 1e9; };
        if (x1 == x2 && whole(x1) && std::min(y1, y2) <= 0 && std::max(y1, y2) >= height()) {
            const int x = static_cast<int>(x1);
            blendPixels(x - 1, 0, x + 1, height(), lineColor);
            return true;
        }
        if (y1 == y2 && whole(y1) && std::min(x1, x2) <= 0 && std::max(x1, x2) >= width()) {
            const int y = static_cast<int>(y1);
            blendPixels(0, y - 1, width(), y + 1, lineColor);
            return true;
        }
        return false;
    }

    // Corners on pixel edges, not too far out, and nothing transforms them.
    bool alignedRect(double x1, double y1, double x2, double y2) const
    {
        if (!transform.is_identity())
            return false;
        for (const double v : {x1, y1, x2, y2}) {
            if (v != std::floor(v) || std::fabs(v) > 1e9)
                return false;
        }
        return true;
    }

    // Blends the colour over [left, right) x [top, bottom) inside the clip
    // boxes with the coverage the rasterizer gives a whole pixel.
    void blendPixels(int left, int top, int right, int bottom, const agg::rgba8& color)
    {
        const Layer layer{left, top, right, bottom, color};
        blendLayers(&layer, 1);
    }

    // Blends each layer in turn, as blendPixels one after the other would,
    // but row by row: each row of the clip boxes gets every layer's run while
    // it is at hand, instead of one pass over the whole area per layer.
    void blendLayers(const Layer* layers, std::size_t count)
    {
        const agg::int8u cover = static_cast<agg::int8u>(ras.apply_gamma(agg::cover_full));
        if (cover == 0)
            return;
        // As the pixel format blends a run at one coverage.
        unsigned alphas[2] = {};
        for (std::size_t i = 0; i < count && i < 2; ++i)
            alphas[i] = cover == agg::cover_full ? layers[i].color.a : blendedAlpha(layers[i].color.a, cover);
        for (const PixelRect& box : clipBoxes) {
            int top = box.y2, bottom = box.y1;
            for (std::size_t i = 0; i < count && i < 2; ++i) {
                top = std::min(top, std::max({layers[i].top, box.y1, 0}));
                bottom = std::max(bottom, std::min({layers[i].bottom, box.y2, height()}));
            }
            for (int y = top; y < bottom; ++y) {
                for (std::size_t i = 0; i < count && i < 2; ++i) {
                    const Layer& l = layers[i];
                    const int x1 = std::max({l.left, box.x1, 0});
                    const int x2 = std::min({l.right, box.x2, width()});
                    if (l.color.a == 0 || y < l.top || y >= l.bottom || x1 >= x2)
                        continue;
                    const auto len = static_cast<unsigned>(x2 - x1);
                    if (bitsPerPixel == 32)
                        blendRun32(rbuf.row_ptr(y) + std::size_t(x1) * 4, len, l.color, alphas[i]);
                    else
                        pixf24.blend_hline(x1, y, len, l.color, cover);
                }
            }
        }
    }

    // True when every coverage the rasterizer can give a pixel turns into
    // the same opacity, as with a gamma of 0 (the curve only rises, so its
    // two ends tell): then only which pixels a shape touches matters, not
    // how much of each.
    bool hardEdged() const { return ras.apply_gamma(1) == ras.apply_gamma(agg::cover_full); }

    // With several clip boxes, or one smaller than the surface, a shape is
    // cut to each box widened by the margin and drawn into that box alone: a
    // guide line crossing a thin strip is then rasterized over the strip's
    // width instead of the screen's. Cutting there changes no pixel in the
    // box, for the same reason as cutting at the surface's edge.
    bool cutsPerBox() const
    {
        return clipBoxes.size() > 1 ||
               (clipBoxes.size() == 1 && clipBoxes[0] != PixelRect{0, 0, width(), height()});
    }

    bool hasSurface() const { return surface; }

    void attachRows(std::uint8_t* start, int w, int h, std::ptrdiff_t step, int bpp)
    {
        surface = true;
        bitsPerPixel = bpp;
        rbuf.attach(start, static_cast<unsigned>(w), static_cast<unsigned>(h), static_cast<int>(step));
        pixf32.attach(rbuf);
        pixf24.attach(rbuf);
        ren32.attach(pixf32);
        ren24.attach(pixf24);
        resetState();
    }
};

TAgg2D::TAgg2D() : m_impl(std::make_unique<Impl>()) {}

TAgg2D::~TAgg2D() = default;

bool TAgg2D::Attach(Bitmap* bitmap, bool flip)
{
    if (bitmap == nullptr || bitmap->empty())
        return false;
    const int bpp = bitmap->bitsPerPixel();
    if (bpp != 24 && bpp != 32)
        return false;
    if (bitmap->width() > kMaxSurfaceWidth)
        return false;

    Impl& d = *m_impl;
    const int h = bitmap->height();
    // The row step comes from the memory layout itself: row 1's address minus
    // row 0's. A one-row bitmap has no row 1, so its order decides the sign.
    std::ptrdiff_t step =
        h > 1 ? bitmap->scanLine(1) - bitmap->scanLine(0) : (bitmap->bottomUp() ? -bitmap->stride() : bitmap->stride());
    std::uint8_t* start = step < 0 ? bitmap->scanLine(h - 1) : bitmap->scanLine(0);
    if (flip)
        step = -step;

    d.attachRows(start, bitmap->width(), h, step, bpp);
    return true;
}

bool TAgg2D::AttachPixels(std::uint8_t* firstRow, int width, int height, std::ptrdiff_t stride)
{
    if (firstRow == nullptr || width <= 0 || height <= 0 || width > kMaxSurfaceWidth || stride < width * 4LL)
        return false;
    m_impl->attachRows(firstRow, width, height, stride, 32);
    return true;
}

void TAgg2D::Detach()
{
    m_impl->surface = false;
}

bool TAgg2D::attached() const
{
    return m_impl->hasSurface();
}

void TAgg2D::ClearAll(int r, int g, int b, int a)
{
    Impl& d = *m_impl;
    if (!d.hasSurface())
        return;
    const agg::rgba8 c = makeColor(r, g, b, a);
    const unsigned w = d.rbuf.width();
    for (unsigned y = 0; y < d.rbuf.height(); ++y) {
        agg::int8u* row = d.rbuf.row_ptr(static_cast<int>(y));
        if (d.bitsPerPixel == 32) {
            const std::uint32_t pixel =
                std::uint32_t(c.b) | std::uint32_t(c.g) << 8 | std::uint32_t(c.r) << 16 | std::uint32_t(c.a) << 24;
            if (y == 0) {
                for (unsigned x = 0; x < w; ++x)
                    std::memcpy(row + x * 4, &pixel, 4);
            } else {
                std::memcpy(row, d.rbuf.row_ptr(0), std::size_t(w) * 4);
            }
        } else {
            for (unsigned x = 0; x < w; ++x) {
                row[x * 3] = c.b;
                row[x * 3 + 1] = c.g;
                row[x * 3 + 2] = c.r;
            }
        }
    }
}

void TAgg2D::CopyImage(const Bitmap* bitmap, double x, double y)
{
    Impl& d = *m_impl;
    if (!d.hasSurface() || bitmap == nullptr || bitmap->empty() || bitmap->bitsPerPixel() != 32)
        return;
    double tx = x;
    double ty = y;
    d.transform.transform(&tx, &ty);
    // Beyond a billion pixels the image cannot touch any surface we attach;
    // this also keeps the truncation below inside int's range.
    if (!(std::fabs(tx) < 1e9) || !(std::fabs(ty) < 1e9))
        return;
    const long long dx = static_cast<long long>(std::trunc(tx));
    const long long dy = static_cast<long long>(std::trunc(ty));

    for (const PixelRect& box : d.clipBoxes) {
        const long long x1 = std::max<long long>(box.x1, dx);
        const long long x2 = std::min<long long>(box.x2, dx + bitmap->width());
        const long long y1 = std::max<long long>(box.y1, dy);
        const long long y2 = std::min<long long>(box.y2, dy + bitmap->height());
        if (x1 >= x2 || y1 >= y2)
            continue;
        for (long long sy = y1; sy < y2; ++sy) {
            const std::uint8_t* src = bitmap->scanLine(static_cast<int>(sy - dy)) + (x1 - dx) * 4;
            agg::int8u* dst = d.rbuf.row_ptr(static_cast<int>(sy));
            if (d.bitsPerPixel == 32) {
                std::memmove(dst + x1 * 4, src, static_cast<std::size_t>(x2 - x1) * 4);
            } else {
                agg::int8u* out = dst + x1 * 3;
                for (long long i = 0; i < x2 - x1; ++i, src += 4, out += 3) {
                    out[0] = src[0];
                    out[1] = src[1];
                    out[2] = src[2];
                }
            }
        }
    }
}

void TAgg2D::AntiAliasGamma(double g)
{
    Impl& d = *m_impl;
    d.antiAliasGamma = g;
    d.ras.gamma(CoverageGamma{g, d.masterAlpha});
}

void TAgg2D::LineWidth(double w)
{
    m_impl->lineWidth = w;
}

void TAgg2D::LineColor(int r, int g, int b, int a)
{
    m_impl->lineColor = makeColor(r, g, b, a);
}

void TAgg2D::FillColor(int r, int g, int b, int a)
{
    m_impl->fillColor = makeColor(r, g, b, a);
}

void TAgg2D::NoFill()
{
    m_impl->fillColor = agg::rgba8(0, 0, 0, 0);
}

void TAgg2D::Line(double x1, double y1, double x2, double y2)
{
    Impl& d = *m_impl;
    if (!d.hasSurface())
        return;
    d.path.remove_all();
    if (!finite4(x1, y1, x2, y2))
        return;
    // A guide line across the whole surface is blended as the pixels it
    // covers, without rasterizing it along the screen.
    if (d.fullLengthAlignedLine(x1, y1, x2, y2))
        return;
    const double m = d.safetyMargin();
    if (!clipSegment(x1, y1, x2, y2, -m, -m, d.width() + m, d.height() + m))
        return;
    // Only an axis-parallel segment is cut per box: cutting a slanted one
    // moves its ends off the fixed-point grid the rasterizer works on, which
    // can change the coverage of the pixels along it by a step.
    if (!d.cutsPerBox() || (x1 != x2 && y1 != y2)) {
        d.path.move_to(x1, y1);
        d.path.line_to(x2, y2);
        d.drawPath(false);
        return;
    }
    for (const PixelRect& box : d.clipBoxes) {
        double a = x1, b = y1, c = x2, e = y2;
        if (!clipSegment(a, b, c, e, box.x1 - m, box.y1 - m, box.x2 + m, box.y2 + m))
            continue;
        d.path.remove_all();
        d.path.move_to(a, b);
        d.path.line_to(c, e);
        d.drawPath(false, &box);
    }
}

void TAgg2D::Rectangle(double x1, double y1, double x2, double y2)
{
    Impl& d = *m_impl;
    if (!d.hasSurface())
        return;
    d.path.remove_all();
    if (!finite4(x1, y1, x2, y2))
        return;
    // A box on pixel edges, as the overlay's selection is, is blended row by
    // row: the same pixels as rasterizing it, at a fraction of the cost for
    // a box the size of the screen.
    if (d.fillColor.a != 0 && d.lineColor.a != 0 && d.lineWidth > 0.0 && d.fillAndStrokeAlignedRect(x1, y1, x2, y2))
        return;
    const bool filled = d.fillColor.a == 0 || d.fillAlignedRect(x1, y1, x2, y2);
    if (filled && (d.lineColor.a == 0 || d.lineWidth <= 0.0 || d.strokeAlignedRect(x1, y1, x2, y2)))
        return;
    // The rectangle's sides are axis-parallel, so clamping its corners to the
    // surface widened by the margin is exactly its intersection with that area.
    const double m = d.safetyMargin();
    const double maxX = d.width() + m;
    const double maxY = d.height() + m;
    x1 = std::clamp(x1, -m, maxX);
    x2 = std::clamp(x2, -m, maxX);
    y1 = std::clamp(y1, -m, maxY);
    y2 = std::clamp(y2, -m, maxY);
    const auto draw = [&d, filled](double a, double b, double c, double e, const PixelRect* only) {
        d.path.remove_all();
        d.path.move_to(a, b);
        d.path.line_to(c, b);
        d.path.line_to(c, e);
        d.path.line_to(a, e);
        d.path.close_polygon();
        d.drawPath(!filled, only);
    };
    if (!d.cutsPerBox()) {
        draw(x1, y1, x2, y2, nullptr);
        return;
    }
    // A box that the widened clip box does not reach in one direction keeps
    // its sides there out of the clip box; clamping keeps them out of it by
    // at least the margin as well, and a zero-width or zero-height rectangle
    // stays one.
    const double left = std::min(x1, x2), right = std::max(x1, x2);
    const double top = std::min(y1, y2), bottom = std::max(y1, y2);
    for (const PixelRect& box : d.clipBoxes) {
        const double bx1 = box.x1 - m, by1 = box.y1 - m, bx2 = box.x2 + m, by2 = box.y2 + m;
        if (right < bx1 || left > bx2 || bottom < by1 || top > by2)
            continue;
        draw(std::clamp(x1, bx1, bx2), std::clamp(y1, by1, by2), std::clamp(x2, bx1, bx2), std::clamp(y2, by1, by2),
             &box);
    }
}

void TAgg2D::ClipBox(const PixelRect& box)
{
    ClipBoxes({box});
}

void TAgg2D::ClipBoxes(const std::vector<PixelRect>& boxes)
{
    Impl& d = *m_impl;
    d.clipBoxes.clear();
    for (PixelRect b : boxes) {
        b.x1 = std::max(b.x1, 0);
        b.y1 = std::max(b.y1, 0);
        b.x2 = std::min(b.x2, d.width());
        b.y2 = std::min(b.y2, d.height());
        if (!b.empty())
            d.clipBoxes.push_back(b);
    }
}

double TAgg2D::antiAliasGamma() const
{
    return m_impl->antiAliasGamma;
}

double TAgg2D::lineWidth() const
{
    return m_impl->lineWidth;
}

std::uint32_t TAgg2D::lineColor() const
{
    const agg::rgba8& c = m_impl->lineColor;
    return std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16 | std::uint32_t(c.a) << 24;
}

std::uint32_t TAgg2D::fillColor() const
{
    const agg::rgba8& c = m_impl->fillColor;
    return std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16 | std::uint32_t(c.a) << 24;
}

unsigned TAgg2D::gammaEntry(unsigned coverage) const
{
    return m_impl->ras.apply_gamma(std::min(coverage, 255u));
}

int TAgg2D::width() const
{
    return m_impl->width();
}

int TAgg2D::height() const
{
    return m_impl->height();
}

} // namespace vornik
