#include "platform/posix/addressfolder.h"

#include "platform/posix/files.h"

#include <cerrno>
#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornik {

namespace {

std::string_view withoutTrailingSlashes(std::string_view folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return folder;
}

std::string joined(std::string_view folder, std::string_view name)
{
    std::string path(withoutTrailingSlashes(folder));
    if (path != "/")
        path += '/';
    return path + std::string(name);
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    // A session started without HOME (some service managers do that) still
    // has an account entry.
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// Creates the folder and any missing parents; parents made here get the
// same private mode, as the XDG rule asks for the data folder itself.
void createFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return;
        if (slash == std::string::npos)
            return;
    }
}

} // namespace

std::string chooseAddressFolder(std::string_view executableFolder, bool mayCreateFilesInExecutableFolder,
                                std::string_view xdgDataHome, std::string_view home)
{
    if (mayCreateFilesInExecutableFolder)
        return std::string(withoutTrailingSlashes(executableFolder));
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/')
        return joined(xdgDataHome, "vornik-tools");
    if (!home.empty() && home.front() == '/')
        return joined(joined(home, ".local/share"), "vornik-tools");
    return std::string(withoutTrailingSlashes(executableFolder));
}

bool mayCreateFilesIn(const std::string& folder)
{
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

const std::string& addressFolder()
{
    static const std::string folder = [] {
        const std::string executable = executableDir();
        const bool besideExecutable = mayCreateFilesIn(executable);
        const char* xdg = std::getenv("XDG_DATA_HOME");
        std::string chosen = chooseAddressFolder(executable, besideExecutable, xdg ? xdg : "",
                                                 besideExecutable ? std::string() : homeFolder());
        if (chosen != executable)
            createFolders(chosen);
        return chosen;
    }();
    return folder;
}

} // namespace vornik
