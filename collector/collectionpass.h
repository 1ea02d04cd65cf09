#pragma once

#include "collector/emaillist.h"

#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// The accepted candidates of a text, in the order they stand, repeats
// included: for each "@" the word around it (between the nearest space, tab,
// CR or LF on either side, or the text's ends), cleaned with cleanemail and
// kept when checkemail finds nothing wrong. A further "@" in the same word
// belongs to that word, which then holds two and is rejected. The text is
// walked once, without copying what remains of it.
std::vector<std::string> cutCandidates(std::string_view text);

// The collection pass over a text without the save: appends to the list, in
// order, each accepted candidate that it does not hold yet in any letter
// case, so that a candidate found twice is stored once. Returns how many
// entries were added. The caller saves the list after every pass.
int collectInto(EmailList& list, std::string_view text);

} // namespace vornik
