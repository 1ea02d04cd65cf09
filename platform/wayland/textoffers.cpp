#include "platform/wayland/textoffers.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vornik {

namespace {

// A MIME type with its blanks dropped and the charset value in lower case,
// so that "text/plain; charset=UTF-8" matches "text/plain;charset=utf-8".
// Other types are compared exactly: the X11 names are case-sensitive.
std::string normalised(std::string_view type)
{
    if (type.substr(0, 10) != "text/plain")
        return std::string(type);
    std::string result;
    for (char c : type)
        if (c != ' ' && c != '\t')
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

} // namespace

std::optional<std::string> chooseTextOffer(const std::vector<std::string>& offered)
{
    static constexpr std::array<std::string_view, 5> kPreference = {
        "text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"};
    for (std::string_view wanted : kPreference)
        for (const std::string& type : offered)
            if (normalised(type) == wanted)
                return type;
    return std::nullopt;
}

bool offerMarksSecret(const std::vector<std::string>& offered)
{
    return std::find(offered.begin(), offered.end(), kSecretHintType) != offered.end();
}

bool textTypeIsLatin1(std::string_view type)
{
    return type == "STRING";
}

} // namespace vornik
