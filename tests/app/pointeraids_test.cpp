// The arrow keys and the loupe in the tool window. The same tests run at
// scale 1 (test_app) and on a screen scaled by two (test_app_scaled), where
// every position is still a device pixel of the capture, odd ones included.
#include "app/mainform_unit.h"
#include "tests/app/toolwindowfixture.h"
#include "app/pointeraids.h"
#include "platform/posix/files.h"
#include "screentools/areaexport.h"
#include "screentools/loupeview.h"
#include "screentools/picturebox.h"
#include "tests/screentools/jpegdecode.h"
#include "widgets/labelededit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdio>

namespace vornik {
namespace {

// Pixel (x, y) has red x, green y and blue 7 (x and y below 256).
std::uint32_t knownPixel(int x, int y)
{
    return 0xFF000000u | std::uint32_t(x & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 | 7u;
}

std::string knownColourText(int x, int y)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X07", x & 0xFF, y & 0xFF);
    return text;
}

// A green crosshair pixel (alpha 120) over p, channel by channel.
std::uint32_t greenOver(std::uint32_t p)
{
    const auto blend = [](std::uint32_t c, std::uint32_t over) { return (c * 136 + over * 120) >> 8; };
    return 0xFF000000u | blend((p >> 16) & 0xFF, 0) << 16 | blend((p >> 8) & 0xFF, 255) << 8 | blend(p & 0xFF, 0);
}

class PointerAidsTest : public ToolWindowFixture {
protected:
    static constexpr int W = 200;
    static constexpr int H = 150;

    Bitmap capture() const override
    {
        Bitmap picture(W, H, 32);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                picture.setPixel32(x, y, knownPixel(x, y));
        return picture;
    }
    void keys(Qt::Key k, int n, Qt::KeyboardModifiers m = {})
    {
        for (int i = 0; i < n; ++i)
            key(k, m);
    }
    std::string text(const TLabeledEdit* box) const { return box->text().toStdString(); }
    LoupeView& loupe() { return *form->aids().loupe(); }
};

TEST_F(PointerAidsTest, ArrowKeysMoveThePointByOneCapturedPixelAndTenWithShift)
{
    const double dpr = form->Image1->devicePixelRatioF();
    pointerAt(121, 45); // odd: not reachable by a logical position at scale 2
    struct Step {
        Qt::Key key;
        int presses;
        Qt::KeyboardModifiers mods;
        int x, y;
    } const steps[] = {
        {Qt::Key_Right, 3, {}, 124, 45},
        {Qt::Key_Down, 1, {}, 124, 46},
        {Qt::Key_Right, 2, Qt::ShiftModifier, 144, 46},
        {Qt::Key_Up, 1, Qt::ShiftModifier, 144, 36},
        {Qt::Key_Left, 5, {}, 139, 36},
        {Qt::Key_Up, 4, Qt::ShiftModifier, 139, 0},   // stops at the capture's top row
        {Qt::Key_Right, 7, Qt::ShiftModifier, 199, 0}, // and at its last column
        {Qt::Key_Down, 1, {}, 199, 1},
    };
    for (const Step& s : steps) {
        keys(s.key, s.presses, s.mods);
        const std::string where = std::to_string(s.x) + ":" + std::to_string(s.y);
        ASSERT_EQ(text(form->mousexy), where) << "at scale " << dpr;
        EXPECT_EQ(text(form->pixelcolor), knownColourText(s.x, s.y)) << where;
        EXPECT_EQ(form->mousex, s.x);
        EXPECT_EQ(form->mousey, s.y);
        // The crosshair: columns x - 1 and x, rows y - 1 and y, in the picture
        // and on the screen, one picture pixel per device pixel.
        const Bitmap& picture = form->Image1->picture();
        const QImage shown = form->Image1->grab().toImage();
        const int row = s.y < 100 ? 120 : 20;
        const int column = s.x < 100 ? 170 : 30;
        struct Probe {
            int x, y;
            bool green;
        } const probes[] = {{s.x, row, true},          {s.x - 1, row, true},     {s.x + 1, row, false},
                            {s.x - 2, row, false},     {column, s.y, true},      {column, s.y + 1, false},
                            {column, s.y - 1, s.y > 0}, {column, s.y - 2, false}};
        for (const Probe& p : probes) {
            if (p.x < 0 || p.y < 0 || p.x >= W || p.y >= H)
                continue;
            const std::uint32_t want = p.green ? greenOver(knownPixel(p.x, p.y)) : knownPixel(p.x, p.y);
            EXPECT_EQ(picture.pixel32(p.x, p.y) | 0xFF000000u, want) << where << " probe " << p.x << "," << p.y;
            EXPECT_EQ(shown.pixel(p.x, p.y), want) << where << " on screen, probe " << p.x << "," << p.y;
        }
    }
}

TEST_F(PointerAidsTest, DragFinishedWithKeysGivesTheSizeReadoutAndTheExportedArea)
{
    pointerAt(31, 21);
    form->Image1->onMouseDown(Qt::LeftButton, {}, 31, 21);
    pointerAt(51, 41);
    keys(Qt::Key_Right, 3);
    key(Qt::Key_Down, Qt::ShiftModifier);
    form->Image1->onMouseUp(Qt::LeftButton, {}, 54, 51);
    EXPECT_EQ(form->selx2, 54);
    EXPECT_EQ(form->sely2, 51);
    // The size readout, the box and the export agree on the last corner.
    EXPECT_EQ(text(form->rectangle), "23:30");

    const std::string path = addressFilePath() + ".area.jpg";
    const ExportResult saved = exportSelectedArea(*form->screenshot, form->selx1, form->sely1, form->selx2,
                                                  form->sely2, [&]() -> std::optional<std::string> { return path; });
    ASSERT_EQ(saved, ExportResult::Saved);
    const auto decoded = testing::decodeJpeg(testing::readFileBytes(path));
    std::remove(path.c_str());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 23);
    EXPECT_EQ(decoded->height, 30);

    QGuiApplication::clipboard()->clear();
    key(Qt::Key_F4);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "23:30");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(PointerAidsTest, FocusedEditBoxStillGetsTheArrowKeys)
{
    pointerAt(10, 10);
    form->activateWindow();
    form->pixelcolor->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(form->pixelcolor->hasFocus(), 1000);
    key(Qt::Key_Right);
    // The key move rewrites the readouts first, which puts the caret at the
    // start, as every pointer move does; then the box takes the key.
    EXPECT_EQ(form->pixelcolor->cursorPosition(), 1) << "the edit box moved its caret";
    EXPECT_EQ(form->mousex, 11) << "and the point moved too";
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(form->mousex, 9);
    EXPECT_EQ(text(form->pixelcolor), knownColourText(9, 10));
}

TEST_F(PointerAidsTest, F6TogglesTheLoupeWhichIsHiddenAtEachOpening)
{
    pointerAt(60, 70);
    EXPECT_FALSE(loupe().isVisible());
    key(Qt::Key_F6);
    EXPECT_TRUE(loupe().isVisible());
    key(Qt::Key_F6);
    EXPECT_FALSE(loupe().isVisible());
    key(Qt::Key_F6);
    EXPECT_TRUE(loupe().isVisible());
    key(Qt::Key_Escape);
    open();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(loupe().isVisible()) << "a new opening starts without the loupe";
}

// The loupe shows the plain capture around the point, also where the point
// sits at the capture's edges; it follows the point moved by the mouse or by
// keys, never covers the point's pixel, and stays inside the window.
TEST_F(PointerAidsTest, LoupeShowsTheEnlargedCaptureBesideThePoint)
{
    const double dpr = form->Image1->devicePixelRatioF();
    pointerAt(100, 75);
    key(Qt::Key_F6);
    const QRect window(QPoint(0, 0), QSize(int(form->width() * dpr), int(form->height() * dpr)));
    struct Move {
        bool byKey;
        Qt::Key key;
        int x, y;
    } const moves[] = {{false, Qt::Key_unknown, 0, 0},  {true, Qt::Key_Left, 0, 0},
                       {false, Qt::Key_unknown, 199, 149}, {true, Qt::Key_Up, 199, 148},
                       {false, Qt::Key_unknown, 5, 140},   {true, Qt::Key_Right, 6, 140}};
    for (const Move& m : moves) {
        if (m.byKey)
            key(m.key);
        else
            pointerAt(m.x, m.y);
        ASSERT_EQ(form->mousex, m.x);
        ASSERT_EQ(form->mousey, m.y);
        const std::string where = std::to_string(m.x) + ":" + std::to_string(m.y);
        const LoupeShape s = loupe().shape();
        EXPECT_EQ(s.factor, 8 * int(dpr));
        const QImage shown = loupe().grab().toImage();
        ASSERT_GE(shown.width(), s.side()) << where;
        const int half = s.cells / 2;
        for (int cy = 0; cy < s.cells; ++cy)
            for (int cx = 0; cx < s.cells; ++cx) {
                const int sx = m.x - half + cx;
                const int sy = m.y - half + cy;
                // Every pixel of the cell but its outer two, which the rings
                // around the centre cell may cover.
                for (int py = 2; py < s.factor - 2; ++py)
                    for (int px = 2; px < s.factor - 2; ++px) {
                        const int X = s.border + cx * s.factor + px;
                        const int Y = s.border + cy * s.factor + py;
                        const std::uint32_t want = sx >= 0 && sy >= 0 && sx < W && sy < H
                                                       ? knownPixel(sx, sy)
                                                       : loupeOutsideColour(X, Y);
                        ASSERT_EQ(shown.pixel(X, Y), want) << where << " cell " << cx << "," << cy;
                    }
            }
        // Under the colour and position as the readouts write them, the rgb()
        // form that Shift+F3 copies.
        const std::string rgb =
            "rgb(" + std::to_string(m.x & 0xFF) + ", " + std::to_string(m.y & 0xFF) + ", 7)";
        EXPECT_EQ(loupe().caption().toStdString(), text(form->pixelcolor) + "  " + text(form->mousexy) + "\n" + rgb);
        const QRect at = loupe().deviceGeometry();
        EXPECT_FALSE(at.contains(m.x, m.y)) << where;
        EXPECT_TRUE(window.contains(at)) << where;
        // With room all round it sits diagonally off the point, clear of both
        // crosshair lines.
        EXPECT_TRUE(m.x < at.left() || m.x > at.right()) << where;
        EXPECT_TRUE(m.y < at.top() || m.y > at.bottom()) << where;
    }
}

} // namespace
} // namespace vornik
