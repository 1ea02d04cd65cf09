#include "platform/backends.h"

#include "platform/clipboardservice.h"
#include "platform/freedesktop/screenshotportal.h"
#include "platform/freedesktop/statusnotifiertrayservice.h"
#include "platform/qt/qtclipboard.h"
#include "platform/screencapture.h"
#include "platform/trayserviceswitch.h"
#include "platform/wayland/datacontrolclipboard.h"
#include "platform/x11/displayprobe.h"
#include "platform/x11/x11clipboard.h"
#include "platform/x11/x11screencapture.h"
#include "platform/x11/xembedtray.h"

#include <QGuiApplication>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vornik {

// The rules that pick a backend for each service. They live together so that
// what the program does on a given desktop can be read in one place.
//
// Qt platform. The program's windows are X11 windows and the platform layer
// speaks X11, so it runs on Qt's xcb platform, also where a Wayland session
// exports QT_QPA_PLATFORM=wayland. The tests' offscreen platform is kept, and
// so is an xcb request, which may carry arguments of its own. A Wayland
// session whose X display does not answer has no Xwayland, and the program
// has nowhere to put its windows. Without a Wayland session xcb is what Qt
// would pick anyway; without any display Qt's own message says so.
//
// Tray. Panels that show StatusNotifierItems are the ones the desktop means
// its applications to use; where a watcher runs, an XEmbed tray is at best a
// proxy of it (Plasma) or absent (waybar, GNOME). Without a watcher the X11
// tray is the only kind there is. Watchers come and go with the panel, so
// this rule is asked again whenever the watcher changes (TrayServiceSwitch).
//
// Clipboard. Xwayland learns of a native program's copy only while one of
// its own windows has the focus, so a Wayland session watches through the
// compositor's data control, where it is offered; GNOME's compositor, for
// one, offers none, and the X11 selection then sees the copies made while an
// X11 window has the focus. Data control needs a compositor socket, which
// only WAYLAND_DISPLAY names. The tests' platforms have no X server and use
// Qt's clipboard alone.
//
// Capture. On a Wayland session the program's windows live on Xwayland,
// whose root window the compositor does not back: reading it gives black or
// fails. The compositor hands out the desktop only through the screenshot
// portal. Qt's test platforms have a screen of their own, which only Qt's
// grab sees, so the portal is for the xcb platform only; and a session whose
// portal lacks the screenshot interface has nothing better than X11. Asking
// the bus whether the portal is there may start the portal, which takes a
// moment, so the choice is made at the first capture rather than at start.

namespace {

// The name of the first platform of a QT_QPA_PLATFORM value such as
// "wayland;xcb" or "offscreen:fontengine=freetype".
std::string_view firstPlatformName(std::string_view requested)
{
    requested = requested.substr(0, requested.find(';'));
    return requested.substr(0, requested.find(':'));
}

} // namespace

QtPlatformChoice chooseQtPlatform(const SessionFacts& facts, const SessionProbes& probes)
{
    const std::string_view first = firstPlatformName(facts.requestedQtPlatform);
    if (first == "offscreen")
        return QtPlatformChoice::Keep;
    if (facts.waylandSession() && !probes.xDisplayReachable())
        return QtPlatformChoice::NoXwayland;
    if (first == "xcb")
        return QtPlatformChoice::Keep;
    return QtPlatformChoice::Xcb;
}

bool trayFollowsStatusNotifierWatcher(const SessionFacts& facts)
{
    return facts.forcedTray != "xembed";
}

TrayBackend chooseTray(const SessionFacts& facts, bool watcherPresent)
{
    if (facts.forcedTray == "xembed")
        return TrayBackend::XEmbed;
    if (facts.forcedTray == "sni")
        return TrayBackend::StatusNotifier;
    return watcherPresent ? TrayBackend::StatusNotifier : TrayBackend::XEmbed;
}

ClipboardBackend chooseClipboard(const SessionFacts& facts)
{
    if (facts.qtPlatform != "xcb")
        return ClipboardBackend::Qt;
    if (facts.forcedClipboard == "x11")
        return ClipboardBackend::X11;
    if (facts.forcedClipboard == "wayland" || facts.waylandDisplay)
        return ClipboardBackend::WaylandDataControl;
    return ClipboardBackend::X11;
}

CaptureBackend chooseCapture(const SessionFacts& facts, const SessionProbes& probes)
{
    if (facts.forcedCapture == "x11")
        return CaptureBackend::X11;
    if (facts.forcedCapture == "portal")
        return CaptureBackend::Portal;
    if (facts.qtPlatform == "xcb" && facts.waylandSession() && probes.screenshotPortalOffered())
        return CaptureBackend::Portal;
    return CaptureBackend::X11;
}

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Used where there is no tray host the program knows how to talk to: every
// add is refused, as the shell refuses it while no taskbar runs.
class NoTrayService : public TrayServiceBase {
  public:
    bool shellNotifyIcon(int, const NotifyIconData&) override { return false; }
};

} // namespace

SessionFacts currentSessionFacts()
{
    SessionFacts facts;
    facts.requestedQtPlatform = environment("QT_QPA_PLATFORM");
    if (qGuiApp)
        facts.qtPlatform = QGuiApplication::platformName().toStdString();
    facts.waylandDisplay = !environment("WAYLAND_DISPLAY").empty();
    facts.sessionType = environment("XDG_SESSION_TYPE");
    facts.forcedTray = environment("VORNIK_TRAY");
    facts.forcedClipboard = environment("VORNIK_CLIPBOARD");
    facts.forcedCapture = environment("VORNIK_CAPTURE");
    return facts;
}

SessionProbes currentSessionProbes()
{
    SessionProbes probes;
    probes.xDisplayReachable = [] { return x11DisplayAccepts(environment("DISPLAY")); };
    probes.screenshotPortalOffered = [] { return ScreenshotPortal::offeredOnSessionBus(); };
    return probes;
}

bool selectQtPlatform()
{
    switch (chooseQtPlatform(currentSessionFacts(), currentSessionProbes())) {
    case QtPlatformChoice::Keep:
        return true;
    case QtPlatformChoice::Xcb:
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    case QtPlatformChoice::NoXwayland:
        break;
    }
    const std::string display = environment("DISPLAY");
    if (display.empty())
        std::fprintf(stderr, "vornik-tools: this Wayland session has no X display (DISPLAY is not set).\n");
    else
        std::fprintf(stderr, "vornik-tools: cannot connect to the X display %s of this Wayland session.\n",
                     display.c_str());
    std::fprintf(stderr, "vornik-tools runs through Xwayland: enable Xwayland in the compositor and start it again.\n");
    return false;
}

NotifyIconService& systemNotifyIconService()
{
    // The services hold windows and bus connections, so they live as
    // children of the application object and go with it; a later
    // application object gets fresh ones.
    static QPointer<XEmbedTrayService> x11;
    static QPointer<StatusNotifierTrayService> statusNotifier;
    static QPointer<TrayServiceSwitch> tray;
    static NoTrayService none;
    if (!tray && qGuiApp) {
        const SessionFacts facts = currentSessionFacts();
        x11 = XEmbedTrayService::create();
        if (trayFollowsStatusNotifierWatcher(facts))
            statusNotifier = StatusNotifierTrayService::create(qGuiApp);
        tray = new TrayServiceSwitch(x11.data(), statusNotifier.data(), facts);
        tray->setParent(qGuiApp);
    }
    if (tray)
        return *tray;
    return none;
}

std::unique_ptr<ClipboardService> openClipboardService()
{
    const SessionFacts facts = currentSessionFacts();
    switch (chooseClipboard(facts)) {
    case ClipboardBackend::Qt:
        return std::make_unique<QtClipboard>();
    case ClipboardBackend::WaylandDataControl:
        if (std::unique_ptr<DataControlClipboard> dataControl = DataControlClipboard::open())
            return dataControl;
        if (facts.forcedClipboard == "wayland")
            std::fprintf(stderr,
                         "vornik-tools: the compositor offers no clipboard data control; using the X11 clipboard\n");
        break;
    case ClipboardBackend::X11:
        break;
    }
    return openX11Clipboard();
}

namespace {

ScreenCaptureService& chooseScreenCapture()
{
    if (chooseCapture(currentSessionFacts(), currentSessionProbes()) == CaptureBackend::X11)
        return x11ScreenCapture();
    static ScreenshotPortal portal;
    return portal;
}

} // namespace

ScreenCaptureService& screenCaptureService()
{
    static ScreenCaptureService& chosen = chooseScreenCapture();
    return chosen;
}

} // namespace vornik
