#include "platform/freedesktop/picturesfolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

namespace vornik {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The value of a line `XDG_PICTURES_DIR="..."`, with the quotes' content
// unescaped (the file escapes '"', '\\', '$' and '`' with a backslash).
bool valueOf(std::string_view line, std::string& value)
{
    constexpr std::string_view key = "XDG_PICTURES_DIR";
    line = trimmed(line);
    if (line.substr(0, key.size()) != key)
        return false;
    line = trimmed(line.substr(key.size()));
    if (line.empty() || line.front() != '=')
        return false;
    line = trimmed(line.substr(1));
    if (line.size() < 2 || line.front() != '"')
        return false;
    value.clear();
    for (std::size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            return true;
        if (c == '\\' && i + 1 < line.size())
            value += line[++i];
        else
            value += c;
    }
    return false; // no closing quote
}

} // namespace

std::string picturesFolderFrom(std::string_view home, std::string_view userDirs)
{
    std::string found;
    bool have = false;
    while (!userDirs.empty()) {
        const std::size_t end = userDirs.find('\n');
        const std::string_view line = userDirs.substr(0, end);
        userDirs.remove_prefix(end == std::string_view::npos ? userDirs.size() : end + 1);
        if (!line.empty() && trimmed(line).substr(0, 1) == "#")
            continue;
        std::string value;
        if (valueOf(line, value)) {
            // The last line naming it counts, as when the file is sourced.
            found = std::move(value);
            have = true;
        }
    }
    std::string path;
    constexpr std::string_view homeVariable = "$HOME";
    if (have && found.compare(0, homeVariable.size(), homeVariable) == 0 &&
        (found.size() == homeVariable.size() || found[homeVariable.size()] == '/'))
        path = std::string(home) + found.substr(homeVariable.size());
    else if (have && !found.empty() && found.front() == '/')
        path = found;
    else
        path = std::string(home) + "/Pictures";
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.empty() ? std::string("/") : path;
}

std::string userPicturesFolder()
{
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return {};
    std::string homePath(home);
    while (homePath.size() > 1 && homePath.back() == '/')
        homePath.pop_back();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string configPath = config && *config == '/' ? std::string(config) : homePath + "/.config";
    std::ifstream in(configPath + "/user-dirs.dirs", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return picturesFolderFrom(homePath, text);
}

std::string makeFolderPath(const std::string& path)
{
    if (path.empty())
        return "no folder named";
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return std::strerror(errno);
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return std::strerror(ENOTDIR);
    return {};
}

} // namespace vornik
