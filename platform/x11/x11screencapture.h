#pragma once

#include "platform/screencapture.h"

namespace vornik {

// The X server's screen, through shared memory or Qt's grab.
ScreenCaptureService& x11ScreenCapture();

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
