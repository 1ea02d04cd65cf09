// cleanemail and checkemail over arbitrary bytes, checked against the rules
// they implement rather than against a copy of their code.
#include "collector/emailfilter.h"
#include "tests/fuzz/fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isAddressByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-' || c == '@';
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

void checkValidator(std::string_view word)
{
    std::size_t ats = 0;
    for (char c : word)
        ats += c == '@';
    const bool dotAfterAt = contains(word, "@.");
    const bool dotAtEnd = !word.empty() && word.back() == '.';
    const std::string verdict = vornik::checkemail(word);
    FUZZ_CHECK(verdict.empty() == (ats == 1 && !dotAfterAt && !dotAtEnd));
    FUZZ_CHECK(contains(verdict, vornik::kExactlyOneAt) == (ats != 1));
    FUZZ_CHECK(contains(verdict, vornik::kDotAfterAt) == dotAfterAt);
    FUZZ_CHECK(contains(verdict, vornik::kDotAtEnd) == dotAtEnd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view word(reinterpret_cast<const char*>(data), size);
    const std::string clean = vornik::cleanemail(word);

    // Exactly the address bytes of the word, in their order.
    std::string expected;
    for (char c : word)
        if (isAddressByte(c))
            expected.push_back(c);
    FUZZ_CHECK(clean == expected);
    FUZZ_CHECK(vornik::cleanemail(clean) == clean);

    checkValidator(word);
    checkValidator(clean);
    return 0;
}
