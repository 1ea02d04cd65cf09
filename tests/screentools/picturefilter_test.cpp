#include "screentools/picturefilter.h"

#include <gtest/gtest.h>

namespace vornik {
namespace {

TEST(PictureFilter, RegisteredFormatsGiveTheSevenPairs)
{
    EXPECT_EQ(buildPictureFilter(registeredPictureFormats()),
              "All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf"
              "|JPEG Image File (*.jpg)|*.jpg"
              "|JPEG Image File (*.jpeg)|*.jpeg"
              "|Bitmaps (*.bmp)|*.bmp"
              "|Icons (*.ico)|*.ico"
              "|Enhanced Metafiles (*.emf)|*.emf"
              "|Metafiles (*.wmf)|*.wmf");
}

TEST(PictureFilter, FormatCounts)
{
    struct Case {
        std::vector<PictureFormat> formats;
        std::string filter;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        // A single format needs no "All" entry.
        {{{"png", "Portable Network Graphics"}}, "Portable Network Graphics (*.png)|*.png"},
        {{{"a", "First"}, {"b", "Second"}}, "All (*.b;*.a)|*.b;*.a|Second (*.b)|*.b|First (*.a)|*.a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buildPictureFilter(c.formats), c.filter) << c.filter;
}

} // namespace
} // namespace vornik
