// The spacing ruler's scan over pictures of known rectangles and gradients,
// and the figures that name its lengths. Its lines and ticks are checked on
// the drawn pixels, with the overlay.
#include "screentools/spacingruler.h"

#include <gtest/gtest.h>

#include <string>

namespace vornik {
namespace {

constexpr std::uint32_t kBackground = 0xFF204080u;

void fill(Bitmap& b, const PixelRect& r, std::uint32_t argb)
{
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x)
            b.setPixel32(x, y, argb);
}

std::string spansText(const std::optional<SpacingSpans>& s)
{
    if (!s)
        return "none";
    return std::to_string(s->left) + "-" + std::to_string(s->right) + " x " + std::to_string(s->top) + "-" +
           std::to_string(s->bottom);
}

// A 60 x 40 screen: a window at columns 10-29, rows 5-19; a panel along the
// whole right edge from column 45; a one-pixel frame line at row 30 between
// columns 0 and 9 that differs from the background in blue only.
Bitmap desktop()
{
    Bitmap b(60, 40, 32);
    fill(b, {0, 0, 60, 40}, kBackground);
    fill(b, {10, 5, 30, 20}, 0xFFF0F0F0u);
    fill(b, {45, 0, 60, 40}, 0xFF303030u);
    fill(b, {0, 30, 10, 31}, 0xFF204081u);
    return b;
}

TEST(SpacingRuler, SpansRunToTheEdgesOfKnownRectanglesAndOfTheScreen)
{
    const Bitmap screen = desktop();
    struct Case {
        PixelPoint point;
        int tolerance;
        const char* spans; // left-right x top-bottom, inclusive
        const char* size;
    } const cases[] = {
        {{15, 10}, 0, "10-29 x 5-19", "20:15"}, // inside the window: its own size
        {{10, 5}, 0, "10-29 x 5-19", "20:15"},  // at its corner
        {{29, 19}, 0, "10-29 x 5-19", "20:15"}, // at the other corner
        {{50, 2}, 0, "45-59 x 0-39", "15:40"},  // the panel, against three screen edges
        {{35, 10}, 0, "30-44 x 0-39", "15:40"}, // the gap between window and panel
        {{3, 35}, 0, "0-44 x 31-39", "45:9"},   // below the frame line, to the bottom edge
        {{3, 25}, 0, "0-44 x 0-29", "45:30"},   // above it, to the top edge
        {{3, 25}, 1, "0-44 x 0-39", "45:40"},   // a tolerance of 1 passes the blue line
        {{59, 39}, 0, "45-59 x 0-39", "15:40"}, // the last pixel of the screen
        {{0, 0}, 0, "0-44 x 0-29", "45:30"},    // the first one, whose column meets the frame line
    };
    for (const Case& c : cases) {
        const auto spans = measureSpacing(screen, c.point, c.tolerance);
        const std::string at = std::to_string(c.point.x) + "," + std::to_string(c.point.y);
        ASSERT_EQ(spansText(spans), c.spans) << at << " tolerance " << c.tolerance;
        EXPECT_EQ(spacingSizeText(*spans), c.size) << at;
    }
}

TEST(SpacingRuler, ATolerancePassesAGradientAsFarAsItStaysWithinItOfThePoint)
{
    // Red rises by 2 a column from 100 at column 10 to 138 at column 29; the
    // rest of the row is the background (red 0x20, green 0x40, blue 0x80).
    Bitmap b(40, 3, 32);
    fill(b, {0, 0, 40, 3}, kBackground);
    for (int x = 10; x < 30; ++x)
        fill(b, {x, 0, x + 1, 3}, 0xFF004080u | std::uint32_t(100 + 2 * (x - 10)) << 16);
    struct Case {
        int tolerance;
        const char* spans;
    } const cases[] = {
        {0, "20-20 x 0-2"},                        // the point's column alone
        {1, "20-20 x 0-2"},                        // its neighbours differ by 2
        {2, "19-21 x 0-2"},   {10, "15-25 x 0-2"}, // 110 to 130
        {38, "10-29 x 0-2"},                       // the whole ramp; the background's red is 88 off
        {87, "10-29 x 0-2"},  {88, "0-39 x 0-2"},  // the background too
        {255, "0-39 x 0-2"},  {-5, "20-20 x 0-2"}, // out of range: kept within 0 to 255
        {1000, "0-39 x 0-2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(spansText(measureSpacing(b, {20, 1}, c.tolerance)), c.spans) << "tolerance " << c.tolerance;
}

TEST(SpacingRuler, TheFourthByteIsNotCompared)
{
    Bitmap b(5, 5, 32);
    fill(b, {0, 0, 5, 5}, kBackground);
    fill(b, {0, 2, 5, 3}, kBackground & 0x00FFFFFFu);
    EXPECT_EQ(spansText(measureSpacing(b, {2, 0}, 0)), "0-4 x 0-4");
}

TEST(SpacingRuler, NothingOutsideTheCaptureOrOnAnUnreadableOne)
{
    const Bitmap screen = desktop();
    for (const PixelPoint p : {PixelPoint{-1, 5}, PixelPoint{5, -1}, PixelPoint{60, 5}, PixelPoint{5, 40}})
        EXPECT_EQ(measureSpacing(screen, p, 8), std::nullopt) << p.x << "," << p.y;
    EXPECT_EQ(measureSpacing(Bitmap(), {0, 0}, 8), std::nullopt);
    EXPECT_EQ(measureSpacing(Bitmap(4, 4, 24), {0, 0}, 8), std::nullopt);
}

// The lit cells of a figure drawn at scale 1 as rows of '#' and '.'.
std::vector<std::string> picture(long long value, int digits)
{
    const PixelRect plate = figurePlate(0, 0, digits, 1);
    std::vector<std::string> rows(std::size_t(plate.y2), std::string(std::size_t(plate.x2), '.'));
    for (const PixelRect& r : figureCells(value, 0, 0, 1))
        for (int y = r.y1; y < r.y2; ++y)
            for (int x = r.x1; x < r.x2; ++x) {
                char& cell = rows[std::size_t(y)][std::size_t(x)];
                EXPECT_EQ(cell, '.') << "cells overlap at " << x << "," << y;
                cell = '#';
            }
    return rows;
}

TEST(SpacingRuler, FiguresAreDrawnInCellsOnAPlateOneCellWiderAllRound)
{
    EXPECT_EQ(figurePlate(10, 20, 3, 2), (PixelRect{10, 20, 10 + 26, 20 + 14}));
    const std::vector<std::string> want = {
        ".........................................", //
        "..#..###.###.#.#.###.###.###.###.###.###.", //
        ".##....#...#.#.#.#...#.....#.#.#.#.#.#.#.", //
        "..#..###.###.###.###.###...#.###.###.#.#.", //
        "..#..#.....#...#...#.#.#...#.#.#...#.#.#.", //
        ".###.###.###...#.###.###...#.###.###.###.", //
        ".........................................", //
    };
    EXPECT_EQ(picture(1234567890LL, 10), want);
    const auto at = figureCells(7, 100, 50, 3);
    ASSERT_FALSE(at.empty());
    EXPECT_EQ(at.front(), (PixelRect{103, 53, 112, 56})) << "the top bar of 7, three cells of 3 pixels";
    EXPECT_TRUE(figureCells(-1, 0, 0, 1).empty());
}

bool overlap(const PixelRect& a, const PixelRect& b)
{
    return !a.empty() && !b.empty() && a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

TEST(SpacingRuler, FiguresNameEachArmInTheirOwnQuarterAndStayOnTheScreen)
{
    const int s = 2;
    const int gap = 2 * s;
    // Room all round: each figure centred on its arm.
    auto f = rulerFigures({100, 80, 300, 200}, {150, 120}, s, 640, 480);
    EXPECT_EQ(f[0].value, 50);
    EXPECT_EQ(f[1].value, 150);
    EXPECT_EQ(f[2].value, 40);
    EXPECT_EQ(f[3].value, 80);
    EXPECT_EQ(f[0].plate.y2, 120 - gap) << "left arm: above the row";
    EXPECT_EQ((f[0].plate.x1 + f[0].plate.x2) / 2, (100 + 150) / 2);
    EXPECT_EQ(f[1].plate.y1, 121 + gap) << "right arm: below it";
    EXPECT_EQ((f[1].plate.x1 + f[1].plate.x2) / 2, (151 + 301) / 2);
    EXPECT_EQ(f[2].plate.x1, 151 + gap) << "up arm: right of the column";
    EXPECT_EQ((f[2].plate.y1 + f[2].plate.y2) / 2, (80 + 120) / 2);
    EXPECT_EQ(f[3].plate.x2, 150 - gap) << "down arm: left of it";
    EXPECT_EQ(f[3].plate.x2 - f[3].plate.x1, figurePlate(0, 0, 2, s).x2);

    // A point at the top-right corner of the screen: no room above the row,
    // no arm to the right or upwards.
    f = rulerFigures({500, 0, 639, 479}, {639, 0}, s, 640, 480);
    EXPECT_EQ(f[0].value, 139);
    EXPECT_EQ(f[0].plate.y1, 1 + gap) << "below the row";
    EXPECT_TRUE(f[1].plate.empty());
    EXPECT_TRUE(f[2].plate.empty());
    EXPECT_EQ(f[3].plate.x2, 639 - gap) << "left of the column";

    // Short arms and long ones, away from the screen's edges: the figures
    // never cover each other, the lines or the ticks, and stay on the screen.
    for (int left : {0, 1, 3, 30})
        for (int right : {1, 2, 40})
            for (int up : {1, 5, 200})
                for (int down : {1, 9}) {
                    const PixelPoint p{300, 240};
                    const SpacingSpans spans{p.x - left, p.y - up, p.x + right, p.y + down};
                    const auto figures = rulerFigures(spans, p, s, 640, 480);
                    const RulerLines lines = rulerLines(spans, p, 1);
                    for (std::size_t i = 0; i < 4; ++i) {
                        const PixelRect& a = figures[i].plate;
                        EXPECT_EQ(a.empty(), i == 0 && left == 0);
                        EXPECT_FALSE(overlap(a, lines.across) || overlap(a, lines.upDown));
                        for (const PixelRect& t : lines.ticks) {
                            EXPECT_FALSE(overlap(a, t));
                        }
                        for (std::size_t j = i + 1; j < 4; ++j) {
                            EXPECT_FALSE(overlap(a, figures[j].plate))
                                << i << " and " << j << " at arms " << left << " " << right << " " << up << " " << down;
                        }
                        if (!a.empty()) {
                            EXPECT_TRUE(a.x1 >= 0 && a.y1 >= 0 && a.x2 <= 640 && a.y2 <= 480);
                        }
                    }
                }
}

} // namespace
} // namespace vornik
