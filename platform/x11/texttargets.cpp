#include "platform/x11/texttargets.h"

#include <algorithm>
#include <cctype>

namespace vornik {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether the target is text/plain, with or without parameters.
bool isTextPlain(std::string_view target)
{
    return equalsIgnoringCase(trimmed(target.substr(0, target.find(';'))), "text/plain");
}

bool isUtf8(std::string_view charset) { return equalsIgnoringCase(charset, "utf-8") || equalsIgnoringCase(charset, "utf8"); }

} // namespace

std::string mimeCharset(std::string_view target)
{
    if (!isTextPlain(target))
        return {};
    std::size_t start = target.find(';');
    while (start != std::string_view::npos) {
        const std::size_t end = target.find(';', start + 1);
        const std::string_view parameter = target.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && equalsIgnoringCase(trimmed(parameter.substr(0, equals)), "charset")) {
            std::string_view value = trimmed(parameter.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return std::string(value);
        }
        start = end;
    }
    return {};
}

std::optional<std::string> chooseTextTarget(const std::vector<std::string>& offered,
                                            const std::function<bool(const std::string& charset)>& canDecode)
{
    // Lower ranks are better; offers that are no text get none.
    const auto rank = [&](const std::string& target) -> std::optional<int> {
        if (target == "UTF8_STRING")
            return 0;
        if (target == "COMPOUND_TEXT")
            return 2;
        if (target == "TEXT")
            return 3;
        if (target == "STRING")
            return 5;
        if (!isTextPlain(target))
            return std::nullopt;
        const std::string charset = mimeCharset(target);
        if (charset.empty())
            return 6;
        if (isUtf8(charset))
            return 1;
        if (canDecode(charset))
            return 4;
        return std::nullopt;
    };
    std::optional<std::string> best;
    int bestRank = 0;
    for (const std::string& target : offered)
        if (const std::optional<int> r = rank(target); r && (!best || *r < bestRank)) {
            best = target;
            bestRank = *r;
        }
    return best;
}

TextDecoding textDecoding(std::string_view target, std::string_view replyType)
{
    if (replyType == "UTF8_STRING")
        return {TextEncoding::Charset, "UTF-8"};
    if (replyType == "STRING")
        return {TextEncoding::Charset, "ISO-8859-1"};
    if (replyType == "COMPOUND_TEXT")
        return {TextEncoding::CompoundText, {}};
    if (target == "STRING")
        return {TextEncoding::Charset, "ISO-8859-1"};
    const std::string charset = mimeCharset(target);
    return {TextEncoding::Charset, charset.empty() ? std::string("UTF-8") : charset};
}

} // namespace vornik
