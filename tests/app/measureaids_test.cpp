// The spacing ruler (F7, Page Up, Page Down) and the colour keys (Shift+F3,
// Alt+F3) in the tool window.
#include "app/mainform_unit.h"
#include "tests/app/toolwindowfixture.h"
#include "app/spacingrulertool.h"
#include "platform/posix/files.h"
#include "screentools/picturebox.h"
#include "widgets/labelededit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vornik {
namespace {

constexpr std::uint32_t kBackground = 0xFF204080u;
constexpr std::uint32_t kMagenta = 0xFFFF00FFu;

void fill(Bitmap& b, int x1, int y1, int x2, int y2, std::uint32_t argb)
{
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            b.setPixel32(x, y, argb);
}

class MeasureAids : public ToolWindowFixture {
protected:
    // A 200 x 150 desktop: a window at columns 40-89, rows 20-49, and a band
    // at columns 150-159 whose blue is 5 above the background's.
    Bitmap capture() const override
    {
        Bitmap picture(200, 150, 32);
        fill(picture, 0, 0, 200, 150, kBackground);
        fill(picture, 40, 20, 90, 50, 0xFFF0F0F0u);
        fill(picture, 150, 0, 160, 150, kBackground + 5);
        return picture;
    }
    std::string clipboard() const { return QGuiApplication::clipboard()->text().toStdString(); }
    std::uint32_t shown(int x, int y) const { return form->Image1->picture().pixel32(x, y) | 0xFF000000u; }
};

TEST_F(MeasureAids, ColourKeysCopyTheReadoutAsRgbOrHslAndClose)
{
    struct Case {
        Qt::KeyboardModifiers mods;
        const char* copied;
    } const cases[] = {
        {Qt::ShiftModifier, "rgb(240, 240, 240)"},
        {Qt::AltModifier, "hsl(0, 0%, 94%)"},
        {Qt::AltModifier | Qt::ShiftModifier, "hsl(0, 0%, 94%)"},
        {Qt::ControlModifier, "#F0F0F0"}, // as F3
        {{}, "#F0F0F0"},
    };
    for (const Case& c : cases) {
        form->show();
        pointerAt(60, 30);
        ASSERT_EQ(text(form->pixelcolor), "#F0F0F0");
        QGuiApplication::clipboard()->clear();
        key(Qt::Key_F3, c.mods);
        EXPECT_EQ(clipboard(), c.copied) << "modifiers " << c.mods;
        EXPECT_FALSE(form->isVisible());
    }
    form->show();
    pointerAt(10, 10);
    key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(clipboard(), "rgb(32, 64, 128)");
}

TEST_F(MeasureAids, AColourKeyCopiesAnEditedReadoutAsItStandsAndTheCopyIsCollected)
{
    const auto fileContent = [] {
        std::ifstream in(addressFilePath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    pointerAt(60, 30);
    form->pixelcolor->setText(QStringLiteral("me@host"));
    key(Qt::Key_F3, Qt::AltModifier);
    EXPECT_EQ(clipboard(), "me@host");
    EXPECT_FALSE(form->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(fileContent()), QStringLiteral("me@host\r\n"), 2000);
}

TEST_F(MeasureAids, F7MeasuresToTheEdgesFollowsThePointAndHidesAtTheNextOpening)
{
    pointerAt(60, 30);
    EXPECT_EQ(text(form->rectangle), "select area with mouse drag");
    EXPECT_NE(shown(40, 30), kMagenta);
    key(Qt::Key_F7);
    EXPECT_TRUE(form->ruler().shown());
    EXPECT_EQ(text(form->rectangle), "50:30") << "the window's size";
    // The line along the row runs from the window's left edge to its right.
    EXPECT_EQ(shown(40, 30), kMagenta);
    EXPECT_EQ(shown(89, 30), kMagenta);
    EXPECT_NE(shown(39, 30), kMagenta);
    EXPECT_NE(shown(90, 30), kMagenta);
    EXPECT_EQ(shown(60, 20), kMagenta);
    EXPECT_EQ(shown(60, 49), kMagenta);
    EXPECT_NE(shown(60, 50), kMagenta);

    // It follows the point, by key and by pointer.
    key(Qt::Key_Down);
    EXPECT_EQ(text(form->rectangle), "50:30");
    EXPECT_EQ(shown(45, 31), kMagenta);
    EXPECT_NE(shown(45, 30), kMagenta) << "the previous row is restored";
    pointerAt(10, 100);
    EXPECT_EQ(text(form->rectangle), "200:150") << "the band is within the starting tolerance";
    EXPECT_NE(shown(60, 30), kMagenta);

    // Page Down with Shift takes the tolerance to 0: the band now ends the
    // row. The tolerance is shown while it changes.
    key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(form->ruler().tolerance(), 0);
    EXPECT_EQ(text(form->rectangle), "150:150");
    EXPECT_TRUE(form->ruler().note()->isVisible());
    EXPECT_EQ(form->ruler().note()->text().toStdString(), "Tolerance 0");
    key(Qt::Key_PageUp);
    key(Qt::Key_PageUp);
    key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(form->ruler().tolerance(), 12);
    EXPECT_EQ(form->ruler().note()->text().toStdString(), "Tolerance 12");
    EXPECT_EQ(text(form->rectangle), "200:150");
    QTRY_VERIFY_WITH_TIMEOUT(!form->ruler().note()->isVisible(), 3000);

    // F7 again hides it and gives the size readout back to the selection.
    key(Qt::Key_F7);
    EXPECT_EQ(text(form->rectangle), "select area with mouse drag");
    EXPECT_NE(shown(10, 50), kMagenta);
    key(Qt::Key_F7);
    key(Qt::Key_F4);
    EXPECT_EQ(clipboard(), "200:150");
    EXPECT_FALSE(form->isVisible());

    open();
    EXPECT_FALSE(form->ruler().shown());
    pointerAt(60, 30);
    EXPECT_EQ(text(form->rectangle), "select area with mouse drag");
    EXPECT_NE(shown(40, 30), kMagenta);
    EXPECT_EQ(form->ruler().tolerance(), 12) << "the tolerance stays for the next opening";
}

TEST_F(MeasureAids, TheToleranceKeysDoNothingWhileTheRulerIsHidden)
{
    pointerAt(60, 30);
    key(Qt::Key_PageUp);
    EXPECT_EQ(form->ruler().tolerance(), SpacingRulerTool::kStartTolerance);
    EXPECT_FALSE(form->ruler().note()->isVisible());
    EXPECT_EQ(text(form->rectangle), "select area with mouse drag");
}

} // namespace
} // namespace vornik
