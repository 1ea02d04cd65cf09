#pragma once

#include "platform/bitmap.h"

#include <functional>
#include <optional>
#include <string>

namespace vornik {

// The text shown instead of saving when nothing is selected; it is the same
// text the area readout shows while there is no selection.
inline constexpr const char* kSelectAreaWithMouseDrag = "select area with mouse drag";

// Whether the corners span an area worth saving: a drag has started since the
// tool window opened (selx1 is -1 until then) and the area is neither zero
// wide nor zero high.
bool hasSelectedArea(int selx1, int sely1, int selx2, int sely2);

// The area between two selection corners, in either order, copied upright
// into a new 32-bit bitmap of |selx1 - selx2| x |sely1 - sely2| pixels.
// Pixels that lie outside the capture come out black.
Bitmap copySelectedArea(const Bitmap& screenshot, int selx1, int sely1, int selx2, int sely2);

// The same pixels at 24 bits: blue, green and red kept, the fourth byte
// dropped; the row order in memory is kept.
Bitmap to24Bit(const Bitmap& bitmap32);

// Encodes the bitmap as JPEG and writes it under `path`, whatever its
// extension. The whole file is encoded first and written to a temporary file
// beside the target, which then replaces the target; an existing file is
// replaced without a question and is left untouched when anything fails.
// Throws vornik::Error with "Cannot create file "%s". %s", "Stream write
// error" or "JPEG error #%d".
void saveJpegFile(const std::string& path, const Bitmap& bitmap24);

enum class ExportResult {
    NoSelection, // nothing selected: nothing asked, nothing written
    Cancelled,   // the user cancelled the file name question
    Saved,
};

// The F5 export: checks the selection, asks for the file name (the callback
// shows the save dialog and yields the chosen name, or nothing when the user
// cancels), then copies, converts and saves the area. Failures propagate as
// vornik::Error; the capture and the selection are only read.
ExportResult exportSelectedArea(const Bitmap& screenshot, int selx1, int sely1, int selx2, int sely2,
                                const std::function<std::optional<std::string>()>& askFileName);

} // namespace vornik
