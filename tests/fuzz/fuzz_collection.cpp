// The collection pass over arbitrary clipboard text, into a list that already
// holds a few arbitrary entries.
#include "collector/collectionpass.h"
#include "collector/emailfilter.h"
#include "platform/posix/collation.h"
#include "tests/fuzz/fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

// A multibyte locale takes letter-case folding through its harder path.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    vornik::EmailList list;
    const int preloaded = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < preloaded; ++i)
        list.Add(input.ConsumeRandomLengthString(24));
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::vector<std::string> candidates = vornik::cutCandidates(text);
    for (const std::string& candidate : candidates) {
        FUZZ_CHECK(vornik::checkemail(candidate).empty());
        FUZZ_CHECK(vornik::cleanemail(candidate) == candidate);
    }

    const std::vector<std::string> before = list.entries();
    std::set<std::string> folded;
    for (const std::string& entry : before)
        folded.insert(vornik::caseFolded(entry));

    const int added = vornik::collectInto(list, text);
    FUZZ_CHECK(added >= 0 && list.Count() == static_cast<int>(before.size()) + added);
    for (std::size_t i = 0; i < before.size(); ++i)
        FUZZ_CHECK(list[static_cast<int>(i)] == before[i]);

    // The new entries are the candidates not held yet in any letter case, in
    // the order they came, each once.
    std::size_t next = before.size();
    for (const std::string& candidate : candidates) {
        if (!folded.insert(vornik::caseFolded(candidate)).second)
            continue;
        FUZZ_CHECK(next < static_cast<std::size_t>(list.Count()));
        FUZZ_CHECK(list[static_cast<int>(next)] == candidate);
        ++next;
    }
    FUZZ_CHECK(next == static_cast<std::size_t>(list.Count()));

    // The index answers what a scan of the entries answers.
    if (list.Count() <= 64) {
        for (const std::string& candidate : candidates)
            FUZZ_CHECK(list.Find(candidate) == list.IndexOf(candidate) && list.Find(candidate) >= 0);
        for (int i = 0; i < list.Count(); ++i)
            FUZZ_CHECK(list.Find(list[i]) == list.IndexOf(list[i]));
    }
    return 0;
}
