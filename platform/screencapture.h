#pragma once

#include "platform/bitmap.h"

#include <optional>

namespace vornik {

// A way of reading the primary screen. The program uses the one that
// screenCaptureService chose; nothing outside platform/ knows which.
class ScreenCaptureService {
public:
    virtual ~ScreenCaptureService() = default;

    // Fills `into` with the primary screen's pixels as getscreenshot describes
    // them. A backend that cannot tell why it failed returns false and leaves
    // `into` empty; one that can throws Error with a message for the user and
    // leaves `into` as it was.
    virtual bool capture(Bitmap& into) = 0;
};

// The backend the program captures with, chosen at its first use and kept
// for the life of the process (see platform/backends.cpp for the rules).
ScreenCaptureService& screenCaptureService();

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
