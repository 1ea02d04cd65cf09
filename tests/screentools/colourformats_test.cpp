// The colour readout in the forms people paste: rgb() and hsl(), and the
// "#RRGGBB" text they are made from.
#include "screentools/colourformats.h"

#include <gtest/gtest.h>

namespace vornik {
namespace {

std::uint32_t colour(int r, int g, int b)
{
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}

TEST(ColourFormats, RgbAndHslOfATableOfColours)
{
    struct Case {
        int r, g, b;
        const char* rgb;
        const char* hsl;
    } const cases[] = {
        {0, 0, 0, "rgb(0, 0, 0)", "hsl(0, 0%, 0%)"},
        {255, 255, 255, "rgb(255, 255, 255)", "hsl(0, 0%, 100%)"},
        {255, 0, 0, "rgb(255, 0, 0)", "hsl(0, 100%, 50%)"},
        {0, 255, 0, "rgb(0, 255, 0)", "hsl(120, 100%, 50%)"},
        {0, 0, 255, "rgb(0, 0, 255)", "hsl(240, 100%, 50%)"},
        {255, 255, 0, "rgb(255, 255, 0)", "hsl(60, 100%, 50%)"},
        {0, 255, 255, "rgb(0, 255, 255)", "hsl(180, 100%, 50%)"},
        {255, 0, 255, "rgb(255, 0, 255)", "hsl(300, 100%, 50%)"},
        // Greys have no hue and no saturation; 128 and 127 are both 50%.
        {128, 128, 128, "rgb(128, 128, 128)", "hsl(0, 0%, 50%)"},
        {127, 127, 127, "rgb(127, 127, 127)", "hsl(0, 0%, 50%)"},
        {1, 1, 1, "rgb(1, 1, 1)", "hsl(0, 0%, 0%)"},
        {32, 64, 128, "rgb(32, 64, 128)", "hsl(220, 60%, 31%)"},
        {200, 100, 50, "rgb(200, 100, 50)", "hsl(20, 60%, 49%)"},
        {255, 128, 0, "rgb(255, 128, 0)", "hsl(30, 100%, 50%)"},
        // Exact halves go up: saturation 2.5%, hue 1.5 and 358.5 degrees.
        {41, 40, 39, "rgb(41, 40, 39)", "hsl(30, 3%, 16%)"},
        {60, 21, 20, "rgb(60, 21, 20)", "hsl(2, 50%, 16%)"},
        {60, 20, 21, "rgb(60, 20, 21)", "hsl(359, 50%, 16%)"},
        // A hue of 359.5 degrees rounds to 360, which is 0.
        {255, 134, 135, "rgb(255, 134, 135)", "hsl(0, 100%, 76%)"},
        // The faintest blue: lightness rounds to 0%, saturation is full.
        {0, 0, 1, "rgb(0, 0, 1)", "hsl(240, 100%, 0%)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rgbColourText(colour(c.r, c.g, c.b)), c.rgb);
        EXPECT_EQ(hslColourText(colour(c.r, c.g, c.b)), c.hsl) << c.rgb;
        // The top byte (the invalid colour's, or anything) is ignored.
        EXPECT_EQ(hslColourText(0xFF000000u | colour(c.r, c.g, c.b)), c.hsl) << c.rgb;
    }
}

TEST(ColourFormats, OnlySevenCharacterHexTextsAreColours)
{
    EXPECT_EQ(parseHtmlColour("#FF0000"), colour(255, 0, 0));
    EXPECT_EQ(parseHtmlColour("#204080"), colour(0x20, 0x40, 0x80));
    EXPECT_EQ(parseHtmlColour("#abCDef"), colour(0xAB, 0xCD, 0xEF));
    for (const char* text :
         {"", "#", "#12345", "#1234567", "1234567", "#12345G", "#-12345", " #123456", "select area with mouse drag"})
        EXPECT_EQ(parseHtmlColour(text), std::nullopt) << '"' << text << '"';
}

} // namespace
} // namespace vornik
