#pragma once

#include <stdexcept>
#include <string>

namespace vornik {

// Every failure the program reports travels as one of these: the message is
// the text the user sees, as single-byte text in the locale's encoding. It is
// caught once, at the application's event boundary, and shown there.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The fixed messages, with printf-style placeholders where they take values.
inline constexpr const char* kCannotOpenClipboard = "Cannot open clipboard";
inline constexpr const char* kStreamWriteError = "Stream write error";

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s".
std::string cannotOpenFileMessage(const std::string& path, const std::string& systemText);
std::string cannotCreateFileMessage(const std::string& path, const std::string& systemText);

// The system's text for an errno value, without trailing blanks, control
// bytes or full stop, so it reads well after the fixed part of a message.
std::string systemErrorText(int errorNumber);

} // namespace vornik
