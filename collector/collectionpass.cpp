#include "collector/collectionpass.h"

#include "collector/emailfilter.h"

#include <cstring>

namespace vornik {

namespace {

// Line breaks and tabs end a word as a space does, so that an address at the
// start of a line is not joined to the end of the line before it.
bool endsWord(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::vector<std::string> cutCandidates(std::string_view text)
{
    std::vector<std::string> candidates;
    const char* const data = text.data();
    const std::size_t size = text.size();
    // Everything before rest has been dealt with; each byte is looked at by
    // the search for "@" and at most once more by the walk back to a word's
    // start, which never goes back past rest.
    std::size_t rest = 0;
    while (rest < size) {
        const void* found = std::memchr(data + rest, '@', size - rest);
        if (found == nullptr)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        std::size_t start = at;
        while (start > rest && !endsWord(data[start - 1]))
            --start;
        std::size_t end = at + 1;
        while (end < size && !endsWord(data[end]))
            ++end;
        std::string candidate = cleanemail(text.substr(start, end - start));
        if (checkemail(candidate).empty())
            candidates.push_back(std::move(candidate));
        rest = end + 1;
    }
    return candidates;
}

int collectInto(EmailList& list, std::string_view text)
{
    int added = 0;
    for (std::string& candidate : cutCandidates(text))
        if (list.AddIfAbsent(std::move(candidate)))
            ++added;
    return added;
}

} // namespace vornik
