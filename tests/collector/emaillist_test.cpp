#include "collector/emaillist.h"

#include "collector/collectionpass.h"
#include "platform/error.h"
#include "platform/posix/collation.h"
#include "tests/support/testfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vornik {
namespace {

using Strings = std::vector<std::string>;
using testing::readBytes;
using testing::TestFolder;
using testing::writeBytes;

EmailList listOf(const Strings& entries)
{
    EmailList list;
    for (const std::string& entry : entries)
        list.Add(entry);
    return list;
}

struct ParseCase {
    std::string bytes;
    Strings lines;
};

TEST(AddressFile, CutsLinesAtCrLfAndCrLfPairsAndStopsAtZero)
{
    const ParseCase cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"last", {"last"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {std::string("a\r\nb\0c\r\nd\r\n", 11), {"a", "b"}},
        {std::string("\0a\r\n", 4), {}},
        {" x@y \t\r\n", {" x@y \t"}},
        {"\xE9t\xE9@x\r\n", {"\xE9t\xE9@x"}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(parseAddressFile(c.bytes), c.lines) << "bytes: " << c.bytes;
}

TEST(AddressFile, WritesEveryEntryWithCrLf)
{
    EXPECT_EQ(formatAddressFile({}), "");
    EXPECT_EQ(formatAddressFile({""}), "\r\n");
    EXPECT_EQ(formatAddressFile({"a@b", "", "C@D"}), "a@b\r\n\r\nC@D\r\n");
}

struct RoundTripCase {
    const char* what;
    std::string onDisk;
    std::string afterSave;
};

TEST(EmailListFile, LoadThenSaveRewritesInCrLfForm)
{
    const RoundTripCase cases[] = {
        {"zero bytes", "", ""},
        {"CR only", "a@b\rc@d\r", "a@b\r\nc@d\r\n"},
        {"LF only", "a@b\nc@d\n", "a@b\r\nc@d\r\n"},
        {"mixed", "a\rb\nc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"no final line end", "a@b\r\nc@d", "a@b\r\nc@d\r\n"},
        {"empty lines", "a\r\n\r\n\nb\r\n", "a\r\n\r\n\r\nb\r\n"},
        {"zero byte", std::string("a\r\nb\0c\r\n", 8), "a\r\nb\r\n"},
        {"repeats in two cases", "x@y\r\nX@Y\r\nx@y\r\n", "x@y\r\nX@Y\r\nx@y\r\n"},
        {"high bytes kept", "\xE9@\xFC\r\n", "\xE9@\xFC\r\n"},
    };
    for (const RoundTripCase& c : cases) {
        TestFolder folder;
        const std::string path = folder.path("emails.txt");
        writeBytes(path, c.onDisk);
        EmailList list;
        list.LoadFromFile(path);
        list.SaveToFile(path);
        EXPECT_EQ(readBytes(path), c.afterSave) << c.what;
    }
}

TEST(EmailListFile, LoadReplacesTheEntries)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeBytes(path, "new@x\r\n");
    EmailList list = listOf({"old@x", "older@x"});
    list.LoadFromFile(path);
    EXPECT_EQ(list.entries(), Strings{"new@x"});
    EXPECT_EQ(list.Find("OLD@X"), -1);
    EXPECT_EQ(list.Find("NEW@X"), 0);
}

TEST(AddressStoreStartup, MissingFileOrFolderGivesAnEmptyList)
{
    TestFolder folder;
    EmailList missing;
    loadAddressStore(missing, folder.path("emails.txt"));
    EXPECT_EQ(missing.Count(), 0);

    std::filesystem::create_directory(folder.path("emails.txt"));
    EmailList folderNamedLikeTheFile;
    loadAddressStore(folderNamedLikeTheFile, folder.path("emails.txt"));
    EXPECT_EQ(folderNamedLikeTheFile.Count(), 0);
}

TEST(AddressStoreStartup, LoadsAndSorts)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeBytes(path, "b@x\rA@x\r\r");
    EmailList list;
    loadAddressStore(list, path);
    EXPECT_EQ(list.entries(), (Strings{"", "A@x", "b@x"}));
    // The first collection is appended after the sorted entries.
    collectInto(list, "a@a B@X");
    EXPECT_EQ(list.entries(), (Strings{"", "A@x", "b@x", "a@a"}));
}

TEST(AddressStoreStartup, FileHeldForWritingFailsWithTheOpenMessage)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeBytes(path, "a@b\r\n");
    const int holder = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EmailList list;
    try {
        loadAddressStore(list, path);
        ADD_FAILURE() << "loading a file held for writing succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), cannotOpenFileMessage(path, systemErrorText(EWOULDBLOCK)));
    }
    EXPECT_EQ(list.Count(), 0);
    ::close(holder);
    EXPECT_EQ(readBytes(path), "a@b\r\n");
}

TEST(EmailListFile, FailedSaveKeepsTheListAndTheFile)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    std::filesystem::create_directory(path);
    EmailList list = listOf({"a@b"});
    EXPECT_THROW(list.SaveToFile(path), Error);
    EXPECT_EQ(list.entries(), Strings{"a@b"});
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

struct SortCase {
    Strings before;
    Strings after;
};

// Expected orders traced by hand through the quicksort; entries that differ
// only in letter case end up in the order the exchanges leave them.
TEST(EmailListSort, GivesTheQuicksortOrderForEqualKeys)
{
    const SortCase cases[] = {
        {{}, {}},
        {{"B"}, {"B"}},
        {{"b", "a"}, {"a", "b"}},
        {{"b", "A", "a", "B"}, {"a", "A", "B", "b"}},
        {{"B", "a", "A", "b", "a"}, {"A", "a", "a", "B", "b"}},
        {{"x", "", "X", ""}, {"", "", "x", "X"}},
    };
    for (const SortCase& c : cases) {
        EmailList list = listOf(c.before);
        list.Sort();
        EXPECT_EQ(list.entries(), c.after);
    }
}

std::string randomText(std::mt19937& random, const std::string& alphabet, int maxLength)
{
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, maxLength);
    std::string text;
    for (int n = length(random); n > 0; --n)
        text.push_back(alphabet[pick(random)]);
    return text;
}

TEST(EmailListSort, SortsRandomListsIntoAPermutationInOrder)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        Strings entries;
        const int count = round % 60;
        for (int i = 0; i < count; ++i)
            entries.push_back(randomText(random, "aAbB@.", 4));
        EmailList list = listOf(entries);
        list.Sort();
        for (int i = 1; i < list.Count(); ++i)
            ASSERT_LE(compareIgnoringCase(list[i - 1], list[i]), 0) << "round " << round << " at " << i;
        Strings sorted = list.entries();
        std::sort(sorted.begin(), sorted.end());
        std::sort(entries.begin(), entries.end());
        ASSERT_EQ(sorted, entries) << "round " << round;
    }
}

TEST(EmailListLookup, FindAgreesWithIndexOfOnRandomLists)
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        EmailList list;
        const int count = round % 40;
        for (int i = 0; i < count; ++i)
            list.Add(randomText(random, "aAbB", 3));
        if (round % 2 == 1)
            list.Sort();
        // Entries added after the sort come after the sorted ones; a repeat
        // among them must not take over the first position.
        for (int i = 0; i < 5; ++i)
            list.Add(randomText(random, "aAbB", 3));
        for (int i = 0; i < 5; ++i) {
            const std::string text = randomText(random, "aAbBc", 3);
            const bool wasThere = list.IndexOf(text) >= 0;
            const int before = list.Count();
            ASSERT_EQ(list.AddIfAbsent(text), !wasThere) << text;
            ASSERT_EQ(list.Count(), before + (wasThere ? 0 : 1));
        }
        for (int probe = 0; probe < 30; ++probe) {
            const std::string text = randomText(random, "aAbBc", 3);
            ASSERT_EQ(list.Find(text), list.IndexOf(text)) << "round " << round << " text " << text;
        }
    }
}

TEST(EmailListLookup, IndexOfIsTheFirstEqualEntry)
{
    const EmailList list = listOf({"b@x", "A@X", "a@x", ""});
    EXPECT_EQ(list.IndexOf("a@x"), 1);
    EXPECT_EQ(list.IndexOf("B@X"), 0);
    EXPECT_EQ(list.IndexOf(""), 3);
    EXPECT_EQ(list.IndexOf("c@x"), -1);
    EXPECT_EQ(list.IndexOf("a@x "), -1);
}

} // namespace
} // namespace vornik
