#include "collector/emailfilter.h"

#include <gtest/gtest.h>

#include <string>

namespace vornik {
namespace {

struct FilterCase {
    std::string word;
    std::string cleaned;
};

TEST(CleanEmail, KeepsOnlyAddressBytesInOrder)
{
    const FilterCase cases[] = {
        {"", ""},
        {" \t\r\n,;:<>()[]\"'+!#$%&*/=?^`{|}~", ""},
        {"<a.b@c-d_e.f>,", "a.b@c-d_e.f"},
        {"Az09AZaz.-_@", "Az09AZaz.-_@"},
        {"x\xE9@y", "x@y"},
        {std::string("a\0b", 3), "ab"},
        // The bytes just outside each kept range.
        {"/:`{?[,", ""},
        {"\x80\xFF\xC3\xA9", ""},
        {"mailto:a@b", "mailtoa@b"},
    };
    for (const FilterCase& c : cases)
        EXPECT_EQ(cleanemail(c.word), c.cleaned) << "word: " << c.word;
}

TEST(CleanEmail, EveryByteIsKeptExactlyWhenItIsAnAddressCharacter)
{
    const std::string kept = "-.0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(cleanemail(all), kept);
}

struct CheckCase {
    std::string word;
    std::string messages;
};

TEST(CheckEmail, ReportsTheBrokenRulesInOrder)
{
    const std::string one(kDotAfterAt), two(kDotAtEnd), three(kExactlyOneAt);
    const CheckCase cases[] = {
        {"", three},
        {"@", ""},
        {"a@", ""},
        {"@b", ""},
        {"a@b", ""},
        {".a..b.@c", ""},
        {"a@.b", one},
        {"a@b.", two},
        {"a@.", one + two},
        {"a.b", three},
        {"a@b@c", three},
        {"a@@.b", one + three},
        {"a@b..", two},
        {".", two + three},
        {".@", ""},
        {"@.@.x.", one + one + two + three},
        {"a-b_c@d-e_f", ""},
    };
    for (const CheckCase& c : cases)
        EXPECT_EQ(checkemail(c.word), c.messages) << "word: " << c.word;
}

TEST(CheckEmail, MessagesHaveTheirSingleByteLengths)
{
    EXPECT_EQ(kDotAfterAt.size(), 22u);
    EXPECT_EQ(kDotAtEnd.size(), 34u);
    EXPECT_EQ(kExactlyOneAt.size(), 39u);
    EXPECT_EQ(static_cast<unsigned char>(kDotAfterAt[4]), 0xE1);
    EXPECT_EQ(static_cast<unsigned char>(kDotAtEnd[20]), 0xF3);
}

} // namespace
} // namespace vornik
