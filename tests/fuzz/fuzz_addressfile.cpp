// The address file's parser and writer over arbitrary file contents.
#include "collector/emaillist.h"
#include "tests/fuzz/fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace {

// What the writer must give for a file read and written back: the content up
// to the first zero byte, with every line end (CR, LF or CR LF) as CR LF and
// the last line ended too.
std::string normalized(std::string_view bytes)
{
    bytes = bytes.substr(0, bytes.find('\0'));
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out.push_back(bytes[i]);
        }
    }
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = vornik::parseAddressFile(bytes);
    for (const std::string& line : lines)
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);

    const std::string written = vornik::formatAddressFile(std::deque<std::string>(lines.begin(), lines.end()));
    FUZZ_CHECK(written == normalized(bytes));
    FUZZ_CHECK(vornik::parseAddressFile(written) == lines);
    return 0;
}
