#include "screentools/htmlcolor.h"
#include "screentools/readouts.h"

#include <gtest/gtest.h>

#include <climits>

namespace vornik {
namespace {

TEST(HtmlColor, RedGreenBlueFromTheLowBytesUp)
{
    struct Case {
        std::uint32_t color;
        const char* text;
    } cases[] = {
        {0x000000FF, "#FF0000"},  // red sits in the low byte
        {0x00FF0000, "#0000FF"},  // blue in the third
        {0x0000FF00, "#00FF00"},
        {0x00123456, "#563412"},
        {0xAB0A0B0C, "#0C0B0A"},  // the top byte is ignored
        {0xFFFFFFFF, "#FFFFFF"},  // the invalid colour of a read outside the capture
        {0x00000000, "#000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(htmlcolor(c.color), c.text) << std::hex << c.color;
}

TEST(Readouts, PositionAndSelectionTexts)
{
    EXPECT_EQ(positionText(120, 45), "120:45");
    EXPECT_EQ(positionText(0, 0), "0:0");
    EXPECT_EQ(positionText(-3, 1080), "-3:1080");

    EXPECT_EQ(selectionSizeText(-1, 5, 10, 10), "select area with mouse drag");
    EXPECT_EQ(selectionSizeText(-7, 5, 10, 10), "select area with mouse drag");
    EXPECT_EQ(selectionSizeText(10, 20, 40, 25), "30:5");
    EXPECT_EQ(selectionSizeText(40, 25, 10, 20), "30:5");  // dragged up and left
    EXPECT_EQ(selectionSizeText(0, 0, 0, 0), "0:0");
    EXPECT_EQ(selectionSizeText(0, INT_MIN, INT_MAX, INT_MAX), "2147483647:4294967295");
}

} // namespace
} // namespace vornik
