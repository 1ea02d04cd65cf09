#include "platform/x11/texttargets.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornik {
namespace {

using Strings = std::vector<std::string>;

// A converter that knows only these charsets, whatever the system's knows.
bool knownCharset(const std::string& charset) { return charset == "ISO-8859-2" || charset == "utf-16le"; }

struct ChoiceCase {
    Strings offered;
    const char* chosen; // nullptr: no text offered
};

TEST(ChooseTextTarget, TakesTheBestTextFormOnOffer)
{
    const ChoiceCase cases[] = {
        {{}, nullptr},
        {{"TARGETS", "TIMESTAMP", "image/png", "MULTIPLE"}, nullptr},
        {{"TARGETS", "STRING", "TEXT", "COMPOUND_TEXT", "text/plain;charset=utf-8", "UTF8_STRING"}, "UTF8_STRING"},
        {{"STRING", "text/plain", "text/plain;charset=ISO-8859-2", "TEXT", "text/plain;charset=utf-8"},
         "text/plain;charset=utf-8"},
        {{"text/plain", "STRING", "text/plain;charset=ISO-8859-2", "TEXT", "COMPOUND_TEXT"}, "COMPOUND_TEXT"},
        {{"text/plain", "STRING", "text/plain;charset=ISO-8859-2", "TEXT"}, "TEXT"},
        {{"text/plain", "STRING", "text/plain;charset=ISO-8859-2"}, "text/plain;charset=ISO-8859-2"},
        {{"text/plain", "STRING"}, "STRING"},
        {{"image/png", "text/plain"}, "text/plain"},
        // MIME names ignore letter case and blanks around parameters; X11 names do not.
        {{"STRING", "Text/Plain ; Charset=\"UTF-8\""}, "Text/Plain ; Charset=\"UTF-8\""},
        {{"TEXT/PLAIN;charset=utf8", "STRING"}, "TEXT/PLAIN;charset=utf8"},
        {{"utf8_string", "string", "text"}, nullptr},
        // A charset that cannot be converted is no text to this reader.
        {{"text/plain;charset=x-unheard-of"}, nullptr},
        {{"text/plain;charset=x-unheard-of", "text/plain"}, "text/plain"},
        {{"text/plain;charset=x-unheard-of", "text/plain;charset=utf-16le"}, "text/plain;charset=utf-16le"},
        // Only text/plain carries text; other text types are not plain text.
        {{"text/html;charset=utf-8", "text/uri-list", "text/plainer"}, nullptr},
    };
    for (const ChoiceCase& c : cases) {
        const std::optional<std::string> chosen = chooseTextTarget(c.offered, knownCharset);
        std::string offered;
        for (const std::string& name : c.offered)
            offered += name + " | ";
        EXPECT_EQ(chosen.value_or("(none)"), c.chosen ? c.chosen : "(none)") << offered;
    }
}

TEST(TextDecoding, FollowsTheReplyTypeThenTheTargetsCharset)
{
    struct Case {
        const char* target;
        const char* replyType;
        TextEncoding encoding;
        const char* charset;
    };
    const Case cases[] = {
        {"UTF8_STRING", "UTF8_STRING", TextEncoding::Charset, "UTF-8"},
        {"STRING", "STRING", TextEncoding::Charset, "ISO-8859-1"},
        {"STRING", "TEXT", TextEncoding::Charset, "ISO-8859-1"},
        {"COMPOUND_TEXT", "COMPOUND_TEXT", TextEncoding::CompoundText, ""},
        // TEXT lets the owner choose, and the type tells which it chose.
        {"TEXT", "COMPOUND_TEXT", TextEncoding::CompoundText, ""},
        {"TEXT", "STRING", TextEncoding::Charset, "ISO-8859-1"},
        {"TEXT", "UTF8_STRING", TextEncoding::Charset, "UTF-8"},
        {"text/plain;charset=ISO-8859-2", "text/plain;charset=ISO-8859-2", TextEncoding::Charset, "ISO-8859-2"},
        {"text/plain; charset=\"utf-16le\"", "ATOM", TextEncoding::Charset, "utf-16le"},
        {"text/plain", "text/plain", TextEncoding::Charset, "UTF-8"},
    };
    for (const Case& c : cases) {
        const TextDecoding decoding = textDecoding(c.target, c.replyType);
        EXPECT_EQ(decoding.encoding, c.encoding) << c.target << " as " << c.replyType;
        if (c.encoding == TextEncoding::Charset) {
            EXPECT_EQ(decoding.charset, c.charset) << c.target << " as " << c.replyType;
        }
    }
}

TEST(MimeCharset, ReadsTheCharsetParameterOfTextPlainOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"text/plain", ""},
        {"text/plain;charset=utf-8", "utf-8"},
        {"text/plain; format=flowed; charset=\"ISO-8859-2\" ", "ISO-8859-2"},
        {"text/plain;charset=", ""},
        {"text/plain;charsets=utf-8", ""},
        {"text/html;charset=utf-8", ""},
        {"charset=utf-8", ""},
    };
    for (const auto& [target, charset] : cases)
        EXPECT_EQ(mimeCharset(target), charset) << target;
}

} // namespace
} // namespace vornik
