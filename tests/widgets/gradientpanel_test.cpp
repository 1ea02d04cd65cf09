#include "widgets/bandgradient.h"
#include "widgets/gradientpanel.h"
#include "widgets/labelededit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/qtenvironment.h"

#include <memory>
#include <vector>

namespace vornik {
namespace {

VORNIK_QT_TEST_ENVIRONMENT();

QRgb rgbOf(std::uint32_t rrggbb) {
    return 0xFF000000u | rrggbb;
}

void configureAsPictureTools(TGradientPanel& panel) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    panel.setGeometry(328, 88, 297, 177);
    panel.setFont(font);
    panel.setFontColor(7485192);
    panel.setColor(16774371);
    panel.setColorTo(15587784);
    panel.setGradientDirection(TGradientDirection::gdVertical);
    panel.setCanMove(true);
    panel.setCanSize(true);
    TPanelCaption caption;
    caption.Text = QStringLiteral("Picture tools");
    caption.Color = 16773091;
    caption.ColorTo = 16765615;
    caption.GradientDirection = TGradientDirection::gdVertical;
    caption.Font = TPanelFont{font, 7485192};
    caption.Indent = 2;
    panel.setCaption(caption);
}

class GradientPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window = std::make_unique<QWidget>();
        m_window->resize(1000, 700);
        m_panel = new TGradientPanel(m_window.get());
        configureAsPictureTools(*m_panel);
        m_child = new QLabel(QStringLiteral("child"), m_panel);
        m_child->setGeometry(8, 104, 281, 65);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // A left-button drag on the panel from one of its client points by
    // delta screen pixels. The panel may move under the pointer, so every
    // point after the press is aimed at a screen position.
    void drag(QPoint from, QPoint delta) {
        const QPoint globalFrom = m_panel->mapToGlobal(from);
        QTest::mousePress(m_panel, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(m_panel, m_panel->mapFromGlobal(globalFrom + delta / 2));
        const QPoint target = m_panel->mapFromGlobal(globalFrom + delta);
        QTest::mouseMove(m_panel, target);
        QTest::mouseRelease(m_panel, Qt::LeftButton, Qt::NoModifier, target);
    }

    const QRect m_start{328, 88, 297, 177};
    std::unique_ptr<QWidget> m_window;
    TGradientPanel* m_panel = nullptr;
    QLabel* m_child = nullptr;
};

TEST_F(GradientPanelTest, RendersGradientsAwayFromTheTitle) {
    m_child->hide();
    const QImage image = m_panel->grab().toImage();
    ASSERT_EQ(image.size(), QSize(297, 177));
    struct Case {
        int x, y;
        std::uint32_t rgb;
    };
    const std::vector<Case> cases = {
        {150, 0, 0xE2EFFF},
        {250, 1, 0xDFEDFF},
        {250, 9, 0xC8E0FF},
        {250, 17, 0xB1D3FF},
        {250, 18, 0xE0F1FD},
        {150, 24, 0xE0F1FD},
        {150, 88, 0xD5E6F6},
        {150, 176, 0xC8D9ED},
        {0, 176, 0xC8D9ED},
        // Grip: the corner pixel is grey, the highlight diagonals white.
        {296, 176, 0x808080},
        {296, 174, 0xFFFFFF},
        {286, 176, 0xFFFFFF},
        {285, 176, 0xC8D9ED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y), rgbOf(c.rgb)) << c.x << "," << c.y;
}

TEST_F(GradientPanelTest, TitleSitsAtTheTopFromColumnThree) {
    m_child->hide();
    const QImage image = m_panel->grab().toImage();
    Bitmap expected(297, 177, 32);
    paintPanelBackground(expected, m_panel->look());
    int textPixels = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 200; ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (expected.pixel32(x, y) & 0xFFFFFF))
                continue;
            ++textPixels;
            EXPECT_LT(y, QFontMetrics(m_panel->caption().Font.Font).height())
                << "text below the character cell";
        }
    }
    EXPECT_GT(textPixels, 50);

    // Exactly the title drawn with its pen at x = 3 and its character cell
    // from row 0, so its baseline lies one ascent below the top.
    QImage title(297, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 297; ++x)
            title.setPixel(x, y, expected.pixel32(x, y));
    {
        QPainter painter(&title);
        painter.setFont(m_panel->caption().Font.Font);
        painter.setPen(QColor(0x08, 0x37, 0x72));
        painter.drawText(QPoint(3, QFontMetrics(m_panel->caption().Font.Font).ascent()), QStringLiteral("Picture tools"));
    }
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(image.pixel(x, y), title.pixel(x, y)) << x << "," << y;
}

TEST_F(GradientPanelTest, LongTitleEndsInsideThePanel) {
    m_child->hide();
    TPanelCaption caption = m_panel->caption();
    caption.Text = QStringLiteral("Picture tools with a title far too long for this narrow panel");
    m_panel->setCaption(caption);
    m_panel->resize(80, 60);
    const QImage image = m_panel->grab().toImage();
    Bitmap expected(80, 60, 32);
    paintPanelBackground(expected, m_panel->look());
    // The ellipsis takes the last few columns of the line box: glyph pixels
    // reach into the right quarter but the text is cut, not wrapped.
    int rightPixels = 0;
    for (int y = 0; y < 18; ++y)
        for (int x = 60; x < 80; ++x)
            rightPixels += (image.pixel(x, y) & 0xFFFFFF) != (expected.pixel32(x, y) & 0xFFFFFF);
    EXPECT_GT(rightPixels, 0);
    for (int y = 13; y < 18; ++y)
        for (int x = 0; x < 80; ++x)
            EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, expected.pixel32(x, y) & 0xFFFFFF) << x << "," << y;
}

TEST_F(GradientPanelTest, CaptionDragMovesByTheDelta) {
    struct Case {
        QPoint press, delta;
        bool moves;
    };
    const std::vector<Case> cases = {
        {{50, 10}, {30, 20}, true},
        {{200, 19}, {-100, -40}, true}, // rows 18 and 19 show the body yet still drag
        {{296, 5}, {-500, -300}, true}, // no limits: the panel may leave its parent
        {{50, 20}, {30, 20}, false},    // below the strip
        {{0, 10}, {30, 20}, false},     // the first column is not part of it
    };
    for (const Case& c : cases) {
        m_panel->setGeometry(m_start);
        drag(c.press, c.delta);
        const QRect expected = c.moves ? m_start.translated(c.delta) : m_start;
        EXPECT_EQ(m_panel->geometry(), expected) << c.press.x() << "," << c.press.y();
    }
    EXPECT_EQ(m_child->geometry(), QRect(8, 104, 281, 65));
}

TEST_F(GradientPanelTest, GripResizesWithoutMinimum) {
    struct Case {
        QPoint press, delta;
        QSize size;
    };
    const int arrow = m_panel->scrollArrowSize();
    const std::vector<Case> cases = {
        {{296, 176}, {50, 30}, {347, 207}},
        {{297 - arrow + 1, 177 - arrow + 1}, {-100, -50}, {197, 127}},
        // Over the child's corner, which does not take the press.
        {{285, 165}, {-296, -176}, {1, 1}},
        {{285, 165}, {-1000, -1000}, {1, 1}},
        // Just outside the square: nothing.
        {{297 - arrow, 176}, {-100, -50}, {297, 177}},
    };
    for (const Case& c : cases) {
        m_panel->setGeometry(m_start);
        drag(c.press, c.delta);
        EXPECT_EQ(m_panel->geometry(), QRect(m_start.topLeft(), c.size)) << c.press.x() << "," << c.press.y();
    }
    EXPECT_EQ(m_child->geometry(), QRect(8, 104, 281, 65));
}

TEST_F(GradientPanelTest, RepaintsForTheNewSize) {
    m_child->hide();
    m_panel->resize(120, 60);
    const QImage image = m_panel->grab().toImage();
    ASSERT_EQ(image.size(), QSize(120, 60));
    // Below the title's character cell the widget shows exactly the composed
    // gradients and grip for the new size.
    Bitmap expected(120, 60, 32);
    paintPanelBackground(expected, m_panel->look());
    paintSizeGrip(expected, 120, 60);
    for (int y = 13; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(image.pixel(x, y), expected.pixel32(x, y)) << x << "," << y;
    EXPECT_EQ(image.pixel(60, 59), rgbOf(0xC8D9ED));
    EXPECT_EQ(image.pixel(119, 59), rgbOf(0x808080));
    EXPECT_EQ(image.pixel(119, 57), rgbOf(0xFFFFFF));
    EXPECT_EQ(m_panel->fullHeight(), 0) << "only a resize through the grip records the height";
}

TEST_F(GradientPanelTest, HoverRaisesOverSiblingsAndSetsTheCursor) {
    // A sibling stacked above the panel but not overlapping it, so the
    // pointer still reaches the panel.
    auto* sibling = new QWidget(m_window.get());
    sibling->setGeometry(0, 0, 100, 80);
    sibling->show();
    ASSERT_EQ(m_window->children().last(), sibling);

    QTest::mouseMove(m_panel, QPoint(100, 100));
    EXPECT_EQ(m_window->children().last(), sibling) << "the body does not raise";
    EXPECT_EQ(m_panel->cursor().shape(), Qt::ArrowCursor);

    QTest::mouseMove(m_panel, QPoint(100, 5));
    EXPECT_EQ(m_window->children().last(), m_panel);
    EXPECT_EQ(m_panel->cursor().shape(), Qt::ArrowCursor);

    sibling->raise();
    QTest::mouseMove(m_panel, QPoint(292, 172));
    EXPECT_EQ(m_window->children().last(), m_panel);
    EXPECT_EQ(m_panel->cursor().shape(), Qt::SizeFDiagCursor);
}

TEST_F(GradientPanelTest, DoubleClickOnTheCaptionChangesNothing) {
    QTest::mouseDClick(m_panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 8));
    EXPECT_EQ(m_panel->geometry(), m_start);
    EXPECT_TRUE(m_panel->isVisible());
    EXPECT_EQ(m_child->geometry(), QRect(8, 104, 281, 65));
}

// Counts the pointer events that reach a widget, its own and those its
// children pass up.
class PointerEventCounter : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (t == QEvent::MouseButtonPress || t == QEvent::MouseMove || t == QEvent::MouseButtonRelease)
            ++count;
        return false;
    }
};

TEST_F(GradientPanelTest, PointerEventsOverThePanelStayThere) {
    // The picture behind the panel must not see moves or presses over it,
    // or its readouts would follow the pointer across the panel.
    PointerEventCounter counter;
    m_window->installEventFilter(&counter);
    for (const QPoint& p : {QPoint(100, 100), QPoint(100, 5), QPoint(20, 120), QPoint(292, 172)}) {
        QTest::mouseMove(m_panel, p);
        QTest::mouseClick(m_panel, Qt::RightButton, Qt::NoModifier, p);
    }
    QTest::mouseMove(m_child, QPoint(30, 30));
    QTest::mouseClick(m_child, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(counter.count, 0);
    EXPECT_EQ(m_panel->geometry(), m_start);
}

// A paint of part of the panel composes only that part, and the window
// shows there what a paint of the whole panel shows.
TEST_F(GradientPanelTest, APartialPaintComposesOnlyItsPartWithTheSamePixels) {
    m_child->hide();
    QApplication::processEvents(); // the repaint for the hidden child
    const QImage whole = m_panel->grab().toImage();
    const std::vector<QRect> parts = {
        {0, 0, 297, 20},    // caption strip with the title
        {40, 3, 9, 6},      // inside the title
        {100, 60, 30, 40},  // body
        {280, 160, 17, 17}, // grip
        {296, 0, 1, 177},   // last column
        {250, 170, 100, 100}, // reaching past the panel's corner
    };
    for (const QRect& part : parts) {
        m_panel->repaint(part);
        const QRect inside = part.intersected(m_panel->rect());
        EXPECT_EQ(m_panel->lastComposedRect(), inside);
        const QImage shown = m_window->screen()->grabWindow(m_window->winId()).toImage();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                ASSERT_EQ(shown.pixel(m_panel->mapTo(m_window.get(), QPoint(x, y))), whole.pixel(x, y))
                    << x << "," << y << " painting " << part.x() << "," << part.y();
    }
}

// A move or resize acts like the desktop's move and size loops: Escape puts
// the panel back and is not passed on, another key ends the drag where it is
// and is passed on, and so does hiding. None leaves the panel following the
// pointer afterwards.
TEST_F(GradientPanelTest, EscapeCancelsADragAndAnythingElseEndsIt) {
    QWindow* keys = m_window->windowHandle();
    int keysPassedOn = 0;
    struct KeyCounter : QObject {
        int* count;
        explicit KeyCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            *count += event->type() == QEvent::KeyPress;
            return false;
        }
    } windowKeys(&keysPassedOn);
    keys->installEventFilter(&windowKeys);

    enum class End { Escape, F2, Hide, MoveWithoutButton };
    struct Case {
        QPoint press;
        End end;
        QRect after; // where the panel stays
        int passedOn;
    };
    const QRect moved = m_start.translated(40, 30);
    const QRect sized(m_start.topLeft(), m_start.size() + QSize(40, 30));
    const std::vector<Case> cases = {
        {{50, 10}, End::Escape, m_start, 0},
        {{296, 176}, End::Escape, m_start, 0},
        {{50, 10}, End::F2, moved, 1},
        {{296, 176}, End::F2, sized, 1},
        {{50, 10}, End::Hide, moved, 0},
        {{50, 10}, End::MoveWithoutButton, moved, 0},
    };
    for (const Case& c : cases) {
        m_panel->setGeometry(m_start);
        keysPassedOn = 0;
        const QPoint globalFrom = m_panel->mapToGlobal(c.press);
        QTest::mousePress(m_panel, Qt::LeftButton, Qt::NoModifier, c.press);
        QTest::mouseMove(m_panel, m_panel->mapFromGlobal(globalFrom + QPoint(40, 30)));
        ASSERT_TRUE(m_panel->dragging());
        switch (c.end) {
        case End::Escape:
            QTest::keyClick(keys, Qt::Key_Escape);
            break;
        case End::F2:
            QTest::keyClick(keys, Qt::Key_F2);
            break;
        case End::Hide:
            m_window->hide();
            m_window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
            break;
        case End::MoveWithoutButton: {
            QMouseEvent free(QEvent::MouseMove, QPointF(c.press + QPoint(40, 30)),
                             QPointF(globalFrom + QPoint(40, 30)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(m_panel, &free);
            break;
        }
        }
        EXPECT_FALSE(m_panel->dragging()) << int(c.end);
        EXPECT_EQ(m_panel->geometry(), c.after) << int(c.end);
        EXPECT_EQ(keysPassedOn, c.passedOn) << int(c.end);
        // The pointer goes on moving, with and without the button: the panel
        // stays where the drag left it.
        QTest::mouseMove(m_panel, m_panel->mapFromGlobal(globalFrom + QPoint(-90, 70)));
        QTest::mouseRelease(m_panel, Qt::LeftButton, Qt::NoModifier,
                            m_panel->mapFromGlobal(globalFrom + QPoint(-90, 70)));
        QTest::mouseMove(m_panel, m_panel->mapFromGlobal(globalFrom + QPoint(120, 90)));
        EXPECT_EQ(m_panel->geometry(), c.after) << int(c.end);
    }

    // A modifier pressed during a drag leaves it running.
    m_panel->setGeometry(m_start);
    QTest::mousePress(m_panel, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    QTest::keyPress(keys, Qt::Key_Shift);
    EXPECT_TRUE(m_panel->dragging());
    QTest::keyRelease(keys, Qt::Key_Shift);
    QTest::mouseRelease(m_panel, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    keys->removeEventFilter(&windowKeys);
}

class LabeledEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_panel = std::make_unique<TGradientPanel>();
        m_panel->resize(300, 200);
        QFont font;
        font.setPixelSize(11);
        m_panel->setFont(font);
        m_panel->setColor(16774371);
        m_panel->setFontColor(7485192);
        m_edit = new TLabeledEdit(m_panel.get());
        m_edit->setGeometry(8, 40, 81, 19);
        m_edit->setLabelCaption(QStringLiteral("Mouse X:Y [F2]"));
        m_panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_panel.get()));
    }

    std::unique_ptr<TGradientPanel> m_panel;
    TLabeledEdit* m_edit = nullptr;
};

TEST_F(LabeledEditTest, LabelSitsThreePixelsAboveTheBoxWhereverItMoves) {
    QLabel* label = m_edit->EditLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), m_panel.get());
    EXPECT_EQ(label->text(), QStringLiteral("Mouse X:Y [F2]"));
    const QFontMetrics metrics(m_panel->font());
    EXPECT_EQ(label->size(), QSize(metrics.horizontalAdvance(label->text()), metrics.height()));
    for (const QPoint& at : {QPoint(8, 40), QPoint(104, 80), QPoint(3, 2)}) {
        m_edit->move(at);
        EXPECT_EQ(label->pos(), QPoint(at.x(), at.y() - label->height() - 3)) << at.x() << "," << at.y();
    }
    m_edit->setLabelCaption(QStringLiteral("Selected area size [F4]"));
    EXPECT_EQ(label->width(), metrics.horizontalAdvance(QStringLiteral("Selected area size [F4]")));
}

TEST_F(LabeledEditTest, LabelFollowsFontAndVisibility) {
    QLabel* label = m_edit->EditLabel();
    QFont big = m_panel->font();
    big.setPixelSize(20);
    m_panel->setFont(big);
    QApplication::processEvents();
    EXPECT_EQ(label->height(), QFontMetrics(big).height());
    EXPECT_EQ(label->y(), m_edit->y() - label->height() - 3);
    m_edit->hide();
    EXPECT_FALSE(label->isVisible());
    m_edit->show();
    EXPECT_TRUE(label->isVisible());
}

TEST_F(LabeledEditTest, FlatBoxAndOpaqueLabel) {
    const QImage box = m_edit->grab().toImage();
    ASSERT_EQ(box.size(), QSize(81, 19));
    for (const QPoint& p :
         {QPoint(0, 0), QPoint(80, 0), QPoint(0, 18), QPoint(80, 18), QPoint(40, 0), QPoint(0, 9)})
        EXPECT_EQ(box.pixel(p), qRgb(0, 0, 0)) << "border at " << p.x() << "," << p.y();
    for (const QPoint& p : {QPoint(1, 1), QPoint(40, 9), QPoint(79, 17)})
        EXPECT_EQ(box.pixel(p), qRgb(255, 255, 255)) << "window colour at " << p.x() << "," << p.y();
    EXPECT_FALSE(m_edit->isReadOnly());
    EXPECT_EQ(m_edit->palette().color(QPalette::Text), QColor(0x08, 0x37, 0x72));

    const QImage label = m_edit->EditLabel()->grab().toImage();
    EXPECT_EQ(label.pixel(0, label.height() - 1), qRgb(0xE3, 0xF4, 0xFF));
    int textPixels = 0;
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x)
            textPixels += label.pixel(x, y) != qRgb(0xE3, 0xF4, 0xFF);
    EXPECT_GT(textPixels, 20);
}

} // namespace
} // namespace vornik
