#include "screentools/agg2d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace vornik {
namespace {

Bitmap noiseSurface(int w, int h, unsigned noiseState, int bpp = 32, bool bottomUp = false)
{
    Bitmap b(w, h, bpp, bottomUp);
    std::mt19937 rng(noiseState);
    for (std::size_t i = 0; i < b.sizeInBytes(); ++i)
        b.bits()[i] = static_cast<std::uint8_t>(rng());
    return b;
}

struct Bgra {
    int b, g, r, a;
};

Bgra at(const Bitmap& bmp, int x, int y)
{
    const std::uint8_t* p = bmp.scanLine(y) + x * (bmp.bitsPerPixel() / 8);
    return {p[0], p[1], p[2], bmp.bitsPerPixel() == 32 ? p[3] : 0};
}

// The integer source-over every rendered pixel must show, written out
// independently of the layer.
Bgra blendOnce(Bgra p, int r, int g, int b, int alpha)
{
    auto ch = [alpha](int pc, int c) { return ((c - pc) * alpha + pc * 256) >> 8; };
    return {ch(p.b, b), ch(p.g, g), ch(p.r, r), alpha + p.a - ((p.a * alpha + 255) >> 8)};
}

void expectPixel(const Bitmap& bmp, int x, int y, Bgra want)
{
    const Bgra got = at(bmp, x, y);
    EXPECT_EQ(got.b, want.b) << "blue at " << x << "," << y;
    EXPECT_EQ(got.g, want.g) << "green at " << x << "," << y;
    EXPECT_EQ(got.r, want.r) << "red at " << x << "," << y;
    if (bmp.bitsPerPixel() == 32) {
        EXPECT_EQ(got.a, want.a) << "fourth byte at " << x << "," << y;
    }
}

void hardEdgedPen(TAgg2D& agg)
{
    agg.AntiAliasGamma(0.0);
    agg.LineWidth(1.0);
    agg.NoFill();
}

TEST(TAgg2DAttach, RefusesWhatCannotBeDrawnOnAndKeepsThePreviousSurface)
{
    Bitmap good(8, 6, 32);
    Bitmap empty;
    Bitmap zeroWide(0, 5, 32);
    Bitmap bpp16(4, 4, 16);
    Bitmap bpp8(4, 4, 8);
    Bitmap bpp1(4, 4, 1);
    Bitmap tooWide(40000, 1, 32);
    TAgg2D agg;
    EXPECT_FALSE(agg.attached());
    ASSERT_TRUE(agg.Attach(&good, false));
    agg.LineWidth(3.0);
    for (Bitmap* bad : {static_cast<Bitmap*>(nullptr), &empty, &zeroWide, &bpp16, &bpp8, &bpp1, &tooWide}) {
        EXPECT_FALSE(agg.Attach(bad, false));
        EXPECT_EQ(agg.width(), 8);
        EXPECT_EQ(agg.height(), 6);
        EXPECT_EQ(agg.lineWidth(), 3.0) << "a refused attach must not reset the state";
    }
    Bitmap bpp24(5, 3, 24);
    EXPECT_TRUE(agg.Attach(&bpp24, false));
    EXPECT_EQ(agg.width(), 5);
}

TEST(TAgg2DAttach, ResetsTheDrawingState)
{
    Bitmap surface(4, 4, 32);
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    agg.AntiAliasGamma(0.0);
    agg.LineWidth(7.0);
    agg.LineColor(1, 2, 3, 4);
    agg.FillColor(5, 6, 7, 8);
    ASSERT_TRUE(agg.Attach(&surface, false));
    EXPECT_EQ(agg.lineWidth(), 1.0);
    EXPECT_EQ(agg.antiAliasGamma(), 1.0);
    EXPECT_EQ(agg.lineColor(), 0xFF000000u);
    EXPECT_EQ(agg.fillColor(), 0xFFFFFFFFu);
    for (unsigned i = 0; i < 256; ++i)
        ASSERT_EQ(agg.gammaEntry(i), i);
}

// A horizontal line through surface row 2 must land on the bitmap's row 1 and
// 2 counted from the top, or from the bottom with flip, whatever the memory
// order of the bitmap.
TEST(TAgg2DAttach, RowOrderFollowsTheBitmapAndFlip)
{
    struct Case {
        bool bottomUp;
        bool flip;
    };
    for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        Bitmap surface(6, 8, 32, c.bottomUp);
        TAgg2D agg;
        ASSERT_TRUE(agg.Attach(&surface, c.flip));
        agg.ClearAll(0, 0, 0, 255);
        hardEdgedPen(agg);
        agg.LineColor(255, 255, 255, 255);
        agg.Line(0, 2, 6, 2);
        for (int y = 0; y < 8; ++y) {
            const int surfaceRow = c.flip ? 7 - y : y;
            const bool lit = surfaceRow == 1 || surfaceRow == 2;
            EXPECT_EQ(at(surface, 3, y).g, lit ? 255 : 0)
                << "bottomUp " << c.bottomUp << " flip " << c.flip << " row " << y;
        }
    }
}

TEST(TAgg2DClearAll, StoresTheColourIntoEveryPixelIgnoringTheClipBox)
{
    Bitmap surface = noiseSurface(5, 4, 1);
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    agg.ClipBox({1, 1, 2, 2});
    agg.ClearAll(10, 20, 30, 7);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(surface.pixel32(x, y), 0x070A141Eu);
}

TEST(TAgg2DCopyImage, IgnoresSourcesThatAreNotNonEmpty32Bit)
{
    Bitmap surface = noiseSurface(6, 6, 2);
    const Bitmap before = surface;
    Bitmap bpp24 = noiseSurface(3, 3, 3, 24);
    Bitmap empty;
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    agg.CopyImage(&bpp24, 0, 0);
    agg.CopyImage(&empty, 0, 0);
    agg.CopyImage(nullptr, 0, 0);
    agg.CopyImage(&bpp24, std::nan(""), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(surface.bits(), surface.bits() + surface.sizeInBytes()),
              std::vector<std::uint8_t>(before.bits(), before.bits() + before.sizeInBytes()));
}

TEST(TAgg2DCopyImage, CopiesBytesAtTruncatedOffsetClippedToTheClipBox)
{
    struct Case {
        double x, y;
        int dx, dy;
        bool sourceBottomUp;
        PixelRect clip;
    };
    const Case cases[] = {
        {0.0, 0.0, 0, 0, false, {0, 0, 10, 8}},
        {2.9, -1.7, 2, -1, false, {0, 0, 10, 8}},
        {-2.9, 3.99, -2, 3, true, {0, 0, 10, 8}},
        {1.0, 1.0, 1, 1, false, {3, 2, 6, 5}},
        {1e12, 0.0, 100000, 0, false, {0, 0, 10, 8}},
        {std::numeric_limits<double>::infinity(), 0.0, 100000, 0, false, {0, 0, 10, 8}},
    };
    for (const Case& c : cases) {
        Bitmap surface = noiseSurface(10, 8, 4);
        const Bitmap before = surface;
        const Bitmap source = noiseSurface(5, 4, 5, 32, c.sourceBottomUp);
        TAgg2D agg;
        ASSERT_TRUE(agg.Attach(&surface, false));
        agg.ClipBox(c.clip);
        agg.CopyImage(&source, c.x, c.y);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                const int sx = x - c.dx;
                const int sy = y - c.dy;
                const bool inClip = x >= c.clip.x1 && x < c.clip.x2 && y >= c.clip.y1 && y < c.clip.y2;
                const bool fromSource = inClip && sx >= 0 && sx < 5 && sy >= 0 && sy < 4;
                ASSERT_EQ(surface.pixel32(x, y), fromSource ? source.pixel32(sx, sy) : before.pixel32(x, y))
                    << "case x=" << c.x << " at " << x << "," << y;
            }
        }
    }
}

TEST(TAgg2DGamma, TableEntriesFollowThePowerFormula)
{
    Bitmap surface(2, 2, 32);
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    struct Case {
        double g;
        unsigned i;
        unsigned want;
    };
    const Case cases[] = {
        {0.0, 0, 255},   {0.0, 1, 255},          {0.0, 255, 255},
        {1.0, 0, 0},     {1.0, 77, 77},          {1.0, 255, 255},
        {2.0, 128, 64},  {2.0, 16, 1},           {2.0, 11, 0},
        {0.5, 64, 128},  {0.5, 1, 16},           {-1.0, 0, 255},
        {-1.0, 10, 255}, {std::nan(""), 0, 255}, {std::nan(""), 100, 255},
    };
    for (const Case& c : cases) {
        agg.AntiAliasGamma(c.g);
        EXPECT_EQ(agg.gammaEntry(c.i), c.want) << "gamma " << c.g << " entry " << c.i;
    }
}

// The green crosshair line: columns x - 1 and x, every channel
// (p * 136 + c * 120) >> 8; a line at 0 keeps only column 0, one at the last
// column covers the last two, one at the width only the last.
TEST(TAgg2DLine, VerticalLineOfWidthOneCoversTwoColumnsWithTheIntegerBlend)
{
    constexpr int W = 12;
    constexpr int H = 7;
    struct Case {
        int x;
        int firstColumn;
        int lastColumn;
    };
    for (Case c : {Case{0, 0, 0}, Case{5, 4, 5}, Case{W - 1, W - 2, W - 1}, Case{W, W - 1, W - 1}, Case{-1, 1, 0},
                   Case{W + 1, 1, 0}}) {
        for (int bpp : {32, 24}) {
            Bitmap surface = noiseSurface(W, H, 7, bpp);
            const Bitmap before = surface;
            TAgg2D agg;
            ASSERT_TRUE(agg.Attach(&surface, false));
            hardEdgedPen(agg);
            agg.LineColor(0, 255, 0, 120);
            agg.Line(c.x, 0, c.x, H);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    const Bgra p = at(before, x, y);
                    const bool lit = x >= c.firstColumn && x <= c.lastColumn;
                    const Bgra want = lit ? blendOnce(p, 0, 255, 0, 120) : p;
                    if (lit) {
                        ASSERT_EQ(want.g, (p.g * 136 + 255 * 120) >> 8);
                    }
                    expectPixel(surface, x, y, want);
                }
            }
        }
    }
}

TEST(TAgg2DLine, CrossingIsBlendedTwice)
{
    Bitmap surface = noiseSurface(9, 9, 8);
    const Bitmap before = surface;
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    hardEdgedPen(agg);
    agg.LineColor(255, 0, 0, 120);
    agg.Line(4, 0, 4, 9);
    agg.Line(0, 6, 9, 6);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            const int hits = (x == 3 || x == 4) + (y == 5 || y == 6);
            Bgra want = at(before, x, y);
            for (int i = 0; i < hits; ++i)
                want = blendOnce(want, 255, 0, 0, 120);
            expectPixel(surface, x, y, want);
        }
    }
}

TEST(TAgg2DLine, OpaqueFullCoverageStoresTheColourAndNonFiniteInputIsIgnored)
{
    Bitmap surface = noiseSurface(6, 6, 9);
    const Bitmap before = surface;
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    hardEdgedPen(agg);
    agg.LineColor(9, 8, 7, 255);
    const double inf = std::numeric_limits<double>::infinity();
    agg.Line(std::nan(""), 0, 3, 6);
    agg.Line(3, -inf, 3, inf);
    agg.Line(-1e300, 1e300, 1e300, 1e300);
    agg.Line(1e300, 3, 1e300, 4);
    agg.Line(2, 2, 2, 2);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(surface.pixel32(x, y), before.pixel32(x, y)) << x << "," << y;
    agg.Line(-1e300, 3, 1e300, 3);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(surface.pixel32(x, 2), 0xFF090807u);
        EXPECT_EQ(surface.pixel32(x, 3), 0xFF090807u);
        EXPECT_EQ(surface.pixel32(x, 4), before.pixel32(x, 4));
    }
}

TEST(TAgg2DLine, ExtremeWidthsNeitherHangNorCrash)
{
    Bitmap surface = noiseSurface(16, 16, 10);
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    hardEdgedPen(agg);
    agg.LineColor(1, 2, 3, 200);
    for (double w : {0.0, -3.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
        const Bitmap before = surface;
        agg.LineWidth(w);
        agg.Line(8, 0, 8, 16);
        const bool drawn = surface.pixel32(0, 0) != before.pixel32(0, 0);
        EXPECT_EQ(drawn, w > 0) << "width " << w;
    }
}

struct BoxCase {
    int x1, y1, x2, y2;
};

// The selection box: the fill pass whitens [left, right) x [top, bottom) at
// alpha 10, the outline then darkens one pixel more on each side and the whole
// inside at alpha 150.
class TAgg2DBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(TAgg2DBox, FillThenOutlineDarkensTheWholeBoxOnePixelLarger)
{
    constexpr int W = 14;
    constexpr int H = 11;
    const BoxCase c = GetParam();
    Bitmap surface = noiseSurface(W, H, 11);
    const Bitmap before = surface;
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    agg.AntiAliasGamma(0.0);
    agg.LineWidth(1.0);
    agg.LineColor(0, 0, 0, 150);
    agg.FillColor(255, 255, 255, 10);
    agg.Rectangle(c.x1, c.y1, c.x2, c.y2);
    const int left = std::min(c.x1, c.x2);
    const int right = std::max(c.x1, c.x2);
    const int top = std::min(c.y1, c.y2);
    const int bottom = std::max(c.y1, c.y2);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const Bgra p = at(before, x, y);
            const bool inside = x >= left && x < right && y >= top && y < bottom;
            const bool ring = x >= left - 1 && x <= right && y >= top - 1 && y <= bottom;
            Bgra want = p;
            if (inside) {
                want = blendOnce(want, 255, 255, 255, 10);
                ASSERT_EQ(want.r, (p.r * 246 + 2550) >> 8);
            }
            if (ring) {
                const int before1 = want.g;
                want = blendOnce(want, 0, 0, 0, 150);
                ASSERT_EQ(want.g, (before1 * 106) >> 8);
            }
            expectPixel(surface, x, y, want);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corners, TAgg2DBox,
                         ::testing::Values(BoxCase{3, 2, 9, 7}, BoxCase{9, 7, 3, 2}, BoxCase{9, 2, 3, 7},
                                           BoxCase{4, 4, 5, 5}, BoxCase{-5, -3, 6, 5}, BoxCase{8, 6, 30, 40},
                                           BoxCase{-100, -100, 100, 100}, BoxCase{0, 0, 14, 11},
                                           BoxCase{1, 1, 13, 10}));

// One round of the random rule tests: a noise surface of random size on
// either pixel format, drawn on whole or, on odd rounds, through two clip
// boxes that split it.
struct RandomRound {
    RandomRound(std::mt19937& rng, int round)
        : w(1 + int(rng() % 30)), h(1 + int(rng() % 20)), bpp(round % 3 == 0 ? 24 : 32),
          surface(noiseSurface(w, h, rng(), bpp)), before(surface), clipped(round % 2 != 0)
    {
        const int cut = int(rng() % (h + 1));
        boxes = {{0, 0, w, cut}, {int(rng() % (w + 1)), cut, w, h}};
    }
    bool attach(TAgg2D& agg)
    {
        if (!agg.Attach(&surface, false))
            return false;
        if (clipped)
            agg.ClipBoxes(boxes);
        return true;
    }
    // Whether drawing reaches the pixel.
    bool reaches(int x, int y) const
    {
        return !clipped || std::any_of(boxes.begin(), boxes.end(), [&](const PixelRect& r) {
                   return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2;
               });
    }
    bool holds(int x, int y, Bgra want) const
    {
        const Bgra got = at(surface, x, y);
        return got.b == want.b && got.g == want.g && got.r == want.r && (bpp == 24 || got.a == want.a);
    }

    int w, h, bpp;
    Bitmap surface;
    Bitmap before;
    bool clipped;
    std::vector<PixelRect> boxes;
};

// The same rule for boxes of every size and place, corners off the surface
// included, through clip boxes and on both pixel formats: the box the overlay
// draws on every move, whose pixels must not depend on how it is drawn.
TEST(TAgg2DBox, RandomBoxesFollowTheRuleOnBothFormatsThroughClipBoxes)
{
    std::mt19937 rng(21);
    for (int round = 0; round < 300; ++round) {
        RandomRound r(rng, round);
        auto coord = [&](int limit) { return int(rng() % (limit + 6)) - 3; };
        int x1 = coord(r.w), y1 = coord(r.h), x2 = coord(r.w), y2 = coord(r.h);
        if (x1 == x2)
            ++x2;
        if (y1 == y2)
            ++y2;
        TAgg2D agg;
        ASSERT_TRUE(r.attach(agg));
        agg.AntiAliasGamma(0.0);
        agg.LineWidth(1.0);
        agg.LineColor(0, 0, 0, 150);
        agg.FillColor(255, 255, 255, 10);
        agg.Rectangle(x1, y1, x2, y2);
        const int left = std::min(x1, x2), right = std::max(x1, x2);
        const int top = std::min(y1, y2), bottom = std::max(y1, y2);
        for (int y = 0; y < r.h; ++y) {
            for (int x = 0; x < r.w; ++x) {
                Bgra want = at(r.before, x, y);
                if (r.reaches(x, y) && x >= left && x < right && y >= top && y < bottom)
                    want = blendOnce(want, 255, 255, 255, 10);
                if (r.reaches(x, y) && x >= left - 1 && x <= right && y >= top - 1 && y <= bottom)
                    want = blendOnce(want, 0, 0, 0, 150);
                ASSERT_TRUE(r.holds(x, y, want)) << "round " << round << ", box " << x1 << "," << y1 << " " << x2
                                                 << "," << y2 << ", pixel " << x << "," << y;
            }
        }
    }
}

// A box's fill over rows wide enough for every width of the blend's loops
// (eight, four and one pixel at a time), in any colour and opacity: each
// pixel inside gets the same integer source-over.
TEST(TAgg2DBox, WideFillsOfAnyColourFollowTheRule)
{
    std::mt19937 rng(45);
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + int(rng() % 300), h = 1 + int(rng() % 4);
        Bitmap surface = noiseSurface(w, h, rng());
        const Bitmap before = surface;
        const int r = int(rng() % 256), g = int(rng() % 256), b = int(rng() % 256), alpha = 1 + int(rng() % 254);
        const int x1 = int(rng() % w), x2 = x1 + 1 + int(rng() % (w - x1));
        TAgg2D agg;
        ASSERT_TRUE(agg.Attach(&surface, false));
        agg.AntiAliasGamma(0.0);
        agg.LineWidth(1.0);
        agg.LineColor(0, 0, 0, 0);
        agg.FillColor(r, g, b, alpha);
        agg.Rectangle(x1, 0, x2, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Bgra p = at(before, x, y);
                const Bgra want = x >= x1 && x < x2 ? blendOnce(p, r, g, b, alpha) : p;
                const Bgra got = at(surface, x, y);
                ASSERT_TRUE(got.b == want.b && got.g == want.g && got.r == want.r && got.a == want.a)
                    << "round " << round << ", fill " << x1 << ".." << x2 << " alpha " << alpha << ", pixel " << x << ","
                    << y;
            }
        }
    }
}

// Guide lines across the whole surface at every place, just off it
// included, through clip boxes and on both pixel formats: each covers the two
// columns (or rows) beside its coordinate inside the clip boxes, once.
TEST(TAgg2DLine, RandomGuideLinesFollowTheRuleOnBothFormatsThroughClipBoxes)
{
    std::mt19937 rng(33);
    for (int round = 0; round < 300; ++round) {
        RandomRound r(rng, round);
        const bool vertical = round % 4 < 2;
        const int pos = int(rng() % ((vertical ? r.w : r.h) + 4)) - 2;
        TAgg2D agg;
        ASSERT_TRUE(r.attach(agg));
        hardEdgedPen(agg);
        agg.LineColor(0, 0, 255, 120);
        if (vertical)
            agg.Line(pos, round % 8 < 4 ? 0 : r.h + 3, pos, round % 8 < 4 ? r.h : -2);
        else
            agg.Line(0, pos, r.w, pos);
        for (int y = 0; y < r.h; ++y) {
            for (int x = 0; x < r.w; ++x) {
                const int c = vertical ? x : y;
                const Bgra want = r.reaches(x, y) && (c == pos - 1 || c == pos)
                                      ? blendOnce(at(r.before, x, y), 0, 0, 255, 120)
                                      : at(r.before, x, y);
                ASSERT_TRUE(r.holds(x, y, want))
                    << "round " << round << " bpp " << r.bpp << " line at " << pos << (vertical ? " x" : " y")
                    << ", pixel " << x << "," << y;
            }
        }
    }
}

TEST(TAgg2DBoxDegenerate, ZeroWidthIsASegmentWithRoundEndsAndAPointDrawsNothing)
{
    struct Case {
        BoxCase box;
        int cx1, cy1, cx2, cy2; // darkened pixels, inclusive; cx1 > cx2 for none
    };
    const Case cases[] = {
        {{5, 2, 5, 8}, 4, 1, 5, 8}, {{5, 8, 5, 2}, 4, 1, 5, 8}, {{2, 6, 9, 6}, 1, 5, 9, 6},
        {{6, 4, 6, 4}, 1, 0, 0, 0}, {{0, 3, 0, 7}, 0, 2, 0, 7},
    };
    for (const Case& c : cases) {
        Bitmap surface = noiseSurface(12, 10, 12);
        const Bitmap before = surface;
        TAgg2D agg;
        ASSERT_TRUE(agg.Attach(&surface, false));
        agg.AntiAliasGamma(0.0);
        agg.LineColor(0, 0, 0, 150);
        agg.FillColor(255, 255, 255, 10);
        agg.Rectangle(c.box.x1, c.box.y1, c.box.x2, c.box.y2);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                const bool dark = x >= c.cx1 && x <= c.cx2 && y >= c.cy1 && y <= c.cy2;
                const Bgra p = at(before, x, y);
                expectPixel(surface, x, y, dark ? blendOnce(p, 0, 0, 0, 150) : p);
            }
        }
    }
}

TEST(TAgg2DBoxHuge, CoordinatesFarOutsideCoverTheSurfaceAsInside)
{
    Bitmap surface = noiseSurface(8, 8, 13);
    const Bitmap before = surface;
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    agg.AntiAliasGamma(0.0);
    agg.LineColor(0, 0, 0, 150);
    agg.FillColor(255, 255, 255, 10);
    agg.Rectangle(-1e308, -1e308, 1e308, 1e308);
    agg.Rectangle(std::nan(""), 0, 4, 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            expectPixel(surface, x, y, blendOnce(blendOnce(at(before, x, y), 255, 255, 255, 10), 0, 0, 0, 150));
}

// Drawing through clip boxes must give each pixel inside them exactly the
// value of an unclipped drawing and leave everything else alone.
TEST(TAgg2DClip, ClippedDrawingEqualsFullDrawingInsideTheBoxes)
{
    std::mt19937 rng(14);
    for (int round = 0; round < 200; ++round) {
        const int w = 1 + int(rng() % 40);
        const int h = 1 + int(rng() % 30);
        const Bitmap start = noiseSurface(w, h, rng());
        std::vector<PixelRect> boxes;
        const int n = 1 + int(rng() % 3);
        for (int i = 0; i < n; ++i) {
            // Disjoint by construction: one horizontal band each.
            const int y1 = h * i / n;
            const int y2 = h * (i + 1) / n;
            const int x1 = int(rng() % (w + 1));
            const int x2 = x1 + int(rng() % (w + 1 - x1));
            boxes.push_back({x1, y1, x2, y2});
        }
        auto coord = [&](int limit) { return double(int(rng() % (limit + 8)) - 4); };
        const double a = coord(w), b = coord(h), c = coord(w), d = coord(h);
        const double g = (rng() % 2) ? 0.0 : 1.0;
        auto draw = [&](TAgg2D& agg) {
            agg.AntiAliasGamma(g);
            agg.LineColor(200, 100, 50, 120);
            agg.FillColor(10, 20, 30, 90);
            agg.Line(a, b, c, d);
            // Axis-parallel lines, as the overlay draws them, are cut to
            // each box before they are rasterized.
            agg.Line(a, b, a, d);
            agg.Line(a, b, c, b);
            agg.Rectangle(c, b, a, d);
        };
        Bitmap full = start;
        Bitmap clipped = start;
        TAgg2D fullAgg;
        TAgg2D clipAgg;
        ASSERT_TRUE(fullAgg.Attach(&full, false));
        ASSERT_TRUE(clipAgg.Attach(&clipped, false));
        clipAgg.ClipBoxes(boxes);
        draw(fullAgg);
        draw(clipAgg);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                bool in = false;
                for (const PixelRect& r : boxes)
                    in = in || (x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2);
                ASSERT_EQ(clipped.pixel32(x, y), in ? full.pixel32(x, y) : start.pixel32(x, y))
                    << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

// Hostile input from fuzzing: nothing may crash or hang, and the layer must
// still draw correctly afterwards.
TEST(TAgg2DRobustness, HostileCoordinatesAndWidthsLeaveTheLayerWorking)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::nan(""), inf,           -inf,  1e308, -1e308, 1e300, -1e300, 1e9,  -1e9,
                             2147483648.0, -2147483649.0, 8.4e6, -0.5,  0.0,    3.0,   17.25,  31.0, 32.0};
    std::mt19937 rng(15);
    Bitmap surface = noiseSurface(32, 24, 16);
    TAgg2D agg;
    ASSERT_TRUE(agg.Attach(&surface, false));
    auto pick = [&] { return values[rng() % std::size(values)]; };
    for (int i = 0; i < 3000; ++i) {
        switch (rng() % 5) {
        case 0:
            agg.LineWidth(pick());
            break;
        case 1:
            agg.AntiAliasGamma(pick());
            break;
        case 2:
            agg.Line(pick(), pick(), pick(), pick());
            break;
        case 3:
            agg.Rectangle(pick(), pick(), pick(), pick());
            break;
        default:
            agg.CopyImage(&surface, pick(), pick());
            break;
        }
    }
    ASSERT_TRUE(agg.Attach(&surface, false));
    const Bitmap before = surface;
    hardEdgedPen(agg);
    agg.LineColor(0, 255, 0, 120);
    agg.Line(10, 0, 10, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            expectPixel(surface, x, y,
                        (x == 9 || x == 10) ? blendOnce(at(before, x, y), 0, 255, 0, 120) : at(before, x, y));
}

} // namespace
} // namespace vornik
