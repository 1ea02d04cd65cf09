#pragma once

#include "platform/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vornik {

// libjpeg's message code for a failed write of the compressed data.
inline constexpr int kJpegWriteErrorCode = 37;

// "JPEG error #%d" filled with libjpeg's message code.
std::string jpegErrorMessage(int messageCode);

// Encodes a 24-bit bitmap (blue, green, red per pixel) as a baseline JFIF
// file of quality 90 held in memory: 4:2:0 sampling, the standard tables,
// floating-point DCT, JFIF 1.01 with a 1:1 aspect ratio. A bitmap without
// pixels gives no bytes. A fatal libjpeg error throws vornik::Error with
// "JPEG error #%d".
//
// maxOutputBytes caps the memory block the encoded data grows in; growing it
// past the cap fails exactly like a failed allocation does (message code 37).
// Callers leave it at its default; tests use it to provoke libjpeg's error path.
std::vector<std::uint8_t> encodeJpeg(const Bitmap& bitmap24,
                                     std::size_t maxOutputBytes = std::numeric_limits<std::size_t>::max());

} // namespace vornik
