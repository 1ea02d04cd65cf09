#include "screentools/overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>

namespace vornik {
namespace {

Bitmap noiseCapture(int w, int h, unsigned noiseState)
{
    Bitmap b(w, h, 32);
    std::mt19937 rng(noiseState);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel32(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
    return b;
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    return a.sizeInBytes() == b.sizeInBytes() && std::memcmp(a.bits(), b.bits(), a.sizeInBytes()) == 0;
}

int blend(int p, int c, int alpha)
{
    return ((c - p) * alpha + p * 256) >> 8;
}

TEST(DrawFull, CrosshairAtTheOriginCoversOnlyColumnAndRowZero)
{
    const Bitmap capture = noiseCapture(20, 15, 1);
    Bitmap picture = capture;
    TAgg2D agg;
    ASSERT_TRUE(drawFull(agg, picture, capture, {0, 0, -1, 0, 0, 0}));
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int hits = (x == 0) + (y == 0);
            int g = (capture.pixel32(x, y) >> 8) & 0xFF;
            int r = (capture.pixel32(x, y) >> 16) & 0xFF;
            for (int i = 0; i < hits; ++i) {
                g = blend(g, 255, 120);
                r = blend(r, 0, 120);
            }
            ASSERT_EQ((picture.pixel32(x, y) >> 8) & 0xFF, std::uint32_t(g)) << x << "," << y;
            ASSERT_EQ((picture.pixel32(x, y) >> 16) & 0xFF, std::uint32_t(r)) << x << "," << y;
        }
    }
}

TEST(DrawFull, SelectionDrawsGuidesThenTheBoxAndLeavesTheCaptureAlone)
{
    const Bitmap capture = noiseCapture(30, 20, 2);
    const Bitmap untouched = capture;
    Bitmap picture(30, 20, 32);
    TAgg2D agg;
    const OverlayState s{25, 18, 20, 12, 6, 4}; // dragged up and to the left
    ASSERT_TRUE(drawFull(agg, picture, capture, s));
    EXPECT_TRUE(samePixels(capture, untouched));
    auto green = [](const Bitmap& b, int x, int y) { return int((b.pixel32(x, y) >> 8) & 0xFF); };
    auto blue = [](const Bitmap& b, int x, int y) { return int(b.pixel32(x, y) & 0xFF); };
    // Red guide through x = 20 far from the box: only its red channel rises.
    EXPECT_EQ(green(picture, 19, 1), blend(green(capture, 19, 1), 0, 120));
    // Blue guide through y = 4 far right of the box.
    EXPECT_EQ(blue(picture, 27, 3), blend(blue(capture, 27, 3), 255, 120));
    // Inside the box, away from the guides: fill then outline.
    const int p = green(capture, 12, 8);
    EXPECT_EQ(green(picture, 12, 8), (((p * 246 + 2550) >> 8) * 106) >> 8);
    // The pointer position draws no crosshair while a selection exists.
    EXPECT_EQ(picture.pixel32(25, 18), capture.pixel32(25, 18));
}

// The ruler over a flat picture: its lines, ticks and figures are opaque,
// pixel-exact rectangles drawn over the crosshair.
TEST(DrawFull, TheRulerPaintsItsLinesTicksAndFiguresOverTheCrosshair)
{
    Bitmap capture(80, 60, 32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            capture.setPixel32(x, y, 0xFF204080u);
    Bitmap picture = capture;
    TAgg2D agg;
    OverlayState s{40, 30, -1, 0, 0, 0};
    s.ruler = true;
    s.spans = {10, 5, 69, 54};
    s.rulerScale = 2;
    ASSERT_TRUE(drawFull(agg, picture, capture, s));
    const std::uint32_t magenta = 0xFFFF00FFu;
    const std::uint32_t green = 0xFF119944u; // the crosshair's blend over the background
    const RulerLines lines = rulerLines(s.spans, {40, 30}, 1);
    const auto figures = rulerFigures(s.spans, {40, 30}, 2, 80, 60);
    auto inside = [](const PixelRect& r, int x, int y) { return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2; };
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 80; ++x) {
            const std::uint32_t got = picture.pixel32(x, y) | 0xFF000000u;
            bool onFigure = false;
            for (const RulerFigure& f : figures)
                onFigure = onFigure || inside(f.plate, x, y);
            if (onFigure)
                continue;
            bool onLine = inside(lines.across, x, y) || inside(lines.upDown, x, y);
            for (const PixelRect& t : lines.ticks)
                onLine = onLine || inside(t, x, y);
            const bool onCrosshair = x == 39 || x == 40 || y == 29 || y == 30;
            const bool crossing = x >= 39 && x <= 40 && y >= 29 && y <= 30;
            if (onLine) {
                ASSERT_EQ(got, magenta) << x << "," << y;
            } else if (onCrosshair && !crossing) {
                ASSERT_EQ(got, green) << x << "," << y;
            } else if (!onCrosshair) {
                ASSERT_EQ(got, 0xFF204080u) << x << "," << y;
            }
        }
    }
    // The run along the row is the span: from its left edge to its right one.
    EXPECT_EQ(picture.pixel32(10, 30) | 0xFF000000u, magenta);
    EXPECT_EQ(picture.pixel32(69, 30) | 0xFF000000u, magenta);
    EXPECT_NE(picture.pixel32(9, 30) | 0xFF000000u, magenta);
    EXPECT_NE(picture.pixel32(70, 30) | 0xFF000000u, magenta);
    // Each figure: white cells on a dark plate, the arm's length in digits.
    const int lengths[] = {30, 29, 25, 24};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(figures[i].value, lengths[i]);
        const PixelRect& plate = figures[i].plate;
        const auto cells = figureCells(lengths[i], plate.x1, plate.y1, 2);
        int white = 0;
        for (int y = plate.y1; y < plate.y2; ++y)
            for (int x = plate.x1; x < plate.x2; ++x) {
                const bool lit = std::any_of(cells.begin(), cells.end(), [&](const PixelRect& c) { return inside(c, x, y); });
                const std::uint32_t got = picture.pixel32(x, y) | 0xFF000000u;
                if (lit) {
                    ASSERT_EQ(got, 0xFFFFFFFFu) << x << "," << y;
                    ++white;
                } else {
                    // Darkened at alpha 170: far below the background in every channel.
                    ASSERT_LT((got >> 16) & 0xFF, 0x20u) << x << "," << y;
                    ASSERT_LT(got & 0xFF, 0x80u / 2) << x << "," << y;
                }
            }
        EXPECT_GT(white, 0);
    }
}

TEST(DrawFull, MissingPictureDrawsNothingAndABadCaptureLeavesWhite)
{
    TAgg2D agg;
    Bitmap none;
    const Bitmap capture = noiseCapture(8, 8, 3);
    EXPECT_FALSE(drawFull(agg, none, capture, {}));
    Bitmap picture = noiseCapture(8, 8, 4);
    const Bitmap capture24(8, 8, 24);
    ASSERT_TRUE(drawFull(agg, picture, capture24, {7, 7, -1, 0, 0, 0}));
    EXPECT_EQ(picture.pixel32(2, 2), 0xFFFFFFFFu);
}

struct Walk {
    int width;
    int height;
    unsigned noiseState;
};

class IncrementalDrawing : public ::testing::TestWithParam<Walk> {};

// A random walk of pointer moves, presses, drags, releases and reopenings,
// with the spacing ruler switched on and off and its tolerance changed
// beside them; after every step the incremental picture must equal the full
// redraw, and every pixel it changed must lie inside the rectangles it
// reported.
TEST_P(IncrementalDrawing, EqualsFullRedrawAfterEveryStep)
{
    const Walk walk = GetParam();
    const int W = walk.width;
    const int H = walk.height;
    const Bitmap capture = noiseCapture(W, H, walk.noiseState);
    Bitmap full = capture;
    Bitmap incremental = capture;
    TAgg2D fullAgg;
    TAgg2D agg;
    OverlayRenderer renderer;
    renderer.reset(true);
    std::mt19937 rng(walk.noiseState * 7 + 1);
    std::mt19937 rulerRng(walk.noiseState * 13 + 5);
    bool ruler = false;
    int tolerance = 8;
    OverlayState s;
    bool selecting = false;
    int x = W / 2;
    int y = H / 2;
    long long reportedArea = 0;
    for (int step = 0; step < 600; ++step) {
        const unsigned roll = rng() % 100;
        if (roll < 4) {
            // The tool window opens again over the same capture.
            s.selx1 = -1;
            selecting = false;
            ruler = false;
            full = capture;
            incremental = capture;
            renderer.reset(true);
            continue;
        }
        if (roll < 10) {
            s.selx1 = x;
            s.sely1 = y;
            selecting = true;
            continue;
        }
        if (roll < 15) {
            selecting = false;
            continue;
        }
        if (roll < 20) {
            const int extremes[] = {INT_MIN, -1000, -3, -2, -1, 0, 1, W - 1, W, W + 1, W + 2, 5000, INT_MAX};
            x = extremes[rng() % std::size(extremes)];
            y = extremes[rng() % std::size(extremes)];
        } else if (roll < 30) {
            x = int(rng() % unsigned(W + 10)) - 5;
            y = int(rng() % unsigned(H + 10)) - 5;
        } else {
            const int dx = int(rng() % 7) - 3;
            const int dy = int(rng() % 7) - 3;
            x = int(std::clamp<long long>(static_cast<long long>(x) + dx, INT_MIN, INT_MAX));
            y = int(std::clamp<long long>(static_cast<long long>(y) + dy, INT_MIN, INT_MAX));
            if (rng() % 8 == 0 && s.selx1 != -1) {
                // A zero-width or zero-height selection.
                if (rng() % 2)
                    x = s.selx1;
                else
                    y = s.sely1;
            }
        }
        if (selecting) {
            s.selx2 = x;
            s.sely2 = y;
        }
        s.mousex = x;
        s.mousey = y;
        if (rulerRng() % 20 == 0)
            ruler = !ruler;
        if (rulerRng() % 10 == 0) {
            // On noise, 0 gives arms of a pixel or two, 255 arms to the
            // screen's edges, the others anything between.
            const int tolerances[] = {0, 100, 160, 255};
            tolerance = tolerances[rulerRng() % std::size(tolerances)];
        }
        const auto spans = ruler ? measureSpacing(capture, {x, y}, tolerance) : std::nullopt;
        s.ruler = spans.has_value();
        s.spans = spans.value_or(SpacingSpans{});
        s.rulerScale = rulerRng() % 8 == 0 ? 4 : 2;

        const Bitmap before = incremental;
        ASSERT_TRUE(drawFull(fullAgg, full, capture, s));
        const std::vector<PixelRect> rects = renderer.draw(agg, incremental, capture, s);
        ASSERT_TRUE(samePixels(full, incremental))
            << "step " << step << " state " << s.mousex << "," << s.mousey << " sel " << s.selx1 << "," << s.sely1
            << " " << s.selx2 << "," << s.sely2 << (s.ruler ? " ruler" : "");
        for (std::size_t i = 0; i < rects.size(); ++i) {
            reportedArea += rects[i].area();
            ASSERT_GE(rects[i].x1, 0);
            ASSERT_GE(rects[i].y1, 0);
            ASSERT_LE(rects[i].x2, W);
            ASSERT_LE(rects[i].y2, H);
            for (std::size_t j = i + 1; j < rects.size(); ++j)
                ASSERT_FALSE(rects[i].x1 < rects[j].x2 && rects[j].x1 < rects[i].x2 && rects[i].y1 < rects[j].y2 &&
                             rects[j].y1 < rects[i].y2)
                    << "overlapping rects";
        }
        for (int py = 0; py < H; ++py) {
            for (int px = 0; px < W; ++px) {
                if (before.pixel32(px, py) == incremental.pixel32(px, py))
                    continue;
                const bool reported = std::any_of(rects.begin(), rects.end(), [&](const PixelRect& r) {
                    return px >= r.x1 && px < r.x2 && py >= r.y1 && py < r.y2;
                });
                ASSERT_TRUE(reported) << "unreported change at " << px << "," << py << " step " << step;
            }
        }
    }
    EXPECT_GT(reportedArea, 0);
}

INSTANTIATE_TEST_SUITE_P(Surfaces, IncrementalDrawing,
                         ::testing::Values(Walk{1, 1, 1}, Walk{2, 3, 2}, Walk{7, 5, 3}, Walk{40, 30, 4},
                                           Walk{64, 48, 5}, Walk{160, 90, 6}, Walk{97, 131, 7}));

// The work of a frame is counted in pixels, both as reported and as really
// written: before each frame the picture is wiped to a value that no write
// leaves behind (a fourth byte of 0, where copies from the capture bring 0xFF
// and every blend raises it), so each pixel that differs afterwards was
// touched. The renderer keeps its idea of the previous frame, which is all it
// draws from. Each shape's strip is four pixels wide (two on either side of
// its line), so the bounds are sums of such strips and of the box's area.
TEST(IncrementalDrawingCost, SmallMovesRewriteOnlyStripsAroundTheShapes)
{
    const long long W = 1920;
    const long long H = 1080;
    const Bitmap capture = noiseCapture(int(W), int(H), 9);
    Bitmap picture = capture;
    TAgg2D agg;
    OverlayRenderer renderer;
    renderer.reset(true);
    struct Step {
        OverlayState state;
        long long maxPixels;
    };
    const Step steps[] = {
        // The first frame over the plain capture draws the crosshair's two
        // strips and nothing else.
        {{500, 400, -1, 0, 0, 0}, 4 * W + 4 * H},
        // Moving it by one pixel rewrites the old and new vertical strips,
        // which overlap in all but one column.
        {{501, 400, -1, 0, 0, 0}, 5 * H},
        {{501, 400, -1, 0, 0, 0}, 0},
        // Pressing and the first move of a drag: two guides each way and the
        // small box, 14 x 14 pixels with its strip.
        {{510, 410, 501, 400, 510, 410}, 8 * W + 8 * H + 14 * 14},
        // Growing the box to 999 x 500 darkens its whole area once; the moved
        // guides leave and take a strip each.
        {{1500, 900, 501, 400, 1500, 900}, (999 + 4) * (500 + 4) + 8 * W + 8 * H},
        // Growing a large box by one pixel to the right rewrites only the
        // moved guide's strip: the box's right side and the moved ends of its
        // top and bottom lie in it; its left side, which stays, is not
        // touched.
        {{1501, 900, 501, 400, 1501, 900}, 5 * H},
        // Growing it by one pixel both ways: both guides' strips.
        {{1502, 901, 501, 400, 1502, 901}, 5 * H + 5 * W},
        // Moving the start corner instead (a new press): all four guides and
        // every side move, the whole box is drawn again.
        {{1502, 901, 700, 500, 1502, 901}, (1500 - 700 + 4) * (901 - 500 + 4) + 8 * W + 8 * H},
    };
    for (const Step& s : steps) {
        std::memset(picture.bits(), 0, picture.sizeInBytes());
        const std::vector<PixelRect> rects = renderer.draw(agg, picture, capture, s.state);
        long long reported = 0;
        for (const PixelRect& r : rects)
            reported += r.area();
        long long touched = 0;
        for (int y = 0; y < int(H); ++y) {
            for (int x = 0; x < int(W); ++x) {
                if (picture.pixel32(x, y) == 0)
                    continue;
                ++touched;
                const bool inside = std::any_of(rects.begin(), rects.end(), [&](const PixelRect& r) {
                    return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2;
                });
                ASSERT_TRUE(inside) << "touched outside the reported rectangles at " << x << "," << y;
            }
        }
        EXPECT_LE(reported, s.maxPixels) << "move to " << s.state.mousex << "," << s.state.mousey;
        EXPECT_LE(touched, s.maxPixels) << "move to " << s.state.mousex << "," << s.state.mousey;
        EXPECT_GE(touched, s.maxPixels / 2) << "move to " << s.state.mousex << "," << s.state.mousey;
    }
}

TEST(IncrementalDrawing, AnUnattachablePictureReportsNothingAndAReplacedOneIsRedrawnWhole)
{
    const Bitmap capture = noiseCapture(10, 10, 10);
    TAgg2D agg;
    OverlayRenderer renderer;
    Bitmap none;
    EXPECT_TRUE(renderer.draw(agg, none, capture, {}).empty());
    Bitmap picture = noiseCapture(10, 10, 11);
    renderer.reset();
    const auto rects = renderer.draw(agg, picture, capture, {3, 3, -1, 0, 0, 0});
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (PixelRect{0, 0, 10, 10}));
    Bitmap expected = capture;
    TAgg2D other;
    drawFull(other, expected, capture, {3, 3, -1, 0, 0, 0});
    EXPECT_TRUE(samePixels(picture, expected));
}

TEST(DisjointUnion, CoversExactlyTheUnionWithoutOverlap)
{
    std::mt19937 rng(12);
    for (int round = 0; round < 300; ++round) {
        const int W = 1 + int(rng() % 30);
        const int H = 1 + int(rng() % 30);
        std::vector<PixelRect> input;
        for (int i = int(rng() % 6); i > 0; --i) {
            const int x1 = int(rng() % 40) - 5;
            const int y1 = int(rng() % 40) - 5;
            input.push_back({x1, y1, x1 + int(rng() % 15), y1 + int(rng() % 15)});
        }
        const auto out = OverlayRenderer::disjointUnion(input, W, H);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                auto inside = [&](const PixelRect& r) { return x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2; };
                const bool want = std::any_of(input.begin(), input.end(), inside);
                const auto count = std::count_if(out.begin(), out.end(), inside);
                ASSERT_EQ(count, want ? 1 : 0) << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

} // namespace
} // namespace vornik
