// Measures the collection pass and the address file, side by side with the
// references they are judged against, in one run:
//   - a pass over 1 MB holding 10,000 addresses, with an empty list and with
//     a 100,000-entry list (the ratio shows the lookup does not grow with the
//     list);
//   - the same pass against a plain memchr scan for "@" over the buffer;
//   - loading and sorting, and saving, a 100,000-entry address file.
#include "collector/collectionpass.h"
#include "collector/emaillist.h"
#include "platform/files.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Measured {
    std::function<void()> prepare; // runs untimed before each timed call
    std::function<void()> action;
    std::vector<double> times;

    double median()
    {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }
};

// Runs the actions in turn, round after round, so that all of them see the
// same load on a shared machine; their ratios are then fair.
void measureInterleaved(int rounds, std::vector<Measured*> measures)
{
    for (int round = 0; round < rounds; ++round) {
        for (Measured* m : measures) {
            if (m->prepare)
                m->prepare();
            const auto start = Clock::now();
            m->action();
            m->times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }
}

std::string randomWord(std::mt19937& random, int minLength, int maxLength)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<int> letter(0, 35);
    std::string word;
    for (int n = length(random); n > 0; --n)
        word.push_back(letters[letter(random)]);
    return word;
}

std::string randomAddress(std::mt19937& random)
{
    return randomWord(random, 4, 10) + "." + randomWord(random, 2, 8) + "@" + randomWord(random, 3, 9) + ".example";
}

// About 1 MB of prose with 10,000 addresses, dressed the way mail text is:
// some in angle brackets or after "mailto:", at line starts, before commas.
std::string makeText(std::mt19937& random, std::size_t size, int addresses)
{
    // The filler budget leaves room for the addresses themselves; the rest of
    // the size is filled up with words afterwards, so no address is cut off.
    const std::size_t fillerPerAddress = size / static_cast<std::size_t>(addresses) * 9 / 10;
    std::string text;
    text.reserve(size + 256);
    static const char* const dressing[] = {"", "<", "mailto:", "\r\n", "\t"};
    for (int a = 0; a < addresses; ++a) {
        const std::size_t target = text.size() + fillerPerAddress;
        text += dressing[a % 5];
        text += randomAddress(random);
        text += (a % 3 == 0) ? ">, " : " ";
        while (text.size() < target) {
            text += randomWord(random, 2, 9);
            text += (text.size() % 7 == 0) ? "\r\n" : " ";
        }
    }
    while (text.size() < size) {
        text += randomWord(random, 2, 9);
        text += ' ';
    }
    text.resize(size);
    return text;
}

} // namespace

int main()
{
    // The program follows the user's locale (the application object sets it
    // from the environment); so does the benchmark.
    std::setlocale(LC_ALL, "");
    std::printf("locale: %s\n", std::setlocale(LC_COLLATE, nullptr));

    std::mt19937 random(1);
    const std::string text = makeText(random, 1 << 20, 10000);
    vornik::EmailList big;
    while (big.Count() < 100000)
        big.Add(randomAddress(random));

    vornik::EmailList working;
    int added = 0;
    const auto collect = [&] { added = vornik::collectInto(working, text); };
    int addedEmpty = 0, addedBig = 0;
    Measured emptyPass{[&] { working = vornik::EmailList(); }, [&] { collect(); addedEmpty = added; }, {}};
    Measured bigPass{[&] { working = big; }, [&] { collect(); addedBig = added; }, {}};
    std::size_t ats = 0;
    Measured scan{[&] { ats = 0; },
                  [&] {
                      const char* p = text.data();
                      const char* const end = p + text.size();
                      while ((p = static_cast<const char*>(std::memchr(p, '@', static_cast<std::size_t>(end - p))))) {
                          ++ats;
                          ++p;
                      }
                  },
                  {}};
    measureInterleaved(31, {&emptyPass, &bigPass, &scan});
    const double emptyMs = emptyPass.median();
    const double bigMs = bigPass.median();
    const double scanMs = scan.median();

    std::printf("pass over %zu bytes with %zu \"@\":\n", text.size(), ats);
    std::printf("  empty list:          %8.3f ms  (%d added)\n", emptyMs, addedEmpty);
    std::printf("  100,000-entry list:  %8.3f ms  (%d added)\n", bigMs, addedBig);
    std::printf("  ratio big/empty:     %8.2f  (must stay under 2)\n", bigMs / emptyMs);
    std::printf("  memchr scan:         %8.3f ms\n", scanMs);
    std::printf("  ratio pass/memchr:   %8.1f\n", emptyMs / scanMs);

    std::string pattern = (std::filesystem::temp_directory_path() / "vornik-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = pattern + "/emails.txt";
    big.SaveToFile(path);
    const auto fileSize = std::filesystem::file_size(path);

    vornik::EmailList loaded;
    Measured loadSort{[&] { loaded = vornik::EmailList(); }, [&] { vornik::loadAddressStore(loaded, path); }, {}};
    Measured save{nullptr, [&] { loaded.SaveToFile(path); }, {}};
    measureInterleaved(5, {&loadSort, &save});
    const double loadSortMs = loadSort.median();
    const double saveMs = save.median();
    std::printf("address file of %d entries (%ju bytes):\n", loaded.Count(), static_cast<uintmax_t>(fileSize));
    std::printf("  load + sort:         %8.3f ms\n", loadSortMs);
    std::printf("  save:                %8.3f ms\n", saveMs);

    std::filesystem::remove_all(pattern);
    return 0;
}
