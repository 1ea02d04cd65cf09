#include "platform/posix/collation.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace vornik {
namespace {

constexpr const char* kLatin1 = "de_DE.ISO-8859-1";

// A single-byte Western locale is rarely installed; it is built for the test
// into a private folder that the C library is then told to search.
class Latin1Locale {
public:
    static bool available()
    {
        static Latin1Locale instance;
        return instance.m_ok;
    }

private:
    Latin1Locale()
    {
        m_folder = std::filesystem::temp_directory_path() / ("vornik-locale-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        const std::string command =
            "localedef -i de_DE -f ISO-8859-1 '" + (m_folder / kLatin1).string() + "' >/dev/null 2>&1";
        m_ok = std::system(command.c_str()) == 0;
        const std::string search = m_folder.string() + ":/usr/lib/locale";
        ::setenv("LOCPATH", search.c_str(), 1);
    }
    ~Latin1Locale()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::filesystem::path m_folder;
    bool m_ok = false;
};

class Collation : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        m_previous = std::setlocale(LC_ALL, nullptr);
        if (GetParam() == kLatin1 && !Latin1Locale::available())
            GTEST_SKIP() << "localedef could not build " << kLatin1 << " (package locales missing?)";
        if (std::setlocale(LC_ALL, GetParam().c_str()) == nullptr)
            GTEST_SKIP() << "locale " << GetParam() << " is not available";
    }
    void TearDown() override { std::setlocale(LC_ALL, m_previous.c_str()); }

    bool utf8() const { return GetParam() == "C.UTF-8"; }
    bool latin1() const { return GetParam() == kLatin1; }

private:
    std::string m_previous;
};

struct Pair {
    std::string a;
    std::string b;
};

TEST_P(Collation, EqualExactlyWhenTextsDifferOnlyInLetterCase)
{
    std::vector<Pair> equal = {
        {"", ""}, {"abc", "ABC"}, {"a@B.c", "A@b.C"}, {"x-y_z", "X-Y_Z"}, {std::string("a\0b", 3), std::string("A\0B", 3)},
    };
    std::vector<Pair> different = {
        {"", "a"}, {"a", "b"}, {"a@b", "a@b "}, {"ab", "ba"}, {"a.b", "a-b"}, {std::string("a\0b", 3), std::string("a\0c", 3)},
        {"a", std::string("a\0", 2)},
    };
    std::vector<Pair> accented = {{"\xC9", "\xE9"}, {"\xC3\x89", "\xC3\xA9"}};
    for (const Pair& p : accented) {
        // Only the locale's own encoding makes these an upper/lower pair.
        const bool pair = (latin1() && p.a.size() == 1) || (utf8() && p.a.size() == 2);
        (pair ? equal : different).push_back(p);
    }
    for (const Pair& p : equal) {
        EXPECT_EQ(compareIgnoringCase(p.a, p.b), 0) << p.a << " / " << p.b;
        EXPECT_EQ(caseFolded(p.a), caseFolded(p.b)) << p.a << " / " << p.b;
    }
    for (const Pair& p : different) {
        EXPECT_NE(compareIgnoringCase(p.a, p.b), 0) << p.a << " / " << p.b;
        EXPECT_NE(caseFolded(p.a), caseFolded(p.b)) << p.a << " / " << p.b;
    }
}

TEST_P(Collation, OrdersLettersIgnoringCaseAndFollowsTheLocale)
{
    EXPECT_EQ(compareIgnoringCase("a", "B"), -1);
    EXPECT_EQ(compareIgnoringCase("B", "a"), 1);
    EXPECT_EQ(compareIgnoringCase("", "A"), -1);
    EXPECT_EQ(compareIgnoringCase("Ab", "aC"), -1);
    if (latin1()) {
        // e-acute collates next to e, not after z as its byte would.
        EXPECT_EQ(compareIgnoringCase("\xE9", "f"), -1);
        EXPECT_EQ(compareIgnoringCase("\xE9", "d"), 1);
    } else {
        EXPECT_EQ(compareIgnoringCase("\xE9", "z"), 1);
    }
}

std::string randomText(std::mt19937& random)
{
    static const std::string alphabet = std::string("aAbB@.- \xC9\xE9\xC3\x89\xA9", 13) + std::string(1, '\0');
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 4);
    std::string text;
    for (int n = length(random); n > 0; --n)
        text.push_back(alphabet[pick(random)]);
    return text;
}

TEST_P(Collation, IsATotalOrderConsistentWithItsKeys)
{
    std::mt19937 random(42);
    std::vector<std::string> sample;
    for (int i = 0; i < 120; ++i)
        sample.push_back(randomText(random));
    std::vector<CollationKey> keys;
    for (const std::string& text : sample)
        keys.push_back(collationKey(text));
    const std::size_t n = sample.size();
    std::vector<int> order(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const int c = compareIgnoringCase(sample[i], sample[j]);
            order[i * n + j] = c;
            ASSERT_TRUE(c == -1 || c == 0 || c == 1);
            ASSERT_EQ(c, compare(keys[i], keys[j])) << "key order differs for " << sample[i] << " / " << sample[j];
            ASSERT_EQ(c == 0, caseFolded(sample[i]) == caseFolded(sample[j]));
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            ASSERT_EQ(order[i * n + j], -order[j * n + i]) << "not antisymmetric";
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t k = 0; k < n; ++k)
                if (order[i * n + j] <= 0 && order[j * n + k] <= 0) {
                    ASSERT_LE(order[i * n + k], 0) << "not transitive: " << sample[i] << " " << sample[j] << " " << sample[k];
                }
}

INSTANTIATE_TEST_SUITE_P(Locales, Collation, ::testing::Values("C", "C.UTF-8", kLatin1),
                         [](const ::testing::TestParamInfo<std::string>& locale) {
                             std::string name;
                             for (char c : locale.param)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
                             return name;
                         });

} // namespace
} // namespace vornik
