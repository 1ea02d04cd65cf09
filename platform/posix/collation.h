#pragma once

#include <string>
#include <string_view>

namespace vornik {

// Compares two texts in the locale's encoding (LC_CTYPE) by the locale's
// collation (LC_COLLATE), ignoring letter case. Returns -1, 0 or +1. The
// answer is 0 exactly when the texts differ at most in letter case; texts
// that the collation cannot tell apart otherwise are ordered by their bytes,
// so the result is a total order.
int compareIgnoringCase(std::string_view a, std::string_view b);

// The text with every letter in lower case, character by character in the
// locale's encoding; bytes that do not form a character stay as they are.
// Two texts compare equal above exactly when their folded forms are equal,
// so the folded form serves as a key for hashing.
std::string caseFolded(std::string_view text);

// A key whose byte-wise order (std::string's operator<) is the order of
// compareIgnoringCase: cheaper than comparing texts when one text takes part
// in many comparisons, as in sorting.
struct CollationKey {
    std::string collated; // the locale's transform of the folded text
    std::string folded;   // breaks ties between texts that collate alike

    friend int compare(const CollationKey& a, const CollationKey& b)
    {
        if (const int order = a.collated.compare(b.collated))
            return order < 0 ? -1 : 1;
        const int order = a.folded.compare(b.folded);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
};
CollationKey collationKey(std::string_view text);

} // namespace vornik
