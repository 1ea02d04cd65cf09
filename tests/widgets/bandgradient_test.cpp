#include "widgets/bandgradient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vornik {
namespace {

constexpr int kW = 297;
constexpr int kH = 177;

// The look of the "Picture tools" panel.
PanelLook pictureToolsLook() {
    PanelLook look;
    look.color = 16774371;
    look.colorTo = 15587784;
    look.horizontal = false;
    look.captionVisible = true;
    look.captionHeight = 20;
    look.captionColor = 16773091;
    look.captionColorTo = 16765615;
    look.captionHorizontal = false;
    look.bevelWidth = 1;
    return look;
}

// A surface pixel as 0xRRGGBB, the way colours are written in the tests.
std::uint32_t rgbAt(const Bitmap& surface, int x, int y) {
    return surface.pixel32(x, y) & 0x00FFFFFF;
}

struct RowCase {
    int row;
    std::uint32_t rgb;
};

TEST(BandGradient, BodyRowsAtTheStoredSize) {
    Bitmap surface(kW, kH, 32);
    PaintBandGradient(surface, 16774371, 15587784, 64, GradientRect{0, 0, kW, kH}, false);
    const std::vector<RowCase> cases = {{0, 0xE3F4FF}, {24, 0xE0F1FD}, {88, 0xD5E6F6}, {176, 0xC8D9ED}};
    for (const RowCase& c : cases)
        for (int x : {0, kW / 2, kW - 1})
            EXPECT_EQ(rgbAt(surface, x, c.row), c.rgb) << "row " << c.row << " column " << x;
}

TEST(BandGradient, CaptionRowsOverTheBody) {
    Bitmap panel(kW, kH, 32);
    paintPanelBackground(panel, pictureToolsLook());
    Bitmap body(kW, kH, 32);
    PaintBandGradient(body, 16774371, 15587784, 64, GradientRect{0, 0, kW, kH}, false);

    EXPECT_EQ(captionStripHeight(pictureToolsLook()), 18);
    const std::vector<RowCase> cases = {{0, 0xE2EFFF}, {1, 0xDFEDFF}, {9, 0xC8E0FF}, {17, 0xB1D3FF}};
    for (const RowCase& c : cases)
        for (int x : {0, 100, kW - 1})
            EXPECT_EQ(rgbAt(panel, x, c.row), c.rgb) << "row " << c.row << " column " << x;
    for (int row = 0; row < 18; ++row)
        EXPECT_NE(rgbAt(panel, 50, row), 0xAFD2FFu) << "row " << row << " shows the end colour exactly";
    for (int row = 18; row < kH; ++row)
        EXPECT_EQ(rgbAt(panel, 50, row), rgbAt(body, 50, row)) << "row " << row;
}

TEST(BandGradient, RoundsHalfToEvenInColoursAndOrigins) {
    // Five rows in two bands from red 0 to red 5: the step is 2.5, so band 1
    // has red round(2.5) = 2, and it starts at row round(2.5) = 2, covering
    // the last row of band 0, which reaches rows 0 to 2.
    Bitmap surface(1, 5, 32);
    PaintBandGradient(surface, rgb(0, 10, 20), rgb(5, 10, 20), 2, GradientRect{0, 0, 1, 5}, false);
    const std::vector<RowCase> cases = {
        {0, 0x000A14}, {1, 0x000A14}, {2, 0x020A14}, {3, 0x020A14}, {4, 0x020A14}};
    for (const RowCase& c : cases)
        EXPECT_EQ(rgbAt(surface, 0, c.row), c.rgb) << "row " << c.row;
}

TEST(BandGradient, BandsThinnerThanARowLeaveTheLastOneStartingThere) {
    // Three rows, eight bands of 0.375 rows, red rising by 10 per band. The
    // bands start at rows 0, 0, 1, 1, 2, 2, 2, 3 and each covers one row; the
    // last starts below the rectangle and draws nothing.
    Bitmap surface(2, 3, 32);
    PaintBandGradient(surface, rgb(0, 0, 0), rgb(80, 0, 0), 8, GradientRect{0, 0, 2, 3}, false);
    EXPECT_EQ(rgbAt(surface, 1, 0), 0x0A0000u);
    EXPECT_EQ(rgbAt(surface, 1, 1), 0x1E0000u);
    EXPECT_EQ(rgbAt(surface, 1, 2), 0x3C0000u);
}

TEST(BandGradient, HorizontalBandsRunAcrossAndStayInsideTheRectangle) {
    // Columns 2 to 7 of a 10 x 4 surface, rows 1 and 2, two bands: band 0
    // covers columns 2 to 5, band 1 from column 5 on. Nothing else changes.
    Bitmap surface(10, 4, 32);
    PaintBandGradient(surface, rgb(0, 0, 0), rgb(0, 0, 200), 2, GradientRect{2, 1, 8, 3}, true);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 10; ++x) {
            std::uint32_t expected = 0;
            if (y >= 1 && y <= 2 && x >= 2 && x <= 7)
                expected = x < 5 ? 0xFF000000u : 0xFF000064u;
            EXPECT_EQ(surface.pixel32(x, y), expected) << x << "," << y;
        }
    }
}

TEST(BandGradient, EdgeValuesOfTheBandCountAndColours) {
    struct Case {
        std::string name;
        int bands;
        Color from, to;
        std::uint32_t top, bottom;
    };
    const std::vector<Case> cases = {
        {"no bands is one band", 0, rgb(10, 20, 30), rgb(200, 200, 200), 0x0A141E, 0x0A141E},
        {"desktop colour numbers are resolved", 1, systemColor(COLOR_BTNFACE), rgb(0, 0, 0), 0xD4D0C8,
         0xD4D0C8},
        {"the last band stops short of the end colour", 64, rgb(0, 0, 0), rgb(255, 255, 255), 0x000000,
         0xFBFBFB},
    };
    for (const Case& c : cases) {
        Bitmap surface(3, 64, 32);
        PaintBandGradient(surface, c.from, c.to, c.bands, GradientRect{0, 0, 3, 64}, false);
        EXPECT_EQ(rgbAt(surface, 1, 0), c.top) << c.name;
        EXPECT_EQ(rgbAt(surface, 1, 63), c.bottom) << c.name;
    }
}

TEST(BandGradient, NoEndColourGivesAPlainFill) {
    PanelLook look = pictureToolsLook();
    look.colorTo = clNone;
    look.captionColorTo = clNone;
    Bitmap surface(40, 60, 32);
    paintPanelBackground(surface, look);
    for (int y : {0, 17})
        EXPECT_EQ(rgbAt(surface, 20, y), 0xE3EFFFu) << y;
    for (int y : {18, 30, 59})
        EXPECT_EQ(rgbAt(surface, 20, y), 0xE3F4FFu) << y;
}

TEST(BandGradient, HiddenCaptionLeavesTheBody) {
    PanelLook look = pictureToolsLook();
    look.captionVisible = false;
    Bitmap surface(kW, kH, 32);
    paintPanelBackground(surface, look);
    EXPECT_EQ(rgbAt(surface, 10, 0), 0xE3F4FFu);
}

TEST(PenLine, OnePixelPenStopsBeforeTheEndPoint) {
    Bitmap surface(6, 6, 32);
    drawPenLine(surface, 0, 0, 4, 4, 1, rgb(255, 0, 0));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(rgbAt(surface, x, y), (x == y && x < 4) ? 0xFF0000u : 0u) << x << "," << y;
}

TEST(PenLine, TwoPixelPenCoversTheRowAboveAndItsOwn) {
    // The round caps reach one pixel beyond the start on the line's own row.
    Bitmap surface(9, 5, 32);
    drawPenLine(surface, 1, 2, 6, 2, 2, rgb(0, 255, 0));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            const bool covered = (y == 1 || y == 2) && x >= 1 && x <= 6;
            const bool cap = y == 2 && x == 0;
            EXPECT_EQ(rgbAt(surface, x, y), (covered || cap) ? 0x00FF00u : 0u) << x << "," << y;
        }
    }
}

TEST(SizeGrip, RidgesInTheLastPixelsOfTheCorner) {
    // With a = x - W and b = y - H (both negative inside the surface), the
    // ridges lie on the diagonals a + b = const: white highlights on -12, -8
    // and -4, grey on -11 and -10, on -7 and -6 (and on -5 near the right
    // edge, where the middle line is steeper than 45°) and on -3 and -2.
    const int w = 60, h = 40;
    Bitmap surface(w, h, 32);
    paintSizeGrip(surface, w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int a = x - w, b = y - h, t = a + b;
            std::uint32_t expected = 0;
            if (t == -12 || t == -8 || t == -4)
                expected = 0xFFFFFF;
            else if (t == -11 || t == -10 || t == -7 || t == -6 || t == -3 || t == -2 || (t == -5 && a >= -2))
                expected = 0x808080;
            EXPECT_EQ(rgbAt(surface, x, y), expected) << "a " << a << " b " << b;
        }
    }
}

TEST(SizeGrip, ClippedOnATinySurface) {
    Bitmap surface(3, 2, 32);
    paintSizeGrip(surface, 3, 2);
    // (2,1) is a = b = -1: grey; (1,1) and (2,0) are on -3: grey;
    // (0,1) and (1,0) on -4: white; (0,0) on -5 with a = -3: untouched.
    EXPECT_EQ(rgbAt(surface, 2, 1), 0x808080u);
    EXPECT_EQ(rgbAt(surface, 1, 1), 0x808080u);
    EXPECT_EQ(rgbAt(surface, 2, 0), 0x808080u);
    EXPECT_EQ(rgbAt(surface, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(surface, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(surface.pixel32(0, 0), 0u);
}

TEST(PanelHitTest, StripGripAndClient) {
    PanelHitArea stored;
    stored.width = kW;
    stored.height = kH;
    stored.scrollArrowWidth = stored.scrollArrowHeight = 17;

    struct Case {
        int x, y, expected;
    };
    const std::vector<Case> cases = {
        {1, 0, HTCAPTION},
        {150, 19, HTCAPTION},
        {kW - 1, 10, HTCAPTION},
        {150, 20, HTCLIENT},
        {0, 10, HTCLIENT},
        {0, 19, HTCLIENT},
        {kW - 1, 20, HTCLIENT},
        {150, 100, HTCLIENT},
        // The grip square: x > W - 17 and y > H - 17, over Label1's corner.
        {kW - 16, kH - 16, HTBOTTOMRIGHT},
        {kW - 1, kH - 1, HTBOTTOMRIGHT},
        {kW - 10, 165, HTBOTTOMRIGHT},
        {kW - 17, kH - 1, HTCLIENT},
        {kW - 1, kH - 17, HTCLIENT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(panelHitTest(c.x, c.y, stored), c.expected) << c.x << "," << c.y;
}

TEST(PanelHitTest, SwitchesAndOverlap) {
    PanelHitArea area;
    area.width = 100;
    area.height = 30;
    area.scrollArrowWidth = area.scrollArrowHeight = 17;
    // y = 15 lies both in the strip and in the grip square: the strip wins.
    EXPECT_EQ(panelHitTest(95, 15, area), HTCAPTION);
    EXPECT_EQ(panelHitTest(95, 25, area), HTBOTTOMRIGHT);

    PanelHitArea fixed = area;
    fixed.canMove = false;
    EXPECT_EQ(panelHitTest(50, 5, fixed), HTCLIENT);
    EXPECT_EQ(panelHitTest(95, 15, fixed), HTBOTTOMRIGHT);

    PanelHitArea noCaption = area;
    noCaption.captionVisible = false;
    EXPECT_EQ(panelHitTest(50, 5, noCaption), HTCLIENT);

    PanelHitArea noGrip = area;
    noGrip.canSize = false;
    EXPECT_EQ(panelHitTest(95, 25, noGrip), HTCLIENT);
    noGrip.canSize = true;
    noGrip.collapsed = true;
    EXPECT_EQ(panelHitTest(95, 25, noGrip), HTCLIENT);
}

} // namespace
} // namespace vornik
