// Automatic mnemonics over arbitrary menu captions, and the typed-character
// lookup over the marked result.
#include "tests/fuzz/fuzzcheck.h"
#include "widgets/mnemonics.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The caption as the menu shows it: a single "&" marks the next character and
// is not shown, "&&" shows one "&".
std::string shown(const std::string& caption)
{
    std::string text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        text.push_back(caption[i]);
    }
    return text;
}

bool inPool(char c)
{
    return c != 0 && std::strchr(vornik::kMnemonicPool, c) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const char typed = input.ConsumeIntegral<char>();
    const int highlighted = input.ConsumeIntegralInRange(-1, 40);
    std::vector<std::string> captions;
    while (input.remaining_bytes() > 0 && captions.size() < 40) {
        // Captions are zero-terminated texts in the menu, so they never hold
        // a zero byte (which mnemonicOf could not tell from "no mnemonic").
        std::string caption = input.ConsumeRandomLengthString(16);
        std::erase(caption, '\0');
        if (!caption.empty() && caption != "-")
            captions.push_back(std::move(caption));
    }

    const std::vector<std::string> marked = vornik::assignMnemonics(captions);
    FUZZ_CHECK(marked.size() == captions.size());
    std::set<char> used;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        FUZZ_CHECK(shown(marked[i]) == shown(captions[i]));
        const char before = vornik::mnemonicOf(captions[i]);
        const char after = vornik::mnemonicOf(marked[i]);
        // A caption keeps its pool mnemonic unless an earlier one holds it.
        if (inPool(before) && used.count(before) == 0)
            FUZZ_CHECK(after == before);
        if (inPool(after))
            FUZZ_CHECK(used.insert(after).second);
    }

    std::vector<vornik::MenuCharItem> items;
    for (std::size_t i = 0; i < marked.size(); ++i)
        items.push_back({marked[i], i % 3 != 2, i % 5 == 4});
    const vornik::MenuCharAnswer answer = vornik::menuCharAnswer(items, typed, highlighted);
    if (answer.action == vornik::MenuCharAction::Execute || answer.action == vornik::MenuCharAction::Select) {
        FUZZ_CHECK(answer.index >= 0 && answer.index < static_cast<int>(items.size()));
        const vornik::MenuCharItem& item = items[static_cast<std::size_t>(answer.index)];
        FUZZ_CHECK(item.enabled && !item.separator);
    }
    return 0;
}
