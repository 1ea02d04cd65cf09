#include "screentools/areaexport.h"

#include "platform/error.h"
#include "platform/posix/files.h"
#include "screentools/jpegencoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace vornik {

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
    // Encoded whole before the file is touched, then written so that a
    // failure leaves any existing file as it was.
    const std::vector<std::uint8_t> bytes = encodeJpeg(bitmap24);
    // An export killed halfway where the file system has no unnamed files
    // leaves a hidden copy of the screen beside the picture; the next export
    // into that folder takes it away.
    removeUnfinishedWritesBeside(path);
    writeWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
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
