#include "screentools/infopanel.h"

#include "widgets/bandgradient.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/screentools/shownpanel.h"
#include "tests/support/qtenvironment.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace vornik {
namespace {

VORNIK_QT_TEST_ENVIRONMENT();

using InfoPanelTest = ShownInfoPanel;

TEST_F(InfoPanelTest, PanelAtItsStartPositionWithItsCaption) {
    TGradientPanel* panel = m_info.GradientPanel1;
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->parentWidget(), m_main.get());
    EXPECT_EQ(panel->objectName(), QStringLiteral("GradientPanel1"));
    EXPECT_EQ(panel->geometry(), QRect(328, 88, 297, 177));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->caption().Text, QStringLiteral("Picture tools"));
    EXPECT_EQ(panel->caption().Height, 20);
    EXPECT_EQ(panel->caption().Indent, 2);
    EXPECT_TRUE(panel->canMove());
    EXPECT_TRUE(panel->canSize());
    EXPECT_EQ(panel->font().pixelSize(), 11);
    EXPECT_EQ(panel->caption().Font.Font.pixelSize(), 11);
    EXPECT_EQ(panel->caption().Font.FontColor, 7485192u);
}

TEST_F(InfoPanelTest, ReadoutBoxesAndTheirLabels) {
    struct Case {
        TLabeledEdit* edit;
        const char* name;
        QRect box;
        const char* label;
    };
    const std::vector<Case> cases = {
        {m_info.mousexy, "mousexy", {8, 40, 81, 19}, "Mouse X:Y [F2]"},
        {m_info.pixelcolor, "pixelcolor", {8, 80, 81, 19}, "Pixel color [F3]"},
        // The selection-size box is as wide as its hint needs, at least
        // 113 pixels and no wider than the panel's margin allows.
        {m_info.rectangle, "rectangle", {104, 40, std::clamp(m_info.rectangle->width(), 113, 297 - 8 - 104), 19},
         "Selected area size [F4]"},
    };
    const QFontMetrics metrics(panelFont());
    for (const Case& c : cases) {
        ASSERT_NE(c.edit, nullptr) << c.name;
        EXPECT_EQ(c.edit->objectName(), QString::fromLatin1(c.name));
        EXPECT_EQ(c.edit->parentWidget(), m_info.GradientPanel1) << c.name;
        EXPECT_EQ(c.edit->geometry(), c.box) << c.name;
        EXPECT_TRUE(c.edit->text().isEmpty()) << c.name;
        EXPECT_FALSE(c.edit->isReadOnly()) << c.name;
        EXPECT_EQ(c.edit->font().pixelSize(), 11) << c.name;
        EXPECT_EQ(c.edit->palette().color(QPalette::Text), QColor(0x08, 0x37, 0x72)) << c.name;

        QLabel* label = c.edit->EditLabel();
        EXPECT_EQ(label->text(), QString::fromLatin1(c.label)) << c.name;
        EXPECT_EQ(label->parentWidget(), m_info.GradientPanel1) << c.name;
        EXPECT_TRUE(label->isVisible()) << c.name;
        EXPECT_EQ(label->height(), metrics.height()) << c.name;
        EXPECT_EQ(label->width(), metrics.horizontalAdvance(QString::fromLatin1(c.label))) << c.name;
        EXPECT_EQ(label->x(), c.box.left()) << c.name;
        EXPECT_EQ(label->y(), c.box.top() - label->height() - 3) << c.name;
        EXPECT_EQ(label->palette().color(QPalette::Window), QColor(0xE3, 0xF4, 0xFF)) << c.name;
        EXPECT_TRUE(label->autoFillBackground()) << c.name;
    }
}

TEST_F(InfoPanelTest, ReadoutTextsAreSetAndRead) {
    m_info.mousexy->setText(QStringLiteral("120:45"));
    m_info.pixelcolor->setText(QStringLiteral("#FF0000"));
    m_info.rectangle->setText(QStringLiteral("select area with mouse drag"));
    EXPECT_EQ(m_info.mousexy->text(), QStringLiteral("120:45"));
    EXPECT_EQ(m_info.pixelcolor->text(), QStringLiteral("#FF0000"));
    EXPECT_EQ(m_info.rectangle->text(), QStringLiteral("select area with mouse drag"));
    // The long text shows from its start.
    EXPECT_EQ(m_info.rectangle->cursorPosition(), 0);
    const QImage box = m_info.rectangle->grab().toImage();
    m_info.rectangle->setText(QStringLiteral("select"));
    const QImage first = m_info.rectangle->grab().toImage();
    EXPECT_EQ(box.copy(0, 0, 10, 19), first.copy(0, 0, 10, 19));
}

TEST_F(InfoPanelTest, TabOrderRunsThroughTheThreeBoxes) {
    m_main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_main.get()));
    m_info.mousexy->setFocus();
    ASSERT_TRUE(m_info.mousexy->hasFocus());
    QTest::keyClick(m_info.mousexy, Qt::Key_Tab);
    EXPECT_TRUE(m_info.pixelcolor->hasFocus());
    QTest::keyClick(m_info.pixelcolor, Qt::Key_Tab);
    EXPECT_TRUE(m_info.rectangle->hasFocus());
}

TEST_F(InfoPanelTest, HelpTextIsATransparentWrappedLabel) {
    QLabel* label = m_info.Label1;
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), QRect(8, 104, 281, 65));
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(label->text(),
              QStringLiteral("You can select area width mouse. Press F2-F4 to copy values to clipboard "
                             "and close.\nto close tool press ESC\n\n[F5] save selected area to disk"));
    EXPECT_EQ(QString::fromLatin1(kLabel1Text).split(QStringLiteral("\r\n")).size(), 4);
    EXPECT_FALSE(label->autoFillBackground());

    const QImage image = m_info.GradientPanel1->grab().toImage();
    Bitmap body(297, 177, 32);
    PaintBandGradient(body, 16774371, 15587784, 64, GradientRect{0, 0, 297, 177}, false);
    // The label's lower right corner holds no text: the body shows through.
    for (const QPoint& p : {QPoint(286, 160), QPoint(280, 168), QPoint(200, 166)})
        EXPECT_EQ(image.pixel(p), body.pixel32(p.x(), p.y())) << p.x() << "," << p.y();
    // And the text is there.
    int textPixels = 0;
    for (int y = 104; y < 169; ++y)
        for (int x = 8; x < 289; ++x)
            textPixels += image.pixel(x, y) != body.pixel32(x, y);
    EXPECT_GT(textPixels, 300);
}

TEST_F(InfoPanelTest, PanelPixelsAwayFromTitleAndChildren) {
    const QImage image = m_info.GradientPanel1->grab().toImage();
    struct Case {
        int x, y;
        QRgb rgb;
    };
    const std::vector<Case> cases = {
        {250, 0, qRgb(0xE2, 0xEF, 0xFF)},   {250, 1, qRgb(0xDF, 0xED, 0xFF)},
        {250, 9, qRgb(0xC8, 0xE0, 0xFF)},   {250, 17, qRgb(0xB1, 0xD3, 0xFF)},
        {250, 24, qRgb(0xE0, 0xF1, 0xFD)},  {250, 88, qRgb(0xD5, 0xE6, 0xF6)},
        {150, 176, qRgb(0xC8, 0xD9, 0xED)}, {296, 176, qRgb(0x80, 0x80, 0x80)},
        {286, 176, qRgb(0xFF, 0xFF, 0xFF)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(image.pixel(c.x, c.y), c.rgb) << c.x << "," << c.y;
}

TEST_F(InfoPanelTest, KeepsWhereTheUserLeftItAcrossHideAndShow) {
    TGradientPanel* panel = m_info.GradientPanel1;
    const QPoint from(60, 8);
    const QPoint globalFrom = panel->mapToGlobal(from);
    QTest::mousePress(panel, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(panel, panel->mapFromGlobal(globalFrom + QPoint(-200, 150)));
    QTest::mouseRelease(panel, Qt::LeftButton, Qt::NoModifier,
                        panel->mapFromGlobal(globalFrom + QPoint(-200, 150)));
    panel->resize(250, 150);
    m_info.mousexy->setText(QStringLiteral("1:2"));
    const QRect moved(128, 238, 250, 150);
    ASSERT_EQ(panel->geometry(), moved);

    m_main->hide();
    EXPECT_FALSE(panel->isVisible());
    m_main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_main.get()));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), moved);
    EXPECT_EQ(m_info.mousexy->text(), QStringLiteral("1:2"));
    EXPECT_EQ(m_info.mousexy->geometry(), QRect(8, 40, 81, 19));
}

// Counts the paint events each watched widget gets and the region they cover.
class PaintCounter : public QObject {
  public:
    std::map<const QObject*, int> paints;
    std::map<const QObject*, QRegion> regions;

    void watch(QWidget* widget) { widget->installEventFilter(this); }
    void clear() {
        paints.clear();
        regions.clear();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[watched];
            regions[watched] += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// What the window shows now, read back from its backing store.
QImage onScreen(QWidget* window) {
    return window->screen()->grabWindow(window->winId()).toImage();
}

TEST_F(InfoPanelTest, ReadoutUpdateRepaintsOnlyThatBoxWithTheSamePixels) {
    TGradientPanel* panel = m_info.GradientPanel1;
    PaintCounter counter;
    const std::vector<QWidget*> watched = {panel,
                                           m_info.Label1,
                                           m_info.mousexy,
                                           m_info.pixelcolor,
                                           m_info.rectangle,
                                           m_info.mousexy->EditLabel(),
                                           m_info.pixelcolor->EditLabel(),
                                           m_info.rectangle->EditLabel()};
    for (QWidget* w : watched)
        counter.watch(w);
    m_info.rectangle->setText(QStringLiteral("select area with mouse drag"));
    QApplication::processEvents();

    struct Case {
        TLabeledEdit* box;
        const char* text;
    };
    const std::vector<Case> cases = {
        {m_info.mousexy, "120:45"},
        {m_info.pixelcolor, "#FF0000"},
        {m_info.rectangle, "1500:900"},
        {m_info.mousexy, "-5:3"},
    };
    for (const Case& c : cases) {
        counter.clear();
        c.box->setText(QString::fromLatin1(c.text));
        QTRY_COMPARE_WITH_TIMEOUT(counter.paints[c.box], 1, 2000);
        QApplication::processEvents();
        for (QWidget* w : watched) {
            if (w == c.box)
                continue;
            EXPECT_EQ(counter.paints[w], 0) << w->objectName().toStdString() << " repainted for " << c.text;
        }
        EXPECT_TRUE(QRegion(c.box->rect()).contains(counter.regions[c.box].boundingRect())) << c.text;

        // The window after this partial update shows what a repaint of the
        // whole panel and its children shows.
        const QImage partial = onScreen(m_main.get());
        panel->repaint();
        const QImage whole = onScreen(m_main.get());
        ASSERT_FALSE(partial.isNull());
        EXPECT_EQ(partial, whole) << c.text;
    }
}

// The readouts are set on every pointer move, mostly to the text they already
// hold: that must not repaint them. A box the user has changed is put back.
TEST_F(InfoPanelTest, ReadoutSetToItsOwnTextRepaintsOnlyWhenTheUserChangedIt) {
    TLabeledEdit* box = m_info.mousexy;
    box->setText(QStringLiteral("120:45"));
    QApplication::processEvents();
    PaintCounter counter;
    counter.watch(box);
    box->setText(QStringLiteral("120:45"));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints[box], 0);
    box->setText(QStringLiteral("121:45"));
    QApplication::processEvents();
    EXPECT_GT(counter.paints[box], 0);

    struct UserChange {
        const char* what;
        void (*apply)(TLabeledEdit*);
    };
    const UserChange changes[] = {
        {"cursor moved", [](TLabeledEdit* b) { b->setCursorPosition(3); }},
        {"text selected", [](TLabeledEdit* b) { b->selectAll(); }},
        {"typed and put back", [](TLabeledEdit* b) {
             b->end(false);
             b->insert(QStringLiteral("x"));
             b->backspace();
         }},
    };
    for (const UserChange& change : changes) {
        change.apply(box);
        box->setText(QStringLiteral("121:45"));
        EXPECT_EQ(box->text(), QStringLiteral("121:45")) << change.what;
        EXPECT_EQ(box->cursorPosition(), 0) << change.what;
        EXPECT_FALSE(box->hasSelectedText()) << change.what;
        EXPECT_FALSE(box->isModified()) << change.what;
    }
}

} // namespace
} // namespace vornik
