// getscreenshot against a real X server when run on the xcb platform (under
// Xvfb: QT_QPA_PLATFORM=xcb DISPLAY=:n, also with QT_SCALE_FACTOR=2): a
// picture box covering the screen must come back pixel for pixel, at the
// screen's physical size. On other platforms (ctest runs offscreen) it only
// checks that a capture is either nothing or a well-formed 32-bit bitmap.
#include "platform/screencapture.h"
#include "screentools/picturebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>

namespace vornik {
namespace {

TEST(GetScreenshot, ReturnsThePrimaryScreenInDevicePixels)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QSize device = screen->geometry().size() * screen->devicePixelRatio();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        const std::optional<Bitmap> shot = getscreenshot();
        if (shot) {
            EXPECT_EQ(shot->bitsPerPixel(), 32);
            EXPECT_FALSE(shot->bottomUp());
        }
        GTEST_SKIP() << "not on X11: pixel content not checked";
    }
    // A picture box of a known picture covering the whole screen.
    PictureBox box;
    Bitmap picture(device.width(), device.height(), 32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel32(x, y, 0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 | 0x5A);
    box.setPicture(picture);
    box.setWindowFlag(Qt::FramelessWindowHint);
    box.setGeometry(screen->geometry());
    box.show();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    const std::optional<Bitmap> shot = getscreenshot();
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->width(), device.width());
    EXPECT_EQ(shot->height(), device.height());
    ASSERT_EQ(shot->bitsPerPixel(), 32);
    int mismatches = 0;
    for (int y = 0; y < shot->height(); y += 7)
        for (int x = 0; x < shot->width(); x += 5)
            mismatches += shot->pixel32(x, y) != picture.pixel32(x, y);
    EXPECT_EQ(mismatches, 0) << "captured pixels differ from what the picture box shows 1:1";
}

} // namespace
} // namespace vornik

int main(int argc, char** argv)
{
    // Test discovery runs the binary without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
