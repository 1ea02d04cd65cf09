#include "platform/wayland/textoffers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vornik {
namespace {

struct OfferCase {
    const char* name;
    std::vector<std::string> offered;
    std::optional<std::string> expected;
};

TEST(WaylandTextOffers, ChoosesTheMostExactTextTypeOffered)
{
    const OfferCase cases[] = {
        {"what wl-copy offers for text",
         {"text/plain", "text/plain;charset=utf-8", "TEXT", "STRING", "UTF8_STRING"},
         "text/plain;charset=utf-8"},
        {"an X11 program through Xwayland", {"TARGETS", "STRING", "UTF8_STRING", "TEXT"}, "UTF8_STRING"},
        {"plain text before TEXT and STRING", {"STRING", "TEXT", "text/plain"}, "text/plain"},
        {"TEXT before STRING", {"STRING", "TEXT"}, "TEXT"},
        {"STRING alone", {"STRING"}, "STRING"},
        {"charset written otherwise is still UTF-8, spelt as offered",
         {"text/plain", "text/plain; charset=UTF-8"}, "text/plain; charset=UTF-8"},
        {"another charset is not UTF-8", {"text/plain;charset=iso-8859-1", "STRING"}, "STRING"},
        {"X11 names are case-sensitive", {"utf8_string", "string"}, std::nullopt},
        {"a picture only", {"image/png", "image/jpeg"}, std::nullopt},
        {"HTML is not plain text", {"text/html", "text/uri-list"}, std::nullopt},
        {"nothing offered", {}, std::nullopt},
    };
    for (const OfferCase& c : cases)
        EXPECT_EQ(chooseTextOffer(c.offered), c.expected) << c.name;
}

TEST(WaylandTextOffers, SecretHintAndEncoding)
{
    EXPECT_TRUE(offerMarksSecret({"text/plain;charset=utf-8", "x-kde-passwordManagerHint"}));
    EXPECT_FALSE(offerMarksSecret({"text/plain;charset=utf-8", "UTF8_STRING"}));
    EXPECT_FALSE(offerMarksSecret({"x-kde-passwordmanagerhint-other"}));
    EXPECT_TRUE(textTypeIsLatin1("STRING"));
    for (const char* type : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT"})
        EXPECT_FALSE(textTypeIsLatin1(type)) << type;
}

} // namespace
} // namespace vornik
