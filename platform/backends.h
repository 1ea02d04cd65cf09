#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vornik {

// What the program knows about the session it runs in, read once from its
// environment. The rules below turn these facts into the backends the
// services use; nothing outside platform/ learns which ones run.
struct SessionFacts {
    // QT_QPA_PLATFORM as exported, empty when it is not.
    std::string requestedQtPlatform;
    // The platform Qt runs on once the application object exists; empty before.
    std::string qtPlatform;
    // WAYLAND_DISPLAY is set: there is a compositor socket to connect to.
    bool waylandDisplay = false;
    // XDG_SESSION_TYPE.
    std::string sessionType;
    // The forcing variables, for tests and for sessions the rules get wrong:
    // VORNIK_TRAY (xembed, sni), VORNIK_CLIPBOARD (x11, wayland), VORNIK_CAPTURE
    // (x11, portal). Any other value leaves the choice to the rules.
    std::string forcedTray;
    std::string forcedClipboard;
    std::string forcedCapture;

    bool waylandSession() const { return waylandDisplay || sessionType == "wayland"; }
};

// Facts that cost a connection or a bus round trip. A rule asks for one only
// where its answer changes the choice.
struct SessionProbes {
    // An X server (on a Wayland session: Xwayland) accepts a connection on DISPLAY.
    std::function<bool()> xDisplayReachable;
    // The session bus offers org.freedesktop.portal.Screenshot.
    std::function<bool()> screenshotPortalOffered;
};

enum class QtPlatformChoice {
    // Leave QT_QPA_PLATFORM as it is.
    Keep,
    // Run on Qt's xcb platform.
    Xcb,
    // A Wayland session without Xwayland: the program cannot run.
    NoXwayland,
};

enum class TrayBackend { XEmbed, StatusNotifier };
enum class ClipboardBackend {
    // Qt's own clipboard, on the tests' platforms that have no X server.
    Qt,
    // The X11 CLIPBOARD selection, with a reader of our own.
    X11,
    // The compositor's data control protocol; the X11 selection where the
    // compositor does not offer it.
    WaylandDataControl,
};
enum class CaptureBackend { X11, Portal };

QtPlatformChoice chooseQtPlatform(const SessionFacts& facts, const SessionProbes& probes);
// Looks at this process's environment and display and applies the choice of
// Qt platform (see backends.cpp) before the application object
// exists. Returns false, after telling the user why on stderr, when the
// program cannot run here.
bool selectQtPlatform();

// Whether the StatusNotifierItem backend is built and its watcher followed.
bool trayFollowsStatusNotifierWatcher(const SessionFacts& facts);
// The tray backend while a StatusNotifierWatcher is or is not on the bus.
TrayBackend chooseTray(const SessionFacts& facts, bool watcherPresent);
ClipboardBackend chooseClipboard(const SessionFacts& facts);
CaptureBackend chooseCapture(const SessionFacts& facts, const SessionProbes& probes);

// This process's facts, and the probes that find out the rest.
SessionFacts currentSessionFacts();
SessionProbes currentSessionProbes();

class ClipboardService;

// The clipboard backend of this session: the compositor's data control, the
// X11 selection, or Qt's clipboard alone.
std::unique_ptr<ClipboardService> openClipboardService();

} // namespace vornik
