#include "screentools/areaexport.h"

#include "platform/error.h"
#include "screentools/jpegencoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornik {

namespace {

// Closes a descriptor and removes the temporary file it belongs to unless the
// file has been committed under its final name.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_path.c_str());
    }

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    // Closes the descriptor; returns false when the close reports an error,
    // which on some file systems is the first sign of a failed write.
    bool close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0;
    }
    void commit() { m_committed = true; }

private:
    int m_fd;
    std::string m_path;
    bool m_committed = false;
};

// The file a name stands for: a symbolic link is followed so that replacing
// the file keeps the link in place.
std::string resolveTarget(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

TemporaryFile createTemporaryBeside(const std::string& target, const std::string& userPath)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + "." + name + "." + std::to_string(random() % 1000000000u) + ".tmp";
        // Created with 0666 so that the umask decides the final permissions,
        // as it would for a file written in place.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return TemporaryFile(fd, candidate);
        if (errno != EEXIST)
            throw Error(cannotCreateFileMessage(userPath, systemErrorText(errno)));
    }
    throw Error(cannotCreateFileMessage(userPath, systemErrorText(EEXIST)));
}

// Writes `bytes` as the new content of `path`: either the whole new content
// is there afterwards or the old file is as it was.
// TODO: share this with the file layer's writeFileReplacing once it exists.
void writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string target = resolveTarget(path);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        // Writing in place would fail on these; a rename would not notice.
        if (S_ISDIR(existing.st_mode))
            throw Error(cannotCreateFileMessage(path, systemErrorText(EISDIR)));
        if (::access(target.c_str(), W_OK) != 0)
            throw Error(cannotCreateFileMessage(path, systemErrorText(errno)));
    }

    TemporaryFile file = createTemporaryBeside(target, path);
    if (exists)
        ::fchmod(file.fd(), existing.st_mode & 07777);

    const std::uint8_t* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.fd(), next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw Error(kStreamWriteError);
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(file.fd()) != 0 || !file.close())
        throw Error(kStreamWriteError);
    if (::rename(file.path().c_str(), target.c_str()) != 0)
        throw Error(cannotCreateFileMessage(path, systemErrorText(errno)));
    file.commit();
}

} // namespace

bool hasSelectedArea(int selx1, int sely1, int selx2, int sely2)
{
    return selx1 >= 0 && selx1 != selx2 && sely1 != sely2;
}

Bitmap copySelectedArea(const Bitmap& screenshot, int selx1, int sely1, int selx2, int sely2)
{
    const std::int64_t left = std::min(selx1, selx2);
    const std::int64_t top = std::min(sely1, sely2);
    const std::int64_t width = std::int64_t(std::max(selx1, selx2)) - left;
    const std::int64_t height = std::int64_t(std::max(sely1, sely2)) - top;
    Bitmap area(static_cast<int>(width), static_cast<int>(height), 32, true);

    // Only the part of the area that overlaps the capture is copied; the rest
    // keeps the zero bytes the new bitmap starts with.
    const bool capture32 = screenshot.bitsPerPixel() == 32;
    const std::int64_t fromX = std::max<std::int64_t>(left, 0);
    const std::int64_t toX = std::min<std::int64_t>(left + width, capture32 ? screenshot.width() : 0);
    const std::int64_t fromY = std::max<std::int64_t>(top, 0);
    const std::int64_t toY = std::min<std::int64_t>(top + height, screenshot.height());
    if (fromX >= toX)
        return area;
    for (std::int64_t y = fromY; y < toY; ++y) {
        const std::uint8_t* source = screenshot.scanLine(static_cast<int>(y)) + fromX * 4;
        std::uint8_t* target = area.scanLine(static_cast<int>(y - top)) + (fromX - left) * 4;
        std::memcpy(target, source, static_cast<std::size_t>(toX - fromX) * 4);
    }
    return area;
}

Bitmap to24Bit(const Bitmap& bitmap32)
{
    Bitmap result(bitmap32.width(), bitmap32.height(), 24, bitmap32.bottomUp());
    for (int y = 0; y < bitmap32.height(); ++y) {
        const std::uint8_t* source = bitmap32.scanLine(y);
        std::uint8_t* target = result.scanLine(y);
        for (int x = 0; x < bitmap32.width(); ++x, source += 4, target += 3) {
            target[0] = source[0];
            target[1] = source[1];
            target[2] = source[2];
        }
    }
    return result;
}

void saveJpegFile(const std::string& path, const Bitmap& bitmap24)
{
    writeFileReplacing(path, encodeJpeg(bitmap24));
}

ExportResult exportSelectedArea(const Bitmap& screenshot, int selx1, int sely1, int selx2, int sely2,
                                const std::function<std::optional<std::string>()>& askFileName)
{
    // Checked before the dialog: there is no point asking for a name for a
    // file that would hold nothing.
    if (!hasSelectedArea(selx1, sely1, selx2, sely2))
        return ExportResult::NoSelection;
    const std::optional<std::string> fileName = askFileName();
    if (!fileName)
        return ExportResult::Cancelled;
    const Bitmap area = copySelectedArea(screenshot, selx1, sely1, selx2, sely2);
    saveJpegFile(*fileName, to24Bit(area));
    return ExportResult::Saved;
}

} // namespace vornik
