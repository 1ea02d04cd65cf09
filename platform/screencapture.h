#pragma once

#include "platform/bitmap.h"

#include <optional>

namespace vornik {

// `getscreenshot`: the primary screen's pixels as they are now, 32 bits per
// pixel, top row first, one bitmap pixel per device pixel (not per logical
// pixel when the screen is scaled). Nothing when the screen cannot be read;
// the failure itself is not reported.
std::optional<Bitmap> getscreenshot();

// The same into an existing bitmap, whose memory is reused when the screen
// still has the same size. False, and an empty bitmap, when the screen cannot
// be read.
bool getscreenshot(Bitmap& into);

// The two ways the screen is read; getscreenshot takes the first that works.
// Both throw std::bad_alloc when there is no memory for the bitmap.
// Through shared memory with the X server: the server writes the pixels
// straight into our memory. Only on X11 with a local server; false where it
// cannot be used, leaving `into` as it was.
bool captureThroughSharedMemory(Bitmap& into);
// Through Qt's window grab, which works on every platform Qt supports.
bool captureThroughQt(Bitmap& into);

} // namespace vornik
