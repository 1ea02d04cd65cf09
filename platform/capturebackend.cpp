#include "platform/capturebackend.h"

#include "platform/freedesktop/screenshotportal.h"
#include "platform/screencapture.h"
#include "platform/x11/screencapture.h"

#include <QGuiApplication>

namespace vornik {

CaptureChoice captureChoiceFromEnvironment()
{
    const QByteArray value = qgetenv("VORNIK_CAPTURE");
    if (value == "x11")
        return CaptureChoice::X11;
    if (value == "portal")
        return CaptureChoice::Portal;
    return CaptureChoice::Automatic;
}

namespace {

bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

ScreenCaptureService& choose()
{
    switch (captureChoiceFromEnvironment()) {
    case CaptureChoice::X11:
        return x11ScreenCapture();
    case CaptureChoice::Portal: {
        static ScreenshotPortal forced;
        return forced;
    }
    case CaptureChoice::Automatic:
        break;
    }
    // On a Wayland session the program's windows live on Xwayland, whose
    // root window the compositor does not back: reading it gives black or
    // fails. The compositor hands out the desktop only through the portal.
    // Qt's test platforms have a screen of their own, which only Qt's grab
    // sees, so the portal is for the X11 platform only; and a session whose
    // portal lacks the screenshot interface has nothing better than X11.
    if (QGuiApplication::platformName() == QLatin1String("xcb") && waylandSession() &&
        ScreenshotPortal::offeredOnSessionBus()) {
        static ScreenshotPortal portal;
        return portal;
    }
    return x11ScreenCapture();
}

} // namespace

ScreenCaptureService& screenCaptureService()
{
    // Asking the bus whether the portal is there may start the portal, which
    // takes a moment; the first capture pays for it rather than the start.
    static ScreenCaptureService& chosen = choose();
    return chosen;
}

bool getscreenshot(Bitmap& into)
{
    return screenCaptureService().capture(into);
}

std::optional<Bitmap> getscreenshot()
{
    Bitmap bitmap;
    if (!getscreenshot(bitmap))
        return std::nullopt;
    return bitmap;
}

} // namespace vornik
