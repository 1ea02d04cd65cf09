#pragma once

#include "platform/capturebackend.h"

namespace vornik {

// The screen of a Wayland session, as the desktop portal's Screenshot
// interface (org.freedesktop.portal.Screenshot on the session bus) hands it
// out: a picture of every output in a file, of which the primary screen's
// part is kept. A failure is raised as Error, "Cannot capture the screen: "
// and what failed.
//
// The wait for the portal's answer runs a nested event loop that leaves user
// input queued, so that windows keep painting and the bus keeps working but
// nothing the user does acts in the middle of a capture.
class ScreenshotPortal : public ScreenCaptureService {
public:
    static constexpr int kDefaultTimeoutMs = 15000;

    // `timeoutMs` bounds the whole request, from the call to the answer.
    explicit ScreenshotPortal(int timeoutMs = kDefaultTimeoutMs) : m_timeoutMs(timeoutMs) {}

    // Whether a desktop portal on the session bus offers the interface.
    // Asking may start the portal.
    static bool offeredOnSessionBus();

    bool capture(Bitmap& into) override;

private:
    int m_timeoutMs;
};

} // namespace vornik
