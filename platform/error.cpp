#include "platform/error.h"

#include <cstring>

namespace vornik {

std::string cannotOpenFileMessage(const std::string& path, const std::string& systemText)
{
    return "Cannot open file \"" + path + "\". " + systemText;
}

std::string cannotCreateFileMessage(const std::string& path, const std::string& systemText)
{
    return "Cannot create file \"" + path + "\". " + systemText;
}

std::string systemErrorText(int errorNumber)
{
    std::string text = std::strerror(errorNumber);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.'))
        text.pop_back();
    return text;
}

} // namespace vornik
