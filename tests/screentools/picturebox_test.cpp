// The picture box on a screen scaled by two: one bitmap pixel per device
// pixel, mouse positions in bitmap pixels, synchronous partial repaints.
#include "screentools/picturebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QBackingStore>
#include <QTest>

#include <cstring>

namespace vornik {
namespace {

class CountingPictureBox : public PictureBox {
public:
    using PictureBox::PictureBox;
    int paints = 0;
    QRegion lastRegion;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        lastRegion = event->region();
        PictureBox::paintEvent(event);
    }
};

std::uint32_t patternPixel(int x, int y)
{
    return 0xFF000000u | std::uint32_t(x * 5) << 16 | std::uint32_t(y * 7) << 8 | std::uint32_t((x + y) & 0xFF);
}

Bitmap patternBitmap(int w, int h)
{
    Bitmap b(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel32(x, y, patternPixel(x, y));
    return b;
}

TEST(PictureBox, ShowsOneBitmapPixelPerDevicePixelFromTheTopLeft)
{
    PictureBox box;
    ASSERT_DOUBLE_EQ(box.devicePixelRatioF(), 2.0) << "QT_SCALE_FACTOR=2 must be in effect";
    box.resize(60, 50); // logical: 120 x 100 device pixels, larger than the picture
    box.setPicture(patternBitmap(40, 30));
    const QImage shot = box.grab().toImage();
    ASSERT_EQ(shot.width(), 120);
    ASSERT_EQ(shot.height(), 100);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(shot.pixel(x, y), patternPixel(x, y)) << x << "," << y;
    // Beyond the picture: background, not a stretched picture.
    const QRgb background = box.palette().window().color().rgb();
    EXPECT_EQ(shot.pixel(40, 0), background);
    EXPECT_EQ(shot.pixel(0, 30), background);
    EXPECT_EQ(shot.pixel(119, 99), background);
}

TEST(PictureBox, BottomUpAnd24BitPicturesShowTheSamePixels)
{
    for (int bpp : {24, 32}) {
        Bitmap b(9, 7, bpp, true);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                std::uint8_t* p = b.scanLine(y) + x * (bpp / 8);
                p[0] = std::uint8_t(x * 20);
                p[1] = std::uint8_t(y * 30);
                p[2] = 77;
            }
        PictureBox box;
        box.resize(5, 4);
        box.setPicture(std::move(b));
        const QImage shot = box.grab().toImage();
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(shot.pixel(x, y), qRgb(77, y * 30, x * 20)) << bpp << " bpp at " << x << "," << y;
    }
}

TEST(PictureBox, MousePositionsAreReportedInDevicePixels)
{
    PictureBox box;
    box.resize(100, 100);
    std::vector<std::array<int, 3>> seen;
    box.onMouseDown = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) { seen.push_back({int(b), x, y}); };
    box.onMouseMove = [&](Qt::KeyboardModifiers, int x, int y) { seen.push_back({0, x, y}); };
    box.onMouseUp = [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) { seen.push_back({-int(b), x, y}); };
    struct Case {
        QEvent::Type type;
        QPointF at;
        std::array<int, 3> want;
    };
    const Case cases[] = {
        {QEvent::MouseButtonPress, {10.5, 7.25}, {int(Qt::LeftButton), 21, 14}},
        {QEvent::MouseMove, {0.0, 0.0}, {0, 0, 0}},
        {QEvent::MouseMove, {-0.25, 3.75}, {0, -1, 7}},
        {QEvent::MouseMove, {150.0, 120.4}, {0, 300, 240}},
        {QEvent::MouseButtonRelease, {33.0, 44.5}, {-int(Qt::LeftButton), 66, 89}},
    };
    for (const Case& c : cases) {
        const Qt::MouseButtons held =
            c.type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent ev(c.type, c.at, box.mapToGlobal(c.at), c.type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                       held, Qt::NoModifier);
        QApplication::sendEvent(&box, &ev);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), c.want);
    }
    EXPECT_EQ(seen.size(), std::size(cases));
}

// Right- and middle-button drags do not hold the pointer: moves over the panel
// or outside the picture are dropped; left-button drags keep every move.
TEST(PictureBox, OnlyTheLeftButtonKeepsMovesOutsideThePicture)
{
    QWidget window;
    window.resize(200, 150);
    PictureBox box(&window);
    box.setGeometry(0, 0, 200, 150);
    QWidget panel(&window);
    panel.setGeometry(120, 20, 60, 40);
    window.show();
    int moves = 0;
    box.onMouseMove = [&](Qt::KeyboardModifiers, int, int) { ++moves; };
    struct Case {
        Qt::MouseButtons held;
        QPointF at;
        bool delivered;
    };
    const Case cases[] = {
        {Qt::RightButton, {50, 50}, true},    {Qt::RightButton, {130, 30}, false}, // over the panel
        {Qt::MiddleButton, {250, 50}, false},                                      // outside the window
        {Qt::MiddleButton, {-5, 50}, false},  {Qt::LeftButton, {130, 30}, true},
        {Qt::LeftButton, {250, 300}, true},   {Qt::LeftButton | Qt::RightButton, {130, 30}, true},
        {Qt::NoButton, {60, 60}, true},
    };
    for (const Case& c : cases) {
        const int before = moves;
        QMouseEvent ev(QEvent::MouseMove, c.at, box.mapToGlobal(c.at), Qt::NoButton, c.held, Qt::NoModifier);
        QApplication::sendEvent(&box, &ev);
        EXPECT_EQ(moves - before, c.delivered ? 1 : 0)
            << "buttons " << int(c.held) << " at " << c.at.x() << "," << c.at.y();
    }
}

TEST(PictureBox, RepaintOfDeviceRectanglesIsSynchronousAndRoundsOutward)
{
    CountingPictureBox box;
    box.resize(50, 50);
    box.setPicture(patternBitmap(100, 100));
    box.show();
    QApplication::processEvents();
    struct Case {
        PixelRect device;
        QRect logical;
    };
    const Case cases[] = {
        {{4, 6, 8, 10}, QRect(2, 3, 2, 2)},
        {{3, 3, 5, 5}, QRect(1, 1, 2, 2)},
        {{0, 0, 1, 1}, QRect(0, 0, 1, 1)},
        {{99, 0, 100, 100}, QRect(49, 0, 1, 50)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(box.logicalRect(c.device), c.logical);
        const int before = box.paints;
        box.repaintRects({c.device});
        EXPECT_EQ(box.paints, before + 1) << "the repaint must happen before repaintRects returns";
        EXPECT_TRUE(box.lastRegion.contains(c.logical));
    }
    const int before = box.paints;
    box.repaintRects({});
    EXPECT_EQ(box.paints, before);
}

// A pixel source draws the picture straight into the window's image when the
// box paints: at the box's place in the window, one source pixel per device
// pixel, only the rectangles being painted, and without a copy of its own.
// Rendered elsewhere (grab), the box draws it into a picture of its own.
TEST(PictureBox, PixelSourceDrawsIntoTheWindowAtTheBoxsPlace)
{
    QWidget window;
    window.resize(50, 40);
    auto* box = new PictureBox(&window);
    box->setGeometry(5, 3, 40, 30); // device: at (10, 6), 80 x 60
    std::uint32_t generation = 0;
    std::vector<PixelRect> asked;
    // The source is smaller than the box: 70 x 50 device pixels.
    box->setPixelSource(70, 50, [&](std::uint8_t* first, std::ptrdiff_t stride, int width, int height,
                                    const std::vector<PixelRect>& rects) {
        EXPECT_EQ(width, 70);
        EXPECT_EQ(height, 50);
        for (const PixelRect& r : rects) {
            asked.push_back(r);
            for (int y = r.y1; y < r.y2; ++y)
                for (int x = r.x1; x < r.x2; ++x) {
                    const std::uint32_t v = patternPixel(x, y) ^ generation;
                    std::memcpy(first + y * stride + x * 4, &v, 4);
                }
        }
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();

    // The window's own image, as the window system is handed it.
    const auto onScreen = [&] {
        QPaintDevice* device = window.backingStore()->paintDevice();
        return device->devType() == QInternal::Image ? static_cast<QImage*>(device)->copy() : QImage();
    };
    const QImage first = onScreen();
    ASSERT_EQ(first.width(), 100);
    const QRgb background = box->palette().window().color().rgb();
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            const QRgb want = x < 70 && y < 50 ? patternPixel(x, y) : background;
            ASSERT_EQ(first.pixel(10 + x, 6 + y), want) << x << "," << y;
        }
    EXPECT_TRUE(box->picture().empty()) << "the window's image is the only copy";

    // A repaint of one device rectangle asks for it alone and changes only it.
    generation = 0x00FFFFFF;
    asked.clear();
    box->repaintRects({PixelRect{20, 10, 30, 14}});
    ASSERT_FALSE(asked.empty());
    for (const PixelRect& r : asked)
        EXPECT_TRUE(r.x1 >= 20 && r.y1 >= 10 && r.x2 <= 30 && r.y2 <= 14) << r.x1 << "," << r.y1;
    const QImage second = onScreen();
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; ++x) {
            const bool inside = x >= 20 && x < 30 && y >= 10 && y < 14;
            ASSERT_EQ(second.pixel(10 + x, 6 + y), inside ? (patternPixel(x, y) ^ generation) : patternPixel(x, y))
                << x << "," << y;
        }

    const QImage grabbed = box->grab().toImage();
    EXPECT_EQ(grabbed.pixel(33, 21), patternPixel(33, 21) ^ generation);
    EXPECT_EQ(grabbed.pixel(75, 0), background);

    box->clearPicture();
    EXPECT_FALSE(box->hasPicture());
}

} // namespace
} // namespace vornik

int main(int argc, char** argv)
{
    // The scale must be known before the application object exists.
    qputenv("QT_SCALE_FACTOR", "2");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
