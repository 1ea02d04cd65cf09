#include "collector/emailfilter.h"

namespace vornik {

namespace {

bool isAddressByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_' ||
           c == '-' || c == '@';
}

} // namespace

std::string cleanemail(std::string_view word)
{
    std::string result;
    result.reserve(word.size());
    for (char c : word)
        if (isAddressByte(static_cast<unsigned char>(c)))
            result.push_back(c);
    return result;
}

std::string checkemail(std::string_view word)
{
    std::string result;
    int atCount = 0;
    char previous = '\0';
    bool hasPrevious = false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if (c == '@')
            ++atCount;
        if (c == '.' && hasPrevious && previous == '@')
            result += kDotAfterAt;
        if (c == '.' && i + 1 == word.size())
            result += kDotAtEnd;
        previous = c;
        hasPrevious = true;
    }
    if (atCount != 1)
        result += kExactlyOneAt;
    return result;
}

} // namespace vornik
