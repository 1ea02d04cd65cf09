// Widget tests of the application shell run on Qt's offscreen platform, unless
// told to use X, with one application object for the whole binary.
#include "app/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // A run on a real X server (the desktop-dependent box tests) asks for it.
    if (qgetenv("QT_QPA_PLATFORM") != "xcb")
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef VORNIK_TEST_SCALE
    // The scale must be known before the application object exists.
    qputenv("QT_SCALE_FACTOR", VORNIK_TEST_SCALE);
#endif
    vornik::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
