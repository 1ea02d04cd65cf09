#include "platform/posix/collation.h"

#include <cctype>
#include <clocale>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace vornik {

namespace {

// The lower-case forms of the ASCII characters in the current locale, looked
// up once per locale rather than once per character: folding is on the path
// of every lookup in the address list.
struct AsciiFolding {
    std::string localeName;
    // The lower-case character, or 0 when it lies outside ASCII (the Turkish
    // dotless i, for one) and has to be encoded.
    char lower[128] = {};
    bool filled = false;
};

const AsciiFolding& asciiFolding()
{
    static AsciiFolding folding;
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    if (name == nullptr)
        name = "";
    if (!folding.filled || folding.localeName != name) {
        folding.localeName = name;
        folding.filled = true;
        for (int c = 0; c < 128; ++c) {
            const wint_t lower = std::towlower(static_cast<wint_t>(c));
            folding.lower[c] = lower < 0x80 ? static_cast<char>(lower) : '\0';
        }
    }
    return folding;
}

void appendFoldedMultibyte(std::string& out, std::string_view text)
{
    const AsciiFolding& ascii = asciiFolding();
    std::mbstate_t state{};
    char encoded[MB_LEN_MAX];
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            // Every encoding the C library supports keeps ASCII as it is; its
            // case mapping can still be the locale's own (Turkish dotted I).
            const char folded = ascii.lower[byte];
            if (folded != '\0' || byte == 0) {
                out.push_back(folded);
            } else {
                const auto lower = static_cast<wchar_t>(std::towlower(byte));
                std::mbstate_t outState{};
                const std::size_t length = std::wcrtomb(encoded, lower, &outState);
                if (length == static_cast<std::size_t>(-1))
                    out.push_back(static_cast<char>(byte));
                else
                    out.append(encoded, length);
            }
            ++i;
            continue;
        }
        wchar_t wide = 0;
        const std::size_t used = std::mbrtowc(&wide, text.data() + i, text.size() - i, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0) {
            // Not a character: the byte is kept, and decoding starts afresh.
            out.push_back(static_cast<char>(byte));
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        std::mbstate_t outState{};
        const std::size_t length = std::wcrtomb(encoded, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wide))),
                                                &outState);
        if (length == static_cast<std::size_t>(-1))
            out.append(text.data() + i, used);
        else
            out.append(encoded, length);
        i += used;
    }
}

// The locale's transform stops at the first zero byte, like the comparison
// it stands for; the folded bytes that follow still break ties.
std::string transformed(const std::string& folded)
{
    const char* source = folded.c_str();
    std::string result(folded.size() * 4 + 16, '\0');
    std::size_t needed = std::strxfrm(result.data(), source, result.size());
    if (needed >= result.size()) {
        result.assign(needed + 1, '\0');
        needed = std::strxfrm(result.data(), source, result.size());
    }
    result.resize(needed);
    return result;
}

} // namespace

std::string caseFolded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    if (MB_CUR_MAX == 1) {
        for (char c : text)
            out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    } else {
        appendFoldedMultibyte(out, text);
    }
    return out;
}

CollationKey collationKey(std::string_view text)
{
    CollationKey key;
    key.folded = caseFolded(text);
    key.collated = transformed(key.folded);
    return key;
}

int compareIgnoringCase(std::string_view a, std::string_view b)
{
    const std::string foldedA = caseFolded(a);
    const std::string foldedB = caseFolded(b);
    if (foldedA == foldedB)
        return 0;
    // strcoll orders as the byte-wise comparison of the strxfrm transforms
    // does, so this agrees with CollationKey.
    if (const int order = std::strcoll(foldedA.c_str(), foldedB.c_str()))
        return order < 0 ? -1 : 1;
    return foldedA < foldedB ? -1 : 1;
}

} // namespace vornik
