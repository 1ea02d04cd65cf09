#include "screentools/picturefit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vornik {
namespace {

// A 2560x1600 output shown through an X11 window of its logical size at
// scale 2, and of 1707x1067 at 1.5, and at 0.5 (more window pixels than
// captured ones).
TEST(PictureFit, PointerAndWarpReachTheCapturedPixelsTheyName)
{
    const PictureFit two{2560, 1600, 1280, 800};
    EXPECT_FALSE(two.identity());
    EXPECT_EQ(two.capturedX(100), 200);
    EXPECT_EQ(two.capturedY(200), 400);
    EXPECT_EQ(two.capturedX(-1), -2) << "positions outside the window stay outside the capture";
    EXPECT_EQ(two.shownX(201), 100) << "a captured pixel no window pixel starts at: the one covering it";

    for (const PictureFit fit : {PictureFit{3, 2, 2, 2}, PictureFit{2560, 1600, 1707, 1067}, PictureFit{640, 400, 1280, 800},
                                 PictureFit{2560, 1600, 1280, 800}}) {
        for (int c = 0; c < fit.capturedWidth; ++c) {
            const int s = fit.shownX(c);
            ASSERT_GE(s, 0);
            ASSERT_LT(s, fit.shownWidth);
            // The window pixel a warp goes to covers the captured pixel.
            EXPECT_LE(fit.capturedX(s), c);
            EXPECT_LT(c, std::max(fit.capturedX(s) + 1, fit.capturedX(s + 1)));
        }
    }
    const PictureFit same{1920, 1080, 1920, 1080};
    EXPECT_TRUE(same.identity());
    EXPECT_EQ(same.capturedX(-5), -5);
    EXPECT_EQ(same.shownRect(PixelRect{-3, 0, 10, 10}), (PixelRect{-3, 0, 10, 10}));
}

TEST(PictureFit, RectanglesRoundOutwardAndResamplingAveragesWhatEachPixelCovers)
{
    const PictureFit fit{6, 3, 4, 2}; // 1.5 captured pixels per shown pixel
    EXPECT_EQ(fit.shownRect(PixelRect{2, 0, 3, 1}), (PixelRect{1, 0, 2, 1}));
    EXPECT_EQ(fit.shownRect(PixelRect{-10, -10, 100, 100}), (PixelRect{0, 0, 4, 2}));
    EXPECT_EQ(fit.capturedRect(PixelRect{1, 0, 2, 1}), (PixelRect{1, 0, 3, 1}));

    // Captured pixel (x, y) holds blue 10 x + 100 y; shown pixels cover
    // columns 0 | 1-2 | 3 | 4-5 and rows 0 | 1-2.
    std::vector<std::uint8_t> captured(6 * 3 * 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            captured[static_cast<std::size_t>((y * 6 + x) * 4)] = static_cast<std::uint8_t>(10 * x + 50 * y);
    std::vector<std::uint8_t> shown(4 * 2 * 4, 0);
    resamplePicture(fit, captured.data(), 6 * 4, shown.data(), 4 * 4, PixelRect{0, 0, 4, 2});
    const int want[2][4] = {{0, 15, 30, 45}, {75, 90, 105, 120}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(shown[static_cast<std::size_t>((y * 4 + x) * 4)], want[y][x]) << x << "," << y;
            EXPECT_EQ(shown[static_cast<std::size_t>((y * 4 + x) * 4 + 3)], 255);
        }

    // A part of the picture goes to a buffer of just that part: its first
    // pixel is the part's top-left one, and nothing is written beyond it.
    std::vector<std::uint8_t> part(2 * 4 + 4, 7);
    resamplePicture(fit, captured.data(), 6 * 4, part.data(), 2 * 4, PixelRect{2, 1, 4, 2});
    EXPECT_EQ(part[0], 105);
    EXPECT_EQ(part[4], 120);
    EXPECT_EQ(part[8], 7);
}

} // namespace
} // namespace vornik
