#pragma once

#include "platform/screencapture.h"

#include <functional>
#include <string>
#include <utility>

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
//
// On GNOME, a program with an app id of its own (started from a menu entry or
// from autostart) gets the portal's "Allow Applications to Take
// Screenshots?" only while it has the focus, which a program in the tray
// does not. Until the permission store holds the user's answer, a capture
// there first shows a small window of the program's own, known to the shell
// as that app, and asks while that window has the focus; the user answers
// GNOME's own dialog, and nothing is granted in the user's place. A refusal,
// stored or just given, or a question GNOME did not put, ends in a message
// that says how to allow screenshots later.
class ScreenshotPortal : public ScreenCaptureService {
public:
    static constexpr int kDefaultTimeoutMs = 15000;
    // The wait for an answer while GNOME's dialog is up: the user reads it.
    static constexpr int kConsentTimeoutMs = 120000;

    // `timeoutMs` bounds the whole request, from the call to the answer.
    // `appId` gives the program's app id as the portal sees it.
    explicit ScreenshotPortal(int timeoutMs = kDefaultTimeoutMs, std::function<std::string()> appId = {})
        : m_timeoutMs(timeoutMs), m_appId(std::move(appId))
    {
    }

    // Whether a desktop portal on the session bus offers the interface.
    // Asking may start the portal.
    static bool offeredOnSessionBus();

    bool capture(Bitmap& into) override;

private:
    int m_timeoutMs;
    std::function<std::string()> m_appId;
};

} // namespace vornik
