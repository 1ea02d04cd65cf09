#pragma once

#include <string>
#include <string_view>

namespace vornik {

// Keeps only the bytes an address may hold: ASCII letters and digits, ".",
// "_", "-" and "@", in their order. Everything else, bytes from 0x80 up
// included, is dropped.
std::string cleanemail(std::string_view word);

// The rules a cleaned word breaks, as the concatenation of their messages;
// empty when the word is acceptable.
std::string checkemail(std::string_view word);

// The three messages, as single-byte text ("\xE1" is a-acute, "\xF3" o-acute).
inline constexpr std::string_view kDotAfterAt = "@ ut\xE1n nem lehet .<br>";
inline constexpr std::string_view kDotAtEnd = ". nem lehet az utols\xF3 karakter<br>";
inline constexpr std::string_view kExactlyOneAt = "pontosan egy @ karakter lehet benne<br>";

} // namespace vornik
