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

} // namespace vornik
