#include "platform/freedesktop/portalfile.h"

#include "platform/error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornik {

namespace {

// Reads a whole open file from its start.
bool readAll(int fd, std::string& into, std::string& error)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = systemErrorText(errno);
            return false;
        }
        into.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

PortalPictureFile takePortalPicture(const std::string& path, std::time_t requestedAt)
{
    PortalPictureFile result;
    // Opened without following a link, and checked through the descriptor,
    // so that what is checked is what is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = systemErrorText(errno);
        return result;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        result.error = systemErrorText(errno);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(opened.st_mode)) {
        result.error = "Not a regular file";
        ::close(fd);
        return result;
    }
    const bool read = readAll(fd, result.bytes, result.error);
    ::close(fd);
    if (!read)
        result.bytes.clear();

    // Some file systems keep whole seconds only: a file written in the
    // second of the request may carry the second before it.
    const bool ours = opened.st_uid == ::geteuid() && opened.st_mtime >= requestedAt - 1;
    struct stat now {};
    if (ours && ::lstat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino)
        result.removed = ::unlink(path.c_str()) == 0;
    return result;
}

} // namespace vornik
