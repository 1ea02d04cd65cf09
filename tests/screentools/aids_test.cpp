// The point moved by keys, the echoes of pointer moves the program makes,
// and the loupe's picture and placement.
#include "screentools/loupe.h"
#include "screentools/pointstep.h"

#include <gtest/gtest.h>

namespace vornik {
namespace {

TEST(PointStep, OnePixelOrTenAndNeverOutsideTheCapture)
{
    struct Case {
        PixelPoint from;
        int dx, dy;
        bool coarse;
        PixelPoint want;
    } const cases[] = {
        {{50, 40}, 1, 0, false, {51, 40}},    {{50, 40}, -1, 0, false, {49, 40}},
        {{50, 40}, 0, 1, false, {50, 41}},    {{50, 40}, 0, -1, true, {50, 30}},
        {{50, 40}, 1, 0, true, {60, 40}},     {{0, 0}, -1, -1, false, {0, 0}},
        {{5, 3}, -1, -1, true, {0, 0}},       {{99, 79}, 1, 1, false, {99, 79}},
        {{95, 75}, 1, 1, true, {99, 79}},     {{-30, 500}, 1, 0, false, {0, 79}},
        {{2147483647, 10}, 1, 0, true, {99, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(steppedPoint(c.from, c.dx, c.dy, c.coarse, 100, 80), c.want)
            << c.from.x << "," << c.from.y << " by " << c.dx << "," << c.dy << (c.coarse ? " x10" : "");
    EXPECT_EQ(steppedPoint({7, 8}, 1, 0, false, 0, 0), (PixelPoint{7, 8})) << "no capture, no move";
}

TEST(PointerEchoes, EchoesAreDroppedOnceAndTheUsersMovesForgetThem)
{
    using namespace std::chrono_literals;
    const auto t0 = PointerEchoes::Clock::time_point{} + 1h;
    PointerEchoes echoes(1s);
    // Three key presses before the first echo comes back.
    echoes.sent({1, 0}, t0);
    echoes.sent({2, 0}, t0);
    echoes.sent({3, 0}, t0);
    EXPECT_TRUE(echoes.isEcho({1, 0}, t0 + 5ms));
    EXPECT_TRUE(echoes.isEcho({3, 0}, t0 + 6ms)) << "the window system may merge the echoes of 2 and 3";
    EXPECT_TRUE(echoes.empty());
    EXPECT_FALSE(echoes.isEcho({2, 0}, t0 + 7ms)) << "a note answered by a later echo is gone";

    echoes.sent({5, 5}, t0);
    EXPECT_FALSE(echoes.isEcho({9, 9}, t0 + 1ms)) << "the user's own move";
    EXPECT_FALSE(echoes.isEcho({5, 5}, t0 + 2ms)) << "forgotten by the user's move";

    echoes.sent({6, 6}, t0);
    EXPECT_FALSE(echoes.isEcho({6, 6}, t0 + 2s)) << "too late to be an echo";
}

// A capture whose every pixel is distinct, with a fourth byte that is not 255.
Bitmap distinctCapture(int w, int h)
{
    Bitmap b(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel32(x, y, 0x40000000u | std::uint32_t(x * 3) << 16 | std::uint32_t(y * 5) << 8 | std::uint32_t(x + y));
    return b;
}

// What the loupe must show at its pixel (X, Y), worked out pixel by pixel.
std::uint32_t expectedLoupePixel(const Bitmap& capture, PixelPoint p, const LoupeShape& s, int X, int Y)
{
    const int side = s.side();
    if (X < s.border || Y < s.border || X >= side - s.border || Y >= side - s.border)
        return kLoupeBorder;
    const PixelRect c = s.centreCell();
    const int ring = std::max({c.x1 - X, X - (c.x2 - 1), c.y1 - Y, Y - (c.y2 - 1)});
    if (ring == 1)
        return kLoupeCentreInner;
    if (ring == 2)
        return kLoupeCentreOuter;
    const int sx = p.x - s.cells / 2 + (X - s.border) / s.factor;
    const int sy = p.y - s.cells / 2 + (Y - s.border) / s.factor;
    if (sx < 0 || sy < 0 || sx >= capture.width() || sy >= capture.height())
        return loupeOutsideColour(X, Y);
    return capture.pixel32(sx, sy);
}

TEST(Loupe, ShowsTheEnlargedCaptureWithStripesBeyondItsEdges)
{
    const Bitmap capture = distinctCapture(40, 30);
    const LoupeShape shapes[] = {{15, 8, 1}, {15, 16, 1}, {5, 3, 2}};
    const PixelPoint points[] = {{20, 15}, {0, 0}, {39, 29}, {39, 0}, {3, 28}, {-2, 31}, {-30, -30}};
    Bitmap out;
    for (const LoupeShape& s : shapes)
        for (const PixelPoint p : points) {
            fillLoupe(out, capture, p, s);
            ASSERT_EQ(out.width(), s.side());
            ASSERT_EQ(out.height(), s.side());
            for (int Y = 0; Y < s.side(); ++Y)
                for (int X = 0; X < s.side(); ++X)
                    ASSERT_EQ(out.pixel32(X, Y), expectedLoupePixel(capture, p, s, X, Y))
                        << "point " << p.x << "," << p.y << " factor " << s.factor << " at " << X << "," << Y;
            // The centre cell shows the point's own pixel, whole.
            const PixelRect c = s.centreCell();
            if (p.x >= 0 && p.y >= 0 && p.x < 40 && p.y < 30) {
                for (int Y = c.y1; Y < c.y2; ++Y)
                    for (int X = c.x1; X < c.x2; ++X)
                        ASSERT_EQ(out.pixel32(X, Y), capture.pixel32(p.x, p.y));
            }
        }
}

TEST(Loupe, StripesAreNotAPlainColourAndOtherFormatsShowOnlyStripes)
{
    EXPECT_NE(loupeOutsideColour(0, 0), loupeOutsideColour(4, 0));
    EXPECT_NE(loupeOutsideColour(0, 0), loupeOutsideColour(0, 4));
    const LoupeShape s{5, 4, 1};
    Bitmap capture24(10, 10, 24);
    Bitmap out;
    fillLoupe(out, capture24, {5, 5}, s);
    EXPECT_EQ(out.pixel32(1, 1), loupeOutsideColour(1, 1));
    EXPECT_EQ(out.pixel32(s.centreCell().x1, s.centreCell().y1), loupeOutsideColour(s.centreCell().x1, s.centreCell().y1));
}

TEST(LoupePlacement, DiagonallyBesideThePointAwayFromThePointerAndTheScreenEdges)
{
    const int W = 1000, H = 800, w = 130, h = 150, gap = 24;
    struct Case {
        PixelPoint point, pointer;
        std::optional<PixelPoint> want;
    } const cases[] = {
        {{500, 400}, {500, 400}, PixelPoint{525, 425}},  // right and below
        {{500, 400}, {520, 410}, PixelPoint{346, 226}},  // pointer right and below: left and above
        {{500, 400}, {480, 410}, PixelPoint{525, 226}},  // pointer left and below: right and above
        {{900, 400}, {900, 400}, PixelPoint{746, 425}},  // no room on the right
        {{500, 700}, {500, 700}, PixelPoint{525, 526}},  // no room below
        {{100, 100}, {150, 150}, PixelPoint{125, 125}},  // no room left or above, so towards the pointer
        {{845, 400}, {845, 400}, PixelPoint{870, 425}},  // just fits on the right
        {{846, 400}, {846, 400}, PixelPoint{692, 425}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(placeLoupe(c.point, c.pointer, w, h, W, H, gap), c.want) << c.point.x << "," << c.point.y;

    // Room beside the point on one axis only: centred on the other.
    EXPECT_EQ(placeLoupe({10, 100}, {10, 100}, 130, 150, 1000, 200, 24), (PixelPoint{35, 25}));
    EXPECT_EQ(placeLoupe({100, 100}, {100, 100}, 130, 150, 200, 600, 24), (PixelPoint{35, 125}));
    // Nowhere to go without covering the point's pixel.
    EXPECT_EQ(placeLoupe({100, 100}, {100, 100}, 130, 150, 200, 200, 24), std::nullopt);
}

TEST(LoupePlacement, NeverCoversThePointAndStaysOnTheScreen)
{
    for (const int W : {200, 300, 641}) {
        const int H = 240;
        for (int y = -10; y < H + 10; y += 7)
            for (int x = -10; x < W + 10; x += 5)
                for (const PixelPoint pointer : {PixelPoint{x, y}, PixelPoint{x + 9, y - 9}}) {
                    const auto at = placeLoupe({x, y}, pointer, 122, 140, W, H, 16);
                    if (!at)
                        continue;
                    ASSERT_GE(at->x, 0);
                    ASSERT_GE(at->y, 0);
                    ASSERT_LE(at->x + 122, W);
                    ASSERT_LE(at->y + 140, H);
                    const bool covers = x >= at->x && x < at->x + 122 && y >= at->y && y < at->y + 140;
                    ASSERT_FALSE(covers) << "point " << x << "," << y << " on a screen " << W << " wide";
                }
        // On a screen with room beside every point the loupe always shows.
        if (W < 122 * 2 + 2 * 16 + 1)
            continue;
        for (int x = 0; x < W; x += 3)
            ASSERT_TRUE(placeLoupe({x, 100}, {x, 100}, 122, 140, W, 2 * 140 + 2 * 16 + 1, 16)) << x;
    }
}

} // namespace
} // namespace vornik
