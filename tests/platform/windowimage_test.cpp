// The image under a top-level window, asked for at every stage of the
// window's life. tests/e2e/capture.sh also runs this on a real X server at
// scale 1 and 2, where asking Qt too early crashes.
#include "platform/qt/windowimage.h"

#include "../support/qtenvironment.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

namespace vornik {
namespace {

VORNIK_QT_TEST_ENVIRONMENT();

constexpr QRgb kFill = 0xFF2060A0;

class FilledWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor::fromRgb(kFill)); }
};

TEST(WindowImage, NoneBeforeTheFirstPaintThenTheFramePaintedIntoIt)
{
    FilledWindow window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(40, 30, 120, 90);
    EXPECT_EQ(windowImageOf(window), nullptr) << "never shown";

    // Shown and hidden again before the paint could come, as a window that
    // hides itself at start may be on a busy machine.
    window.show();
    window.hide();
    EXPECT_EQ(windowImageOf(window), nullptr) << "hidden before its first paint";
    QApplication::processEvents();
    EXPECT_EQ(windowImageOf(window), nullptr) << "a hidden window is not painted";

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(windowImageOf(window) != nullptr);
    const QImage* image = windowImageOf(window);
    const qreal ratio = window.devicePixelRatioF();
    EXPECT_EQ(image->size(), (QSizeF(window.size()) * ratio).toSize());
    QTRY_COMPARE(image->pixel(image->width() / 2, image->height() / 2), kFill);
    EXPECT_EQ(image->pixel(image->width() - 1, image->height() - 1), kFill);

    // Hidden after painting, the image stays for the next showing.
    window.hide();
    EXPECT_EQ(windowImageOf(window), image);
}

} // namespace
} // namespace vornik
