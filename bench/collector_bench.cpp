// Measures the collection pass and the address file, side by side with the
// references they are judged against, in one run:
//   - a pass over 1 MB holding 10,000 addresses, with an empty list and with
//     a 100,000-entry list (the ratio shows the lookup does not grow with the
//     list);
//   - the same pass against a plain memchr scan for "@" over the buffer;
//   - loading and sorting, and saving, a 100,000-entry address file.
#include "collector/collectionpass.h"
#include "collector/emaillist.h"
#include "platform/posix/files.h"

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

#include <fcntl.h>
#include <unistd.h>

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

// The references for the address file: what reading and sorting the same
// lines with the standard library costs, and what the least crash-safe
// rewrite of the same bytes costs (write, flush to disk, rename, flush the
// folder), so that the ratios show the cost of the list's own work.
std::vector<std::string> readAndSortLines(const std::string& path)
{
    std::string content(std::filesystem::file_size(path), '\0');
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || std::fread(content.data(), 1, content.size(), file) != content.size())
        std::abort();
    std::fclose(file);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.emplace_back(content, start, end - start);
    std::sort(lines.begin(), lines.end(),
              [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()) < 0; });
    return lines;
}

void writeReplacing(const std::string& folder, const std::string& path, const std::string& content)
{
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()) ||
        ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0)
        std::abort();
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(folderFd);
    ::close(folderFd);
}

} // namespace

int main(int argc, char** argv)
{
    // With --machine the results come as "name value" lines (times in
    // milliseconds) for bench/run-table.sh instead of the report for people.
    const bool machine = argc > 1 && std::strcmp(argv[1], "--machine") == 0;
    // The program follows the user's locale (the application object sets it
    // from the environment); so does the benchmark.
    std::setlocale(LC_ALL, "");
    std::printf(machine ? "locale %s\n" : "locale: %s\n", std::setlocale(LC_COLLATE, nullptr));

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

    if (machine) {
        std::printf("text_bytes %zu\nat_signs %zu\npass_empty_ms %.4f\npass_big_ms %.4f\nmemchr_ms %.4f\n",
                    text.size(), ats, emptyMs, bigMs, scanMs);
        std::printf("added_empty %d\nadded_big %d\n", addedEmpty, addedBig);
    } else {
        std::printf("pass over %zu bytes with %zu \"@\":\n", text.size(), ats);
        std::printf("  empty list:          %8.3f ms  (%d added)\n", emptyMs, addedEmpty);
        std::printf("  100,000-entry list:  %8.3f ms  (%d added)\n", bigMs, addedBig);
        std::printf("  ratio big/empty:     %8.2f  (must stay under 2)\n", bigMs / emptyMs);
        std::printf("  memchr scan:         %8.3f ms\n", scanMs);
        std::printf("  ratio pass/memchr:   %8.1f\n", emptyMs / scanMs);
    }

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
    std::vector<Measured*> fileMeasures{&loadSort, &save};
    // The references run only for the machine-readable report.
    std::string fileBytes;
    std::size_t referenceLines = 0;
    const std::string referencePath = pattern + "/reference.txt";
    Measured referenceLoad{nullptr, [&] { referenceLines = readAndSortLines(path).size(); }, {}};
    Measured referenceSave{nullptr, [&] { writeReplacing(pattern, referencePath, fileBytes); }, {}};
    if (machine) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        fileBytes.resize(fileSize);
        if (file == nullptr || std::fread(fileBytes.data(), 1, fileBytes.size(), file) != fileBytes.size())
            return 1;
        std::fclose(file);
        fileMeasures.push_back(&referenceLoad);
        fileMeasures.push_back(&referenceSave);
    }
    measureInterleaved(5, fileMeasures);
    const double loadSortMs = loadSort.median();
    const double saveMs = save.median();
    if (machine) {
        std::printf("file_entries %d\nfile_bytes %ju\nload_sort_ms %.4f\nsave_ms %.4f\n", loaded.Count(),
                    static_cast<uintmax_t>(fileSize), loadSortMs, saveMs);
        std::printf("reference_lines %zu\nreference_load_sort_ms %.4f\nreference_save_ms %.4f\n", referenceLines,
                    referenceLoad.median(), referenceSave.median());
    } else {
        std::printf("address file of %d entries (%ju bytes):\n", loaded.Count(), static_cast<uintmax_t>(fileSize));
        std::printf("  load + sort:         %8.3f ms\n", loadSortMs);
        std::printf("  save:                %8.3f ms\n", saveMs);
    }

    std::filesystem::remove_all(pattern);
    return 0;
}
