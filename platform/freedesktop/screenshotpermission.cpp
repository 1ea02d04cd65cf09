#include "platform/freedesktop/screenshotpermission.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

namespace vornik {

namespace {

// systemd writes characters outside [A-Za-z0-9:_.] of a unit name as \xNN.
std::string unescapeUnitName(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The cgroup path of the hierarchy that names the unit.
std::string_view unitPathOf(std::string_view cgroupFile)
{
    std::string_view unified, systemd;
    while (!cgroupFile.empty()) {
        const std::size_t end = cgroupFile.find('\n');
        std::string_view line = cgroupFile.substr(0, end);
        cgroupFile.remove_prefix(end == std::string_view::npos ? cgroupFile.size() : end + 1);
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos)
            continue;
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (id == "0" && controllers.empty())
            unified = path;
        else if (controllers == "name=systemd")
            systemd = path;
    }
    return !unified.empty() && unified != "/" ? unified : systemd;
}

} // namespace

std::string portalAppIdFromCgroup(std::string_view cgroupFile)
{
    const std::string_view path = unitPathOf(cgroupFile);
    const std::size_t slash = path.rfind('/');
    const std::string unit(slash == std::string_view::npos ? path : path.substr(slash + 1));
    // app-[LAUNCHER-]ID[-RANDOM|@RANDOM][-autostart].(scope|service|slice)
    static const std::regex pattern(
        R"(^app-(?:[[:alnum:]]+-)?(.+?\..+?\..+?)(?:[@-][[:alnum:]]*)?(?:-autostart)?(?:\.scope|\.service|\.slice)$)");
    std::smatch match;
    if (!std::regex_match(unit, match, pattern))
        return {};
    return unescapeUnitName(match[1].str());
}

std::string ownPortalAppId()
{
    std::ifstream in("/proc/self/cgroup", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return portalAppIdFromCgroup(text);
}

bool sessionIsGnome()
{
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    if (!desktops)
        return false;
    std::string_view list(desktops);
    while (!list.empty()) {
        const std::size_t end = list.find(':');
        if (list.substr(0, end) == "GNOME")
            return true;
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    }
    return false;
}

std::string allowScreenshotsCommand(const std::string& appId)
{
    return "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
           "--object-path /org/freedesktop/impl/portal/PermissionStore "
           "--method org.freedesktop.impl.portal.PermissionStore.SetPermission screenshot true screenshot " +
           appId + " \"['yes']\"";
}

} // namespace vornik
