#pragma once

#include "platform/bitmap.h"

#include <optional>

namespace vornik {

// `getscreenshot`: the primary screen's pixels as they are now, 32 bits per
// pixel, top row first, one bitmap pixel per device pixel (not per logical
// pixel when the screen is scaled), read by the backend that
// screenCaptureService chose. On X11 a screen that cannot be read gives
// nothing, and the failure itself is not reported; through the screenshot
// portal of a Wayland session a failure is raised as Error saying what
// failed.
std::optional<Bitmap> getscreenshot();

// The same into an existing bitmap, whose memory is reused when the screen
// still has the same size. On X11, false and an empty bitmap when the screen
// cannot be read; a failure raised as Error leaves the bitmap as it was.
bool getscreenshot(Bitmap& into);

// The two ways the X server's screen is read; its backend takes the first
// that works.
// Both throw std::bad_alloc when there is no memory for the bitmap.
// Through shared memory with the X server: the server writes the pixels
// straight into our memory. Only on X11 with a local server; false where it
// cannot be used, leaving `into` as it was.
bool captureThroughSharedMemory(Bitmap& into);
// Through Qt's window grab, which works on every platform Qt supports.
bool captureThroughQt(Bitmap& into);

} // namespace vornik
