#include "platform/backends.h"

#include <gtest/gtest.h>

namespace vornik {
namespace {

// A probe that answers as told and counts how often it was asked: the
// expensive facts must only be gathered where they change the choice.
struct Probe {
    bool answer = false;
    int asked = 0;
    std::function<bool()> function()
    {
        return [this] {
            ++asked;
            return answer;
        };
    }
};

SessionFacts session(const char* requestedQtPlatform, bool wayland)
{
    SessionFacts facts;
    facts.requestedQtPlatform = requestedQtPlatform;
    facts.waylandDisplay = wayland;
    return facts;
}

TEST(Backends, QtPlatformFollowsTheSessionAndTheRequest)
{
    struct Case {
        const char* name;
        const char* requested;
        bool wayland;
        bool xDisplayReachable;
        QtPlatformChoice expected;
        bool connects;
    };
    using enum QtPlatformChoice;
    const Case cases[] = {
        {"X11 session, nothing requested", "", false, true, Xcb, false},
        {"X11 session without a display: Qt says so itself", "", false, false, Xcb, false},
        {"Wayland session exporting wayland", "wayland", true, true, Xcb, true},
        {"Wayland session preferring wayland over xcb", "wayland;xcb", true, true, Xcb, true},
        {"Wayland session, nothing requested", "", true, true, Xcb, true},
        {"wayland requested on an X11 session", "wayland", false, true, Xcb, false},
        {"Wayland session without Xwayland", "wayland", true, false, NoXwayland, true},
        {"xcb requested on a Wayland session without Xwayland", "xcb", true, false, NoXwayland, true},
        {"xcb with arguments of its own", "xcb:no_shm", true, true, Keep, true},
        {"tests' offscreen platform", "offscreen", false, false, Keep, false},
        {"offscreen with options on a Wayland session without Xwayland", "offscreen:fontengine=freetype", true, false,
         Keep, false},
        {"offscreen only as a later choice", "wayland;offscreen", true, true, Xcb, true},
    };
    for (const Case& c : cases) {
        Probe x{c.xDisplayReachable};
        SessionProbes probes;
        probes.xDisplayReachable = x.function();
        EXPECT_EQ(chooseQtPlatform(session(c.requested, c.wayland), probes), c.expected) << c.name;
        EXPECT_EQ(x.asked > 0, c.connects) << c.name;
    }
}

TEST(Backends, WaylandSessionIsToldByEitherVariable)
{
    SessionFacts facts;
    EXPECT_FALSE(facts.waylandSession());
    facts.sessionType = "x11";
    EXPECT_FALSE(facts.waylandSession());
    facts.sessionType = "wayland";
    EXPECT_TRUE(facts.waylandSession());
    facts.sessionType = "";
    facts.waylandDisplay = true;
    EXPECT_TRUE(facts.waylandSession());
}

TEST(Backends, TrayFollowsTheWatcherUnlessForced)
{
    struct Case {
        const char* forced;
        bool watcher;
        TrayBackend expected;
        bool follows;
    };
    using enum TrayBackend;
    const Case cases[] = {
        {"", false, XEmbed, true},
        {"", true, StatusNotifier, true},
        {"xembed", true, XEmbed, false},
        {"sni", false, StatusNotifier, true},
        {"something else", true, StatusNotifier, true},
        {"something else", false, XEmbed, true},
    };
    for (const Case& c : cases) {
        SessionFacts facts;
        facts.forcedTray = c.forced;
        EXPECT_EQ(chooseTray(facts, c.watcher), c.expected) << c.forced << " " << c.watcher;
        EXPECT_EQ(trayFollowsStatusNotifierWatcher(facts), c.follows) << c.forced;
    }
}

TEST(Backends, ClipboardForcedBackendWinsOverTheSession)
{
    struct Case {
        const char* qtPlatform;
        const char* forced;
        bool waylandDisplay;
        const char* sessionType;
        ClipboardBackend expected;
    };
    using enum ClipboardBackend;
    const Case cases[] = {
        {"xcb", "", false, "", X11},
        {"xcb", "", true, "", WaylandDataControl},
        {"xcb", "x11", true, "", X11},
        {"xcb", "wayland", false, "", WaylandDataControl},
        {"xcb", "something else", false, "", X11},
        {"xcb", "something else", true, "", WaylandDataControl},
        // Without a compositor socket there is nothing to watch through.
        {"xcb", "", false, "wayland", X11},
        {"offscreen", "", true, "wayland", Qt},
        {"offscreen", "wayland", true, "", Qt},
    };
    for (const Case& c : cases) {
        SessionFacts facts;
        facts.qtPlatform = c.qtPlatform;
        facts.forcedClipboard = c.forced;
        facts.waylandDisplay = c.waylandDisplay;
        facts.sessionType = c.sessionType;
        EXPECT_EQ(chooseClipboard(facts), c.expected)
            << c.qtPlatform << " " << c.forced << " " << c.waylandDisplay << " " << c.sessionType;
    }
}

TEST(Backends, CaptureAsksThePortalOnlyOnAWaylandSessionOverXcb)
{
    struct Case {
        const char* name;
        const char* qtPlatform;
        const char* forced;
        bool wayland;
        bool portalOffered;
        CaptureBackend expected;
        bool asksBus;
    };
    using enum CaptureBackend;
    const Case cases[] = {
        {"X11 session", "xcb", "", false, true, X11, false},
        {"Wayland session with the portal", "xcb", "", true, true, Portal, true},
        {"Wayland session without the screenshot portal", "xcb", "", true, false, X11, true},
        {"tests' platform on a Wayland session", "offscreen", "", true, true, X11, false},
        {"X11 forced on a Wayland session", "xcb", "x11", true, true, X11, false},
        {"portal forced on an X11 session", "xcb", "portal", false, false, Portal, false},
        {"portal forced on the tests' platform", "offscreen", "portal", false, false, Portal, false},
        {"unknown forcing: the rules decide", "xcb", "grim", true, true, Portal, true},
    };
    for (const Case& c : cases) {
        SessionFacts facts;
        facts.qtPlatform = c.qtPlatform;
        facts.forcedCapture = c.forced;
        facts.waylandDisplay = c.wayland;
        Probe portal{c.portalOffered};
        SessionProbes probes;
        probes.screenshotPortalOffered = portal.function();
        EXPECT_EQ(chooseCapture(facts, probes), c.expected) << c.name;
        EXPECT_EQ(portal.asked > 0, c.asksBus) << c.name;
    }
}

} // namespace
} // namespace vornik
