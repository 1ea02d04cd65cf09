#include "platform/qtplatform.h"

#include <gtest/gtest.h>

namespace vornik {
namespace {

struct Case {
    const char* name;
    DisplaySession session;
    QtPlatformChoice expected;
};

TEST(QtPlatform, ChoiceFollowsTheSessionAndTheRequest)
{
    using enum QtPlatformChoice;
    const Case cases[] = {
        {"X11 session, nothing requested", {"", false, true}, Xcb},
        {"X11 session without a display: Qt says so itself", {"", false, false}, Xcb},
        {"Wayland session exporting wayland", {"wayland", true, true}, Xcb},
        {"Wayland session preferring wayland over xcb", {"wayland;xcb", true, true}, Xcb},
        {"Wayland session, nothing requested", {"", true, true}, Xcb},
        {"wayland requested on an X11 session", {"wayland", false, true}, Xcb},
        {"Wayland session without Xwayland", {"wayland", true, false}, NoXwayland},
        {"xcb requested on a Wayland session without Xwayland", {"xcb", true, false}, NoXwayland},
        {"xcb with arguments of its own", {"xcb:no_shm", true, true}, Keep},
        {"tests' offscreen platform", {"offscreen", false, false}, Keep},
        {"offscreen with options on a Wayland session without Xwayland", {"offscreen:fontengine=freetype", true, false}, Keep},
        {"offscreen only as a later choice", {"wayland;offscreen", true, true}, Xcb},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseQtPlatform(c.session), c.expected) << c.name;
}

} // namespace
} // namespace vornik
