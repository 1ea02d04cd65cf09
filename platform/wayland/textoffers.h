#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// The type a password manager adds to a copy that must not be kept.
inline constexpr std::string_view kSecretHintType = "x-kde-passwordManagerHint";

// Which of the types a clipboard offer lists to read as text: the first of
// text/plain;charset=utf-8, UTF8_STRING, text/plain, TEXT and STRING that is
// offered, as the offer spells it; none when no text type is offered. The
// charset parameter is matched as MIME says, ignoring letter case and blanks.
std::optional<std::string> chooseTextOffer(const std::vector<std::string>& offered);

// The offer carries the password manager's hint.
bool offerMarksSecret(const std::vector<std::string>& offered);

// How the bytes of the chosen type are to be read: STRING is Latin-1, every
// other text type UTF-8.
bool textTypeIsLatin1(std::string_view type);

} // namespace vornik
