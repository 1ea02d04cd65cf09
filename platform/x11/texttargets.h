#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// How the bytes of a clipboard answer are to be read as text.
enum class TextEncoding {
    Charset,      // the named charset (UTF-8, ISO-8859-1, or one a text/plain offer names)
    CompoundText, // X11 compound text, which switches character sets with escape sequences
};

struct TextDecoding {
    TextEncoding encoding = TextEncoding::Charset;
    std::string charset; // for TextEncoding::Charset
};

// The charset that a "text/plain;charset=..." target names, without quotes,
// as written; "" for a target that is not text/plain or names no charset.
std::string mimeCharset(std::string_view target);

// Which of the targets a clipboard owner offers to ask for the text in, or
// nothing when none of them is text. Unicode forms come first (UTF8_STRING,
// then text/plain in UTF-8, COMPOUND_TEXT, TEXT), then text/plain in another
// charset that canDecode accepts, then Latin-1 STRING, and last a text/plain
// without charset. Target names compare as X11 and MIME compare them: the
// X11 names exactly, the MIME type and charset ignoring letter case.
std::optional<std::string> chooseTextTarget(const std::vector<std::string>& offered,
                                            const std::function<bool(const std::string& charset)>& canDecode);

// How to read the answer to a request for target when it came back with the
// given type. The X11 text types say it themselves (an owner asked for TEXT
// picks one of them); otherwise a text/plain target's charset counts, and
// UTF-8, a superset of the ASCII that a bare text/plain stands for, when it
// names none.
TextDecoding textDecoding(std::string_view target, std::string_view replyType);

} // namespace vornik
