#include "collector/collectionpass.h"

#include "collector/emailfilter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vornik {
namespace {

using Strings = std::vector<std::string>;

struct CutCase {
    std::string text;
    Strings candidates;
};

TEST(CutCandidates, CutsCleansAndValidatesTheWordAroundEachAt)
{
    const CutCase cases[] = {
        {"", {}},
        {"no address here", {}},
        {"a@b", {"a@b"}},
        {"@", {"@"}},
        {"name @ host", {"@"}},
        {"mail x.y@z now", {"x.y@z"}},
        {"<a@b>, c@d;", {"a@b", "c@d"}},
        {"a@b,c@d", {}},
        {"mailto:a@b", {"mailtoa@b"}},
        {"write to a@b.", {}},
        {"a@b a@b A@B", {"a@b", "a@b", "A@B"}},
        {"x\xE9@y\xFC", {"x@y"}},
        {"  lead@space  ", {"lead@space"}},
        {"a@.b ok@x", {"ok@x"}},
        // Line breaks and tabs end words on both sides.
        {"one two\r\nc@d\r\n", {"c@d"}},
        {"c@d\ne f", {"c@d"}},
        {"x\ta@b", {"a@b"}},
        {"a@b\tx", {"a@b"}},
        {"first\rs@cond", {"s@cond"}},
        {"one two\r\nfirst@line\r\nx\tsecond@line", {"first@line", "second@line"}},
        // A second "@" stays in the word of the first.
        {"a@b@c d@e", {"d@e"}},
        {"@@ x@y", {"x@y"}},
        {"end@", {"end@"}},
        {"@start", {"@start"}},
        {std::string("a\0b@c d", 7), {"ab@c"}},
    };
    for (const CutCase& c : cases)
        EXPECT_EQ(cutCandidates(c.text), c.candidates) << "text: " << c.text;
}

// Every word between separators that holds an "@" is one candidate: the
// same answer reached by splitting the text first.
Strings candidatesBySplitting(const std::string& text)
{
    Strings words(1);
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            words.emplace_back();
        else
            words.back().push_back(c);
    }
    Strings accepted;
    for (const std::string& word : words) {
        if (word.find('@') == std::string::npos)
            continue;
        std::string candidate = cleanemail(word);
        if (checkemail(candidate).empty())
            accepted.push_back(candidate);
    }
    return accepted;
}

TEST(CutCandidates, AgreesWithSplittingIntoWordsOnRandomTexts)
{
    std::mt19937 random(20261208);
    const std::string alphabet = "ab@@. \t\r\n,:\xE9Z";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text.push_back(alphabet[pick(random)]);
        ASSERT_EQ(cutCandidates(text), candidatesBySplitting(text)) << "text: " << text;
    }
}

struct CollectCase {
    Strings before;
    std::string text;
    Strings after;
    int added;
};

TEST(CollectInto, AppendsEachNewAddressOnceInOrder)
{
    const CollectCase cases[] = {
        {{}, "", {}, 0},
        {{}, "a@b a@b A@B", {"a@b"}, 1},
        {{"A@b"}, "a@b a@b A@B", {"A@b"}, 0},
        {{"z@z"}, "y@y x@x y@y", {"z@z", "y@y", "x@x"}, 2},
        {{"a@b", "A@B"}, "c@d A@b", {"a@b", "A@B", "c@d"}, 1},
        {{""}, "@", {"", "@"}, 1},
        {{}, "write to a@b.", {}, 0},
    };
    for (const CollectCase& c : cases) {
        EmailList list;
        for (const std::string& entry : c.before)
            list.Add(entry);
        EXPECT_EQ(collectInto(list, c.text), c.added) << "text: " << c.text;
        EXPECT_EQ(list.entries(), c.after) << "text: " << c.text;
    }
}

} // namespace
} // namespace vornik
