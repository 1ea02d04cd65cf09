#include "app/mainform_unit.h"
#include "platform/posix/files.h"
#include "screentools/agg2d.h"
#include "screentools/overlay.h"
#include "screentools/picturebox.h"
#include "widgets/gradientpanel.h"
#include "widgets/labelededit.h"
#include "widgets/menuitem.h"

#include <QApplication>
#include <QBackingStore>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace vornik {
namespace {

// A capture of known content: pixel (x, y) has red x, green y and blue 7.
Bitmap knownCapture(int width, int height)
{
    Bitmap capture(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            capture.setPixel32(x, y, 0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 | 7u);
    return capture;
}

class ToolWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove(addressFilePath().c_str());
        form = std::make_unique<TForm1>();
        form->Tag = kTagRunning;
        form->Colorpickersizecuttools1Click(nullptr);
        // The offscreen desktop has nothing worth capturing: put a known
        // picture in place of the capture, as the opening would have.
        *form->screenshot = knownCapture(200, 150);
        form->Image1->setPicture(*form->screenshot);
    }
    void TearDown() override
    {
        form.reset();
        std::remove(addressFilePath().c_str());
    }

    std::string text(const TLabeledEdit* box) const { return box->text().toStdString(); }
    void key(Qt::Key k) { QTest::keyClick(form->windowHandle(), k); }

    std::unique_ptr<TForm1> form;
};

TEST_F(ToolWindow, OpeningSetsModeAndClearsSelection)
{
    EXPECT_EQ(form->toolmode, "screentools");
    EXPECT_EQ(form->selx1, -1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(ToolWindow, ReadoutsFollowThePointerAndTheSizeIsThatOfTheSelectionDrawn)
{
    form->mousexy->setText(QStringLiteral("old"));
    EXPECT_EQ(text(form->mousexy), "old") << "texts stay until the pointer first moves";

    form->Image1MouseMove({}, 120, 45);
    EXPECT_EQ(text(form->mousexy), "120:45");
    EXPECT_EQ(text(form->pixelcolor), "#782D07");
    EXPECT_EQ(text(form->rectangle), "select area with mouse drag");

    form->Image1MouseDown(Qt::LeftButton, {}, 10, 20);
    EXPECT_TRUE(form->selecting);
    // Every move of a drag shows the size of the box it leaves drawn, the
    // last one included, and the release keeps it.
    form->selx2 = 0;
    form->sely2 = 0;
    form->Image1MouseMove({}, 40, 25);
    EXPECT_EQ(text(form->rectangle), "30:5");
    form->Image1MouseMove({}, 50, 60);
    EXPECT_EQ(text(form->rectangle), "40:40");
    form->Image1MouseUp(Qt::LeftButton, {}, 50, 60);
    EXPECT_FALSE(form->selecting);
    EXPECT_EQ(text(form->rectangle), "40:40");
    form->Image1MouseMove({}, 70, 80);
    EXPECT_EQ(text(form->rectangle), "40:40");
    EXPECT_EQ(form->selx2, 50);
    EXPECT_EQ(form->sely2, 60);
    EXPECT_EQ(form->mousex, 70);
    EXPECT_EQ(form->mousey, 80);

    // Outside the capture the colour reads as the invalid colour.
    form->Image1MouseMove({}, -5, 3);
    EXPECT_EQ(text(form->mousexy), "-5:3");
    EXPECT_EQ(text(form->pixelcolor), "#FFFFFF");
}

// Opened for real, the tool window's own pixels are the picture: after every
// move they show what a full redraw of the overlay over the capture gives,
// under the info panel's place excepted. The capture is put in place before
// the window first paints, as the opening leaves it.
TEST_F(ToolWindow, OpenedWindowShowsTheFullRedrawAfterEveryMove)
{
    key(Qt::Key_Escape);
    form->Colorpickersizecuttools1Click(nullptr);
    ASSERT_TRUE(form->Image1->hasPixelSource());
    *form->screenshot = knownCapture(form->screenshot->width(), form->screenshot->height());
    const Bitmap capture = *form->screenshot;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    const int w = capture.width();
    const int h = capture.height();
    const QRect panel(form->GradientPanel1->mapTo(form.get(), QPoint(0, 0)) * form->devicePixelRatio(),
                      form->GradientPanel1->size() * form->devicePixelRatio());
    const auto shows = [&](const OverlayState* state) {
        Bitmap expected = capture;
        if (state != nullptr) {
            TAgg2D agg;
            drawFull(agg, expected, capture, *state);
        }
        QPaintDevice* device = form->backingStore()->paintDevice();
        if (device->devType() != QInternal::Image)
            return ::testing::AssertionFailure() << "no window image";
        const QImage& image = *static_cast<QImage*>(device);
        for (int y = 0; y < std::min(h, image.height()); ++y)
            for (int x = 0; x < std::min(w, image.width()); ++x) {
                if (panel.contains(x, y))
                    continue;
                if ((image.pixel(x, y) & 0xFFFFFF) != (expected.pixel32(x, y) & 0xFFFFFF))
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y;
            }
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(shows(nullptr)) << "the plain capture before the first move";
    struct Step {
        enum { Move, Down, Up } what;
        int x, y;
    };
    const Step steps[] = {{Step::Move, 40, 30}, {Step::Move, 43, 29}, {Step::Down, 43, 29}, {Step::Move, 90, 70},
                          {Step::Move, 91, 72}, {Step::Up, 91, 72},    {Step::Move, 20, 10}, {Step::Down, 20, 10},
                          {Step::Move, 5, 4},   {Step::Move, 5, 4}};
    for (const Step& s : steps) {
        if (s.what == Step::Down)
            form->Image1MouseDown(Qt::LeftButton, {}, s.x, s.y);
        else if (s.what == Step::Up)
            form->Image1MouseUp(Qt::LeftButton, {}, s.x, s.y);
        else
            form->Image1MouseMove({}, s.x, s.y);
        const OverlayState state{form->mousex, form->mousey, form->selx1, form->sely1, form->selx2, form->sely2};
        if (s.what == Step::Move) {
            EXPECT_TRUE(shows(&state)) << "after the move to " << s.x << "," << s.y;
        }
    }
}

// Closed, the tool window keeps only the capture: the picture with the
// overlay goes, and so does the memory under the window's screen-sized image
// (whose pages read as zero afterwards); the next opening shows the capture
// again.
TEST_F(ToolWindow, ClosingReleasesThePictureAndTheWindowImageButKeepsTheCapture)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->Image1MouseMove({}, 20, 30);
    QApplication::processEvents();
    ASSERT_NE(form->backingStore(), nullptr);
    const auto windowImage = [&]() -> const QImage* {
        QPaintDevice* device = form->backingStore()->paintDevice();
        return device != nullptr && device->devType() == QInternal::Image ? static_cast<const QImage*>(device)
                                                                          : nullptr;
    };
    // A whole memory page from the middle of the image.
    const auto middlePageIsBlank = [&] {
        const QImage* image = windowImage();
        const auto middle = reinterpret_cast<std::uintptr_t>(image->constBits()) + image->sizeInBytes() / 2;
        const auto* page = reinterpret_cast<const uchar*>((middle + 4095) / 4096 * 4096);
        return std::all_of(page, page + 4096, [](uchar b) { return b == 0; });
    };
    ASSERT_NE(windowImage(), nullptr);
    ASSERT_GT(windowImage()->sizeInBytes(), 4 * 4096);
    ASSERT_FALSE(middlePageIsBlank());
    key(Qt::Key_Escape);
    ASSERT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Image1->hasPicture());
    EXPECT_TRUE(middlePageIsBlank());
    EXPECT_EQ(form->screenshot->width(), 200);
    EXPECT_EQ(form->mousexy->text().toStdString(), "20:30");

    form->Colorpickersizecuttools1Click(nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(form->Image1->hasPicture());
    QTRY_VERIFY(!middlePageIsBlank());
}

// Moves come faster than frames: the window may show a burst of them once,
// but what it shows in the end, what a release keeps and what a key copies
// are those of the last move.
TEST_F(ToolWindow, ABurstOfMovesEndsAtTheLastOneWhateverComesNext)
{
    const auto burst = [&](std::initializer_list<QPoint> points) {
        for (const QPoint& p : points)
            form->Image1->onMouseMove({}, p.x(), p.y());
    };
    form->show();
    burst({{5, 5}});
    form->Image1MouseDown(Qt::LeftButton, {}, 10, 20);
    burst({{25, 22}, {40, 25}, {50, 60}});
    form->Image1MouseUp(Qt::LeftButton, {}, 50, 60);
    EXPECT_EQ(text(form->rectangle), "40:40") << "the release came before the last move was shown";
    EXPECT_EQ(text(form->mousexy), "50:60");

    burst({{70, 80}, {90, 100}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(form->mousexy) == "90:100"; }, 1000))
        << "the last move of a burst was never shown: " << text(form->mousexy);
    EXPECT_EQ(text(form->pixelcolor), "#5A6407");

    burst({{100, 110}, {110, 120}});
    QGuiApplication::clipboard()->clear();
    key(Qt::Key_F2);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "110:120");
}

TEST_F(ToolWindow, ReadoutKeysCopyAndClose)
{
    form->Image1MouseMove({}, 12, 34);
    struct Case {
        Qt::Key key;
        TLabeledEdit* box;
    } cases[] = {{Qt::Key_F2, form->mousexy}, {Qt::Key_F3, form->pixelcolor}, {Qt::Key_F4, form->rectangle}};
    for (const Case& c : cases) {
        form->show();
        QGuiApplication::clipboard()->clear();
        key(c.key);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), text(c.box));
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(ToolWindow, EscapeClosesAndKeysDoNothingOutsideTheTools)
{
    key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());

    TForm1 fresh;
    fresh.Tag = kTagRunning;
    fresh.show();
    QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
    for (Qt::Key k : {Qt::Key_Escape, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4})
        QTest::keyClick(fresh.windowHandle(), k);
    EXPECT_TRUE(fresh.isVisible()) << "without the tool mode no key closes the window";
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "unchanged");
}

TEST_F(ToolWindow, FocusedEditBoxStillReceivesTheKeys)
{
    form->Image1MouseMove({}, 1, 2);
    form->activateWindow();
    form->rectangle->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(form->rectangle->hasFocus(), 1000);
    form->rectangle->setText(QStringLiteral("my text"));
    form->rectangle->end(false);
    QTest::keyClick(form->windowHandle(), Qt::Key_Z);
    EXPECT_EQ(text(form->rectangle), "my textz");
    key(Qt::Key_F4);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "my textz");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ToolWindow, CopiedReadoutIsCollectedOnlyWhileCollectionIsOn)
{
    const auto fileContent = [] {
        std::ifstream in(addressFilePath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    form->mousexy->setText(QStringLiteral("me@host"));
    key(Qt::Key_F2);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(fileContent()), QStringLiteral("me@host\r\n"), 2000);

    form->menu_emailcollect->Click();
    EXPECT_FALSE(form->menu_emailcollect->Checked);
    form->show();
    form->mousexy->setText(QStringLiteral("other@host"));
    key(Qt::Key_F2);
    QTest::qWait(100);
    EXPECT_EQ(fileContent(), "me@host\r\n") << "collection switched off must not read or write";

    form->menu_emailcollect->Click();
    EXPECT_TRUE(form->menu_emailcollect->Checked);
    QGuiApplication::clipboard()->setText(QStringLiteral("third@host"));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(fileContent()), QStringLiteral("me@host\r\nthird@host\r\n"), 2000);
}

// Counts the presses that reach a widget.
class PressCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        presses += event->type() == QEvent::MouseButtonPress;
        return false;
    }
};

// A panel drag ends with the tool window: Escape cancels it without closing
// the window, F2 or a close ends it where it is, and after the next opening
// the panel does not follow the pointer with no button held.
TEST_F(ToolWindow, APanelDragDoesNotOutliveTheToolWindow)
{
    QWindow* window = form->windowHandle();
    TGradientPanel* panel = form->GradientPanel1;
    const QRect start = panel->geometry();
    const QPoint caption = start.topLeft() + QPoint(60, 8);
    const QPoint grip = start.bottomRight();
    enum class End { Escape, F2, Close };
    struct Case {
        QPoint press;
        End end;
        QRect after;
        bool open;
    };
    const Case cases[] = {
        {caption, End::Escape, start, true},
        {grip, End::Escape, start, true},
        {caption, End::F2, start.translated(-200, 150), false},
        {caption, End::Close, start.translated(-200, 150), false},
        {grip, End::Close, QRect(start.topLeft(), start.size() + QSize(-200, 150)), false},
    };
    for (const Case& c : cases) {
        panel->setGeometry(start);
        form->Image1MouseMove({}, 12, 34);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::mousePress(window, Qt::LeftButton, {}, c.press);
        QTest::mouseMove(window, c.press + QPoint(-100, 75));
        QTest::mouseMove(window, c.press + QPoint(-200, 150));
        if (c.end == End::Escape)
            key(Qt::Key_Escape);
        else if (c.end == End::F2)
            key(Qt::Key_F2);
        else
            form->close();
        EXPECT_EQ(form->isVisible(), c.open) << int(c.end);
        EXPECT_EQ(panel->geometry(), c.after) << int(c.end);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.end == End::F2 ? "12:34" : "before");
        // The release of a drag ended by closing never reaches the window: the
        // button is let go only after the next opening, and until then the
        // panel must not follow the pointer.
        if (!c.open)
            form->Colorpickersizecuttools1Click(nullptr);
        QTest::mouseMove(window, QPoint(700, 500));
        QTest::mouseMove(window, QPoint(20, 20));
        EXPECT_EQ(panel->geometry(), c.after) << "the panel followed the pointer after " << int(c.end);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(window, QPoint(600, 400));
        EXPECT_EQ(panel->geometry(), c.after) << "the panel followed the pointer after " << int(c.end);
        EXPECT_TRUE(form->isVisible());
    }
}

// Only the left button captures the pointer for the picture. A press during
// a right- or middle-button drag of the picture goes to what is under the
// pointer; during a left-button drag it goes to the picture.
TEST_F(ToolWindow, ASecondButtonGoesWhereThePointerIsUnlessTheLeftOneIsHeld)
{
    QWindow* window = form->windowHandle();
    TGradientPanel* panel = form->GradientPanel1;
    const QRect start = panel->geometry();
    PressCounter panelPresses, boxPresses;
    panel->installEventFilter(&panelPresses);
    form->mousexy->installEventFilter(&boxPresses);
    const QPoint onPicture(50, 300);
    const QPoint caption = start.topLeft() + QPoint(72, 7);
    const QPoint box = form->mousexy->mapTo(form.get(), QPoint(10, 5));
    struct Case {
        Qt::MouseButton first, second;
        QPoint secondAt;
        bool pictureGetsIt;
        int panelPresses, boxPresses;
        QRect panelAfter;
    };
    const Case cases[] = {
        {Qt::RightButton, Qt::LeftButton, caption, false, 1, 0, start.translated(30, 20)},
        {Qt::MiddleButton, Qt::LeftButton, caption, false, 1, 0, start.translated(30, 20)},
        {Qt::RightButton, Qt::LeftButton, box, false, 0, 1, start},
        {Qt::LeftButton, Qt::RightButton, caption, true, 0, 0, start},
        {Qt::RightButton, Qt::LeftButton, QPoint(80, 320), true, 0, 0, start},
    };
    for (const Case& c : cases) {
        panel->setGeometry(start);
        panelPresses.presses = boxPresses.presses = 0;
        QTest::mousePress(window, c.first, {}, onPicture);
        ASSERT_EQ(form->selx1, onPicture.x());
        QTest::mouseMove(window, c.secondAt);
        QTest::mousePress(window, c.second, {}, c.secondAt);
        EXPECT_EQ(form->selx1, c.pictureGetsIt ? c.secondAt.x() : onPicture.x()) << int(c.first) << "," << int(c.second);
        QTest::mouseMove(window, c.secondAt + QPoint(15, 10));
        QTest::mouseMove(window, c.secondAt + QPoint(30, 20));
        QTest::mouseRelease(window, c.second, {}, c.secondAt + QPoint(30, 20));
        QTest::mouseRelease(window, c.first, {}, c.secondAt + QPoint(30, 20));
        EXPECT_FALSE(form->selecting) << "the picture's own button ended its drag";
        EXPECT_EQ(panelPresses.presses, c.panelPresses) << int(c.first) << "," << int(c.second);
        EXPECT_EQ(boxPresses.presses, c.boxPresses) << int(c.first) << "," << int(c.second);
        EXPECT_EQ(panel->geometry(), c.panelAfter) << int(c.first) << "," << int(c.second);
    }
}

} // namespace
} // namespace vornik
