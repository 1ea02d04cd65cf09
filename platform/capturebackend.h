#pragma once

#include "platform/bitmap.h"

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

} // namespace vornik
