// The screen capture against a real X server when run on the xcb platform
// (tests/e2e/capture.sh runs it under Xvfb, also with QT_SCALE_FACTOR=2): a
// picture box covering the screen must come back pixel for pixel, at the
// screen's physical size, through either way of reading the screen. On other
// platforms it only checks that a capture is either nothing or a well-formed
// 32-bit bitmap.
#include "platform/screencapture.h"
#include "platform/x11/x11screencapture.h"
#include "screentools/picturebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWindow>

namespace vornik {
namespace {

// A picture box of a known picture covering the whole screen, shown long
// enough for the X server to hold its pixels.
class KnownScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        device = screen->geometry().size() * screen->devicePixelRatio();
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return;
        picture.reset(device.width(), device.height(), 32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel32(x, y,
                                   0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 | 0x5A);
        box.setPicture(picture);
        box.setWindowFlag(Qt::FramelessWindowHint);
        box.setGeometry(screen->geometry());
        // Mapped, exposed and painted; then a little longer for the window
        // manager, which may move the window into place after mapping it. A
        // window mapped while the window manager is still starting up may
        // never be shown by it, so it is shown once more after a while.
        QElapsedTimer timer;
        for (int attempt = 0; attempt < 5 && !(box.windowHandle() && box.windowHandle()->isExposed()); ++attempt) {
            box.hide();
            box.show();
            timer.start();
            while (!box.windowHandle()->isExposed() && timer.elapsed() < 2000)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        ASSERT_TRUE(box.windowHandle()->isExposed()) << "the window manager never showed the picture";
        box.repaint();
        timer.restart();
        while (timer.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    bool onX11() const { return QGuiApplication::platformName() == QLatin1String("xcb"); }

    // Every pixel of the capture must be the picture's, with an opaque
    // fourth byte whatever the server left in it.
    void expectThePicture(const Bitmap& shot, const char* how) const
    {
        ASSERT_EQ(shot.width(), device.width()) << how;
        ASSERT_EQ(shot.height(), device.height()) << how;
        ASSERT_EQ(shot.bitsPerPixel(), 32) << how;
        EXPECT_FALSE(shot.bottomUp()) << how;
        int mismatches = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                mismatches += shot.pixel32(x, y) != picture.pixel32(x, y);
        EXPECT_EQ(mismatches, 0) << how << ": captured pixels differ from what the picture box shows 1:1";
    }

    QSize device;
    Bitmap picture;
    PictureBox box;
};

TEST_F(KnownScreen, BothWaysReturnThePrimaryScreenInDevicePixels)
{
    if (!onX11()) {
        const std::optional<Bitmap> shot = getscreenshot();
        if (shot) {
            EXPECT_EQ(shot->bitsPerPixel(), 32);
            EXPECT_FALSE(shot->bottomUp());
        }
        Bitmap untouched(3, 2, 32);
        EXPECT_FALSE(captureThroughSharedMemory(untouched)) << "shared memory is an X11 way only";
        EXPECT_EQ(untouched.width(), 3);
        GTEST_SKIP() << "not on X11: pixel content not checked";
    }
    Bitmap shared(3, 2, 32);
    if (qEnvironmentVariableIsSet("VORNIK_TEST_NO_SHARED_MEMORY")) {
        EXPECT_FALSE(captureThroughSharedMemory(shared)) << "the server was started without MIT-SHM";
        EXPECT_EQ(shared.width(), 3) << "a refused capture leaves the bitmap alone";
    } else {
        ASSERT_TRUE(captureThroughSharedMemory(shared)) << "the local X server offers shared memory";
        expectThePicture(shared, "shared memory");
    }
    Bitmap qt;
    ASSERT_TRUE(captureThroughQt(qt));
    expectThePicture(qt, "Qt's grab");
    const std::optional<Bitmap> shot = getscreenshot();
    ASSERT_TRUE(shot.has_value());
    expectThePicture(*shot, "getscreenshot");
}

TEST_F(KnownScreen, ACaptureReusesTheBitmapItIsGiven)
{
    if (!onX11())
        GTEST_SKIP() << "not on X11";
    // A bitmap of another size and content is made over into the screen.
    Bitmap into(17, 5, 24, true);
    ASSERT_TRUE(getscreenshot(into));
    expectThePicture(into, "first capture");
    const std::uint8_t* memory = into.bits();
    into.setPixel32(0, 0, 0);
    ASSERT_TRUE(getscreenshot(into));
    EXPECT_EQ(into.bits(), memory) << "the same size needs no new memory";
    expectThePicture(into, "second capture");
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
