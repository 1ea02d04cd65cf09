#include "platform/posix/files.h"

#include "platform/error.h"
#include "platform/posix/addressfolder.h"
#include "platform/posix/uniquefd.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornik {

namespace {

std::optional<std::size_t> g_writeLimit;
bool g_unnamedTemporaries = true;
void (*g_beforeCommit)() = nullptr;

// Names of the temporary files that hold a new content until it replaces the
// old: ".vornik-tools-unfinished-<writer's process id>-<16 hex digits>". No
// person names a file so, which lets a later start remove such files without
// ever touching one of the user's.
constexpr std::string_view kTemporaryPrefix = ".vornik-tools-unfinished-";
constexpr std::size_t kRandomDigits = 16;

std::string randomDigits()
{
    std::uint64_t value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
        // Only the uniqueness within the folder matters, which O_EXCL checks.
        static std::uint64_t counter = 0;
        value = static_cast<std::uint64_t>(::time(nullptr)) * 0x9E3779B97F4A7C15u ^ ++counter ^
                static_cast<std::uint64_t>(::getpid()) << 40;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string digits(kRandomDigits, '0');
    for (std::size_t i = 0; i < kRandomDigits; ++i, value >>= 4)
        digits[i] = kHex[value & 15];
    return digits;
}

std::string newTemporaryName()
{
    return std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" + randomDigits();
}

// The process that made the temporary file of that name, or nothing when
// the name is not exactly one of ours.
std::optional<pid_t> writerOfTemporaryName(std::string_view name)
{
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
        return std::nullopt;
    name.remove_prefix(kTemporaryPrefix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9 || name[0] == '0' ||
        name.size() != dash + 1 + kRandomDigits)
        return std::nullopt;
    pid_t pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        pid = pid * 10 + (name[i] - '0');
    }
    for (const char c : name.substr(dash + 1))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    return pid;
}

// A temporary name in a folder: removed again unless it has taken the
// target's place.
class TemporaryName {
public:
    explicit TemporaryName(int folderFd) : m_folderFd(folderFd) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName()
    {
        if (!m_name.empty() && !m_committed)
            ::unlinkat(m_folderFd, m_name.c_str(), 0);
    }
    // Calls make with fresh names until it succeeds or fails for another
    // reason than the name being taken; returns 0 or the error number.
    template <typename Make> int create(const Make& make)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = newTemporaryName();
            if (make(name)) {
                m_name = std::move(name);
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }
    const std::string& name() const { return m_name; }
    void commit() { m_committed = true; }

private:
    int m_folderFd;
    std::string m_name;
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

// Empties the file and writes the content into it, as the only way to save
// into a folder where no new file can be made. A failure after the file was
// emptied leaves it short, which is reported as a stream write error.
void rewriteInPlace(const std::string& path, std::string_view content)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0)
        throwCreateFailed(path, errno);
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        throwCreateFailed(path, errno);
    if (!S_ISREG(info.st_mode))
        throwCreateFailed(path, EINVAL);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd.get(), 0) != 0)
        throwCreateFailed(path, errno);
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0 || fd.close() != 0)
        throw Error(kStreamWriteError);
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
    // A link is not followed: it is the name that gets the new content, so
    // the link itself is replaced by a regular file and whatever it pointed
    // to (maybe nothing yet) is neither written nor created.
    struct stat info;
    bool replacesFile = false;
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throwCreateFailed(path, EISDIR);
        if (S_ISREG(info.st_mode)) {
            if (!writable(path, info))
                throwCreateFailed(path, EACCES);
            replacesFile = true;
        } else if (!S_ISLNK(info.st_mode)) {
            // Replacing a device or a pipe would swap it for a plain file.
            throwCreateFailed(path, EINVAL);
        }
    } else if (errno != ENOENT) {
        throwCreateFailed(path, errno);
    }

    const std::string folder = folderOf(path);
    struct stat folderInfo;
    if (::stat(folder.c_str(), &folderInfo) != 0)
        throwCreateFailed(path, errno);
    if (!S_ISDIR(folderInfo.st_mode))
        throwCreateFailed(path, ENOTDIR);
    if (!writable(folder, folderInfo)) {
        // No new file can be made beside it, but the file itself may be
        // written: the only way left is to rewrite it where it is.
        if (replacesFile) {
            rewriteInPlace(path, content);
            return;
        }
        throwCreateFailed(path, EACCES);
    }

    // Held until the new file is in place, so that no other program reads a
    // file that is about to be replaced, and none that holds it is overridden.
    UniqueFd lock;
    if (replacesFile) {
        lock.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        if (lock.get() < 0)
            throwCreateFailed(path, errno);
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
            throwCreateFailed(path, errno);
        if (::fstat(lock.get(), &info) != 0)
            throwCreateFailed(path, errno);
    }
    const mode_t mode = replacesFile ? (info.st_mode & 07777) : (0666 & ~currentUmask());

    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0)
        throwCreateFailed(path, errno);

    // The new content is written to a file without a name where the file
    // system allows it, so that a write cut short by a crash or a kill leaves
    // nothing behind; it is given a name only once it is complete.
    UniqueFd fd;
    bool unnamed = g_unnamedTemporaries;
    if (unnamed) {
        fd.reset(::openat(folderFd.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                const int error = errno;
                if ((error == EACCES || error == EPERM) && replacesFile) {
                    lock.reset(-1);
                    rewriteInPlace(path, content);
                    return;
                }
                throwCreateFailed(path, error);
            }
            unnamed = false;
        }
    }
    TemporaryName temporary(folderFd.get());
    if (!unnamed) {
        const int error = temporary.create([&](const std::string& name) {
            fd.reset(
                ::openat(folderFd.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return fd.get() >= 0;
        });
        if (error != 0) {
            if ((error == EACCES || error == EPERM) && replacesFile) {
                lock.reset(-1);
                rewriteInPlace(path, content);
                return;
            }
            throwCreateFailed(path, error);
        }
    }

    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0)
        throw Error(kStreamWriteError);
    // The mode is set only now, so that the bytes of a file made private by
    // its owner are never readable by others under a temporary name.
    if (::fchmod(fd.get(), mode) != 0)
        throwCreateFailed(path, errno);
    if (replacesFile && ::geteuid() == 0 && (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
        ::fchown(fd.get(), info.st_uid, info.st_gid) != 0)
        throwCreateFailed(path, errno);
    if (g_beforeCommit != nullptr)
        g_beforeCommit();

    if (unnamed) {
        const std::string procPath = "/proc/self/fd/" + std::to_string(fd.get());
        const int error = temporary.create([&](const std::string& name) {
            if (::linkat(AT_FDCWD, procPath.c_str(), folderFd.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return true;
            // Without /proc, the file can still be named by its descriptor
            // where the system allows that to this process.
            return errno == ENOENT && ::linkat(fd.get(), "", folderFd.get(), name.c_str(), AT_EMPTY_PATH) == 0;
        });
        if (error != 0)
            throwCreateFailed(path, error);
    }
    if (fd.close() != 0)
        throw Error(kStreamWriteError);
    if (::renameat(folderFd.get(), temporary.name().c_str(), folderFd.get(), nameOf(path).c_str()) != 0)
        throwCreateFailed(path, errno);
    temporary.commit();

    // The rename itself reaches the disk only with the folder's entries.
    if (::fsync(folderFd.get()) != 0 && errno != EINVAL && errno != EROFS)
        throw Error(kStreamWriteError);
}

void removeUnfinishedWritesBeside(const std::string& path)
{
    UniqueFd folderFd(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0)
        return;
    const int listFd = ::dup(folderFd.get());
    DIR* entries = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (entries == nullptr) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(entries)) {
        const std::optional<pid_t> writer = writerOfTemporaryName(entry->d_name);
        if (!writer)
            continue;
        // A writer that still runs (another copy of the program saving into
        // this folder) is not disturbed; this process writes nothing now.
        if (*writer != ::getpid() && !(::kill(*writer, 0) != 0 && errno == ESRCH))
            continue;
        leftovers.push_back(entry->d_name);
    }
    ::closedir(entries);
    for (const std::string& name : leftovers) {
        struct stat info;
        if (::fstatat(folderFd.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlinkat(folderFd.get(), name.c_str(), 0);
    }
}

void setWriteLimitForTesting(std::optional<std::size_t> bytes)
{
    g_writeLimit = bytes;
}

void setUnnamedTemporaryFilesForTesting(bool allowed)
{
    g_unnamedTemporaries = allowed;
}

void setBeforeCommitHookForTesting(void (*hook)())
{
    g_beforeCommit = hook;
}

} // namespace vornik
