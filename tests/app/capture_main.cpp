// The tool window over a screenshot portal: a session bus of the test's own
// with a portal of its own on it, chosen as the capture backend through
// VORNIK_CAPTURE, on Qt's offscreen platform.
#include "app/application.h"

#include "../support/fakeportal.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VORNIK_CAPTURE", "portal");
    const std::unique_ptr<QProcess> bus = vornik::testing::startPrivateSessionBus();
    if (!bus) {
        std::fprintf(stderr, "dbus-daemon did not start\n");
        return 1;
    }
    int status = 0;
    {
        vornik::Application application(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    bus->kill();
    bus->waitForFinished(5000);
    return status;
}
