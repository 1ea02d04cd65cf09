#include "platform/files.h"

#include "platform/addressfolder.h"
#include "platform/error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornik {

namespace {

std::optional<std::size_t> g_writeLimit;

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now and reports the result, since for a written file a failing
    // close can be the first sign that the data did not reach the disk.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
    const std::string& path() const { return m_path; }
    void commit() { m_committed = true; }

private:
    std::string m_path;
    bool m_committed = false;
};

[[noreturn]] void throwOpenFailed(const std::string& path, int errorNumber)
{
    throw Error(cannotOpenFileMessage(path, systemErrorText(errorNumber)));
}

[[noreturn]] void throwCreateFailed(const std::string& path, int errorNumber)
{
    throw Error(cannotCreateFileMessage(path, systemErrorText(errorNumber)));
}

// The write permission bits decide, also for root: root may write anywhere,
// but a file or folder the user made read-only is meant to stay unchanged, and
// replacing the file by a rename would quietly defeat its read-only bit.
bool writable(const std::string& path, const struct stat& info)
{
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Writes everything or fails; the test limit acts like a disk that fills up.
bool writeAll(int fd, std::string_view content)
{
    std::size_t budget = g_writeLimit.value_or(content.size());
    std::size_t offset = 0;
    while (offset < content.size()) {
        std::size_t chunk = content.size() - offset;
        if (chunk > budget)
            chunk = budget;
        if (chunk == 0) {
            errno = ENOSPC;
            return false;
        }
        const ssize_t written = ::write(fd, content.data() + offset, chunk);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        offset += static_cast<std::size_t>(written);
        budget -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::string executableDir()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            throw Error(systemErrorText(errno));
        if (static_cast<std::size_t>(length) < buffer.size())
            return folderOf(std::string(buffer.data(), static_cast<std::size_t>(length)));
        buffer.resize(buffer.size() * 2);
    }
}

std::string addressFilePath()
{
    // In the root folder this gives "//emails.txt", which names the same file.
    return addressFolder() + "/emails.txt";
}

bool isExistingFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string readWholeFile(const std::string& path)
{
    // Non-blocking, so that a pipe of that name cannot hang the start-up.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        throwOpenFailed(path, errno);
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        throwOpenFailed(path, errno);
    if (S_ISDIR(info.st_mode))
        throwOpenFailed(path, EISDIR);
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0)
        throwOpenFailed(path, errno);

    std::string content;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        content.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwOpenFailed(path, errno);
        }
        if (got == 0)
            break;
        content.append(chunk, static_cast<std::size_t>(got));
    }
    return content;
}

void writeWholeFile(const std::string& path, std::string_view content)
{
    // A link is kept a link: its target is the file that gets replaced.
    std::string target = path;
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    bool exists = false;
    if (::stat(target.c_str(), &info) == 0) {
        exists = true;
        if (S_ISDIR(info.st_mode))
            throwCreateFailed(path, EISDIR);
        // Renaming over a device or a pipe would replace it by a plain file.
        if (!S_ISREG(info.st_mode))
            throwCreateFailed(path, EINVAL);
        if (!writable(target, info))
            throwCreateFailed(path, EACCES);
    } else if (errno != ENOENT) {
        throwCreateFailed(path, errno);
    }
    const mode_t mode = exists ? (info.st_mode & 07777) : (0666 & ~currentUmask());
    const uid_t owner = exists ? info.st_uid : static_cast<uid_t>(-1);
    const gid_t group = exists ? info.st_gid : static_cast<gid_t>(-1);

    const std::string folder = folderOf(target);
    struct stat folderInfo;
    if (::stat(folder.c_str(), &folderInfo) != 0)
        throwCreateFailed(path, errno);
    if (!writable(folder, folderInfo))
        throwCreateFailed(path, EACCES);

    // Held until the new file is in place, so that no other program reads a
    // file that is about to be replaced, and none that holds it is overridden.
    UniqueFd lock;
    if (exists) {
        lock.reset(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (lock.get() < 0)
            throwCreateFailed(path, errno);
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
            throwCreateFailed(path, errno);
    }

    std::string pattern = folder + "/." + nameOf(target) + ".XXXXXX";
    UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throwCreateFailed(path, errno);
    TemporaryFile temporary(pattern);
    if (::fchmod(fd.get(), mode) != 0)
        throwCreateFailed(path, errno);
    if (exists && ::geteuid() == 0 && (owner != ::geteuid() || group != ::getegid()) &&
        ::fchown(fd.get(), owner, group) != 0)
        throwCreateFailed(path, errno);

    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0 || fd.close() != 0)
        throw Error(kStreamWriteError);

    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
        throwCreateFailed(path, errno);
    temporary.commit();

    // The rename itself reaches the disk only with the folder's entries.
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() >= 0 && ::fsync(folderFd.get()) != 0 && errno != EINVAL && errno != EROFS)
        throw Error(kStreamWriteError);
}

void removeLeftoverTemporaryFiles(const std::string& path)
{
    const std::string folder = folderOf(path);
    const std::string prefix = "." + nameOf(path) + ".";
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr)
        return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        // mkostemp fills its six places with letters and digits only.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool generated = true;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            generated = generated && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
        }
        if (generated)
            leftovers.push_back(folder + "/" + name);
    }
    ::closedir(entries);
    for (const std::string& leftover : leftovers) {
        struct stat info;
        if (::lstat(leftover.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            ::unlink(leftover.c_str());
    }
}

void setWriteLimitForTesting(std::optional<std::size_t> bytes)
{
    g_writeLimit = bytes;
}

} // namespace vornik
