#include "platform/qt/popupmenuhost.h"
#include "platform/qt/qtcanvas.h"
#include "widgets/menurenderer.h"
#include "widgets/styledpopupmenu.h"

#include <QApplication>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vornik {
namespace {

constexpr Rgb kUnpainted = 0x00FF00FF; // magenta, never used by the menu

QApplication& app() {
    static int argc = 1;
    static char name[] = "menu_paint_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

int channel(int c1, int c2, int t, int d) {
    return c1 + (c2 - c1) * t / d;
}

Rgb gradientAt(Color c1, Color c2, int t, int d) {
    return rgb(channel(redOf(c1), redOf(c2), t, d), channel(greenOf(c1), greenOf(c2), t, d),
               channel(blueOf(c1), blueOf(c2), t, d));
}

// The tray menu laid out and painted as the menu host does it, but into a
// plain image with the items at client coordinates.
class TrayMenuPaint : public ::testing::Test {
  protected:
    void SetUp() override {
        app();
        menuHolder = std::make_unique<TStyledPopupMenu>();
        items = createTrayMenu(menu());
        list = {items.menu_emailcollect, items.Colorpickersizecuttools1, items.menu_vege, items.menu_kilepes};
        // The captions as the first opening leaves them.
        items.menu_emailcollect->Caption = "&E-mail collect";
        items.Colorpickersizecuttools1->Caption = "&Color picker, size, cut tools [ESC to exit]";
        items.menu_kilepes->Caption = "E&xit";
        layout();
    }

    void layout() {
        QImage scratch(1, 1, QImage::Format_RGB32);
        QImageCanvas canvas(&scratch);
        int top = 0, width = 0;
        rects.clear();
        widths.clear();
        for (TMenuItem* item : list) {
            int w = 0, h = proposedMenuItemHeight();
            item->OnMeasureItem(item, canvas, w, h);
            rects.push_back(Rect{0, top, 0, top + h});
            widths.push_back(w);
            top += h;
            width = std::max(width, w);
        }
        for (Rect& r : rects)
            r.right = width;
        area = Rect{0, 0, width, top};
        image = QImage(width, top, QImage::Format_RGB32);
        image.fill(toQRgb(kUnpainted));
    }

    void paint(int index, unsigned state = 0) {
        QImageCanvas canvas(&image);
        TMenuItem* item = list[std::size_t(index)];
        item->OnAdvancedDrawItem(item, canvas, rects[std::size_t(index)], state, area);
    }
    void paintAll() {
        for (int i = 0; i < 4; ++i)
            paint(i);
    }
    Rgb at(int x, int y) const { return fromQRgb(image.pixel(x, y)); }
    int textWidth(const std::string& caption) const {
        QImage scratch(1, 1, QImage::Format_RGB32);
        QImageCanvas canvas(&scratch);
        Rect r{};
        canvas.drawText(caption, r, DT_CALCRECT | DT_SINGLELINE);
        return r.width();
    }
    // The rectangle R the renderer paints in: 17 pixels short on the right.
    Rect R(int index) const {
        Rect r = rects[std::size_t(index)];
        r.right -= 17;
        return r;
    }

    TStyledPopupMenu& menu() { return *menuHolder; }
    std::unique_ptr<TStyledPopupMenu> menuHolder;
    TrayMenuItems items;
    std::vector<TMenuItem*> list;
    std::vector<Rect> rects;
    std::vector<int> widths;
    Rect area;
    QImage image;
};

TEST_F(TrayMenuPaint, ItemSizesFollowTheMeasureRule) {
    const int h0 = proposedMenuItemHeight();
    const int even = ((h0 + 5 + 1) / 2) * 2;
    for (int i : {0, 1, 3}) {
        EXPECT_EQ(rects[std::size_t(i)].height(), even) << i;
        EXPECT_EQ(widths[std::size_t(i)], textWidth(list[std::size_t(i)]->Caption) + 63) << i;
    }
    EXPECT_EQ(rects[2].height(), 3);
    EXPECT_EQ(widths[2], -2);
    // Marks take no width.
    EXPECT_EQ(textWidth("E&xit"), textWidth("Exit"));
}

TEST_F(TrayMenuPaint, SeparatorIsOneMiddleLine) {
    paintAll();
    const Rect r = R(2);
    const Rgb line = rgb(110, 109, 143);
    const Rgb background = rgb(253, 250, 255);
    for (int x = 24; x < r.right; ++x) {
        const bool inLine = x >= 24 + 2 && x < r.right - 2;
        EXPECT_EQ(at(x, r.top + 1), inLine ? line : background) << x;
        EXPECT_EQ(at(x, r.top), background) << x;
        EXPECT_EQ(at(x, r.top + 2), background) << x;
    }
}

TEST_F(TrayMenuPaint, IconColumnIsOneGradientAndTheStripStaysUnpainted) {
    items.menu_emailcollect->Checked = false;
    paintAll();
    const TIconBar& bar = menu().activeStyler().IconBar;
    for (int y = 0; y < area.bottom; ++y) {
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(at(x, y), gradientAt(bar.Color, bar.ColorTo, x, 24)) << x << "," << y;
        for (int x = area.right - 17; x < area.right; ++x)
            ASSERT_EQ(at(x, y), kUnpainted) << x << "," << y;
        ASSERT_EQ(at(area.right - 18, y), rgb(253, 250, 255)) << y;
    }
}

TEST_F(TrayMenuPaint, VerticalIconGradientRunsOverTheWholeMenu) {
    TCustomMenuStyler styler;
    styler.IconBar.GradientDirection = gdVertical;
    styler.IconBar.Color = rgb(0, 0, 0);
    styler.IconBar.ColorTo = rgb(200, 100, 255);
    menu().setMenuStyler(&styler);
    items.menu_emailcollect->Checked = false;
    paintAll();
    // Each item paints its share: from the whole gradient's colour at its top
    // row towards the whole gradient's colour at its bottom edge.
    const Color c1 = styler.IconBar.Color, c2 = styler.IconBar.ColorTo;
    for (const Rect& r : rects) {
        const Rgb start = gradientAt(c1, c2, r.top, area.height());
        const Rgb end = gradientAt(c1, c2, r.bottom, area.height());
        EXPECT_EQ(at(3, r.top), start) << r.top;
        for (int y = r.top; y < r.bottom; ++y)
            EXPECT_EQ(at(3, y), gradientAt(start, end, y - r.top, r.height())) << y;
    }
    EXPECT_NE(at(3, rects[3].top), at(3, rects[0].top));
    menu().setMenuStyler(nullptr);
}

TEST_F(TrayMenuPaint, HighlightBoxStops17PixelsShort) {
    paintAll();
    paint(1, ODS_SELECTED);
    const Rect r = R(1);
    const Rgb frame = rgb(75, 75, 111), fill = rgb(255, 238, 194);
    EXPECT_EQ(at(r.left, r.top), frame);
    EXPECT_EQ(at(r.right - 1, r.bottom - 1), frame);
    EXPECT_EQ(at(r.right - 1, r.top + 3), frame);
    EXPECT_EQ(at(r.right, r.top + 3), kUnpainted);
    // The box covers the icon column too.
    EXPECT_EQ(at(1, r.top + 1), fill);
    EXPECT_EQ(at(12, r.top + 2), fill);
    EXPECT_EQ(at(r.right - 2, r.top + 2), fill);
}

TEST_F(TrayMenuPaint, CheckedItemShowsItsBoxAndGlyph) {
    for (unsigned state : {0u, unsigned(ODS_SELECTED)}) {
        paintAll();
        paint(0, state);
        const Rect r = R(0);
        const int s = std::min(24, r.height() - 2);
        Rect g{r.left, r.top + 1, r.left + 24, r.bottom - 1};
        const int right = (g.left + g.right + s) / 2, bottom = (g.top + g.bottom + s) / 2;
        g = Rect{right - s, bottom - s, right, bottom};
        const Rgb box = state ? rgb(254, 128, 62) : rgb(255, 192, 111);
        EXPECT_EQ(at(g.left, g.top), rgb(75, 75, 111)) << state;
        EXPECT_EQ(at(g.right - 1, g.bottom - 1), rgb(75, 75, 111)) << state;
        EXPECT_EQ(at(g.left + 1, g.top + 1), box) << state;
        EXPECT_EQ(at(g.right - 2, g.bottom - 2), box) << state;
        // Outside the box: the icon column gradient, or the highlight.
        if (!state)
            EXPECT_EQ(at(g.left - 1, g.top + 3),
                      gradientAt(rgb(249, 249, 255), rgb(161, 160, 187), g.left - 1, 24));
        else
            EXPECT_EQ(at(g.left - 1, g.top + 3), rgb(255, 238, 194));
        // The glyph's black pixels in button-text colour, white ones clear.
        const int qr = (g.left + g.right + 16) / 2, qb = (g.top + g.bottom + 16) / 2;
        const int qx = qr - 16, qy = qb - 16;
        const MonoGlyph glyph = checkItemGlyph();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                if (qx + x <= g.left || qx + x >= g.right - 1 || qy + y <= g.top || qy + y >= g.bottom - 1)
                    continue;
                ASSERT_EQ(at(qx + x, qy + y), glyph.isBlack(x, y) ? sysColor(COLOR_BTNTEXT) : box)
                    << x << "," << y << " state " << state;
            }
    }
}

TEST_F(TrayMenuPaint, CaptionIsDrawnWithItsMnemonicUnderlined) {
    paintAll();
    const Rect r = R(3);
    const QFontMetrics fm(toQFont(menuFontSpec()));
    const int top = r.top + (r.height() - fm.height()) / 2;
    const int underlineY = top + fm.ascent() + 1;
    const int x0 = 24 + 8 + fm.horizontalAdvance(QStringLiteral("E"));
    const int x1 = 24 + 8 + fm.horizontalAdvance(QStringLiteral("Ex"));
    ASSERT_GT(x1, x0);
    for (int x = x0; x < x1; ++x)
        EXPECT_EQ(at(x, underlineY), sysColor(COLOR_MENUTEXT)) << x;
    // Nothing is underlined under the "E".
    int dark = 0;
    for (int x = 24 + 8; x < x0; ++x)
        dark += at(x, underlineY) == sysColor(COLOR_MENUTEXT);
    EXPECT_EQ(dark, 0);
}

TEST_F(TrayMenuPaint, DisabledTextIsEmbossedAndDefaultTextBold) {
    items.menu_kilepes->Enabled = false;
    paintAll();
    const Rect r = R(3);
    const QFontMetrics fm(toQFont(menuFontSpec()));
    const int top = r.top + (r.height() - fm.height()) / 2;
    const int underlineY = top + fm.ascent() + 1;
    const int x0 = 24 + 8 + fm.horizontalAdvance(QStringLiteral("E"));
    const int x1 = 24 + 8 + fm.horizontalAdvance(QStringLiteral("Ex"));
    // The mnemonic underline shows the emboss: button highlight one pixel
    // right and down, button shadow in place.
    for (int x = x0; x < x1; ++x)
        EXPECT_EQ(at(x, underlineY), sysColor(COLOR_BTNSHADOW)) << x;
    EXPECT_EQ(at(x1, underlineY + 1), sysColor(COLOR_BTNHIGHLIGHT));

    QImage scratch(1, 1, QImage::Format_RGB32);
    QImageCanvas canvas(&scratch);
    int plain = 0, bold = 0, h = proposedMenuItemHeight();
    items.Colorpickersizecuttools1->OnMeasureItem(items.Colorpickersizecuttools1, canvas, plain, h);
    items.Colorpickersizecuttools1->Default = true;
    h = proposedMenuItemHeight();
    items.Colorpickersizecuttools1->OnMeasureItem(items.Colorpickersizecuttools1, canvas, bold, h);
    EXPECT_EQ(plain, bold) << "measure uses the surface font as it is";
    // Painting a default item uses bold: more dark pixels than the plain one.
    auto darkPixels = [&](int index) {
        int n = 0;
        const Rect ir = R(index);
        for (int y = ir.top; y < ir.bottom; ++y)
            for (int x = 32; x < ir.right; ++x)
                n += redOf(at(x, y)) < 100;
        return n;
    };
    paint(1);
    const int boldDark = darkPixels(1);
    items.Colorpickersizecuttools1->Default = false;
    paint(1);
    EXPECT_GT(boldDark, darkPixels(1));
}

TEST(MenuGradient, FillsLineByLineWithTruncatingSteps) {
    app();
    QImage image(6, 3, QImage::Format_RGB32);
    image.fill(0);
    QImageCanvas canvas(&image);
    GradientFill(canvas, Rect{0, 0, 3, 2}, rgb(10, 255, 0), rgb(0, 0, 30), gdHorizontal);
    EXPECT_EQ(canvas.pixel(0, 0), rgb(10, 255, 0));
    EXPECT_EQ(canvas.pixel(1, 1), rgb(7, 170, 10)); // 10 - 10/3 truncates to 7
    EXPECT_EQ(canvas.pixel(2, 0), rgb(4, 85, 20));
    EXPECT_EQ(canvas.pixel(3, 0), 0u);
    EXPECT_EQ(canvas.pixel(0, 2), 0u);

    image.fill(0);
    GradientFill(canvas, Rect{0, 0, 6, 0}, rgb(1, 2, 3), rgb(9, 9, 9), gdVertical);
    EXPECT_EQ(canvas.pixel(0, 0), 0u) << "zero height paints nothing";
    GradientFill(canvas, Rect{0, 0, 2, 2}, rgb(1, 2, 3), clNone, gdVertical);
    EXPECT_EQ(canvas.pixel(1, 1), rgb(1, 2, 3)) << "no end colour is a plain fill";

    // A clipped share starts where the whole gradient would be.
    image.fill(0);
    ClippedGradient(canvas, Rect{0, 0, 100, 3}, Rect{50, 0, 60, 3}, rgb(0, 0, 0), rgb(200, 100, 50),
                    gdHorizontal);
    EXPECT_EQ(canvas.pixel(50 - 50, 0), 0u) << "outside the limit";
    image = QImage(100, 3, QImage::Format_RGB32);
    image.fill(0);
    QImageCanvas wide(&image);
    ClippedGradient(wide, Rect{0, 0, 100, 3}, Rect{50, 0, 60, 3}, rgb(0, 0, 0), rgb(200, 100, 50),
                    gdHorizontal);
    EXPECT_EQ(wide.pixel(50, 1), rgb(100, 50, 25));
    EXPECT_EQ(wide.pixel(49, 1), 0u);
    EXPECT_EQ(wide.pixel(60, 1), 0u);
    ClippedGradient(wide, Rect{0, 0, 100, 3}, Rect{200, 0, 300, 3}, rgb(9, 9, 9), rgb(9, 9, 9), gdHorizontal);
    EXPECT_EQ(wide.pixel(99, 1), 0u) << "empty intersection";
}

TEST(MenuCanvas, LinesLeaveOutTheirEndPointAndFramesStayInside) {
    app();
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(0);
    QImageCanvas canvas(&image);
    canvas.line(1, 1, 5, 1, rgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(4, 1), rgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(5, 1), 0u);
    canvas.frameRect(Rect{2, 3, 6, 7}, rgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(2, 3), rgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(5, 6), rgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(6, 6), 0u);
    EXPECT_EQ(canvas.pixel(3, 4), 0u);
    // Drawing outside the image is clipped, not a crash.
    canvas.fillRect(Rect{-5, -5, 100, 1}, rgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(7, 0), rgb(0, 0, 255));
}

TEST(MenuGlyphs, BuiltFromTheirPixelTables) {
    const MonoGlyph check = checkItemGlyph();
    int black = 0;
    for (bool b : check.black)
        black += b;
    EXPECT_EQ(black, 1 + 2 + 3 + 4 + 5 + 5 + 3 + 1);
    EXPECT_TRUE(check.isBlack(11, 4));
    EXPECT_TRUE(check.isBlack(4, 7));
    EXPECT_FALSE(check.isBlack(5, 7));
    EXPECT_TRUE(check.isBlack(6, 11));
    const MonoGlyph radio = radioItemGlyph();
    black = 0;
    for (bool b : radio.black)
        black += b;
    EXPECT_EQ(black, 4 * 2 + 6 * 4);
    EXPECT_FALSE(radio.isBlack(5, 5));
    EXPECT_TRUE(radio.isBlack(5, 6));
    const MonoGlyph arrow = subMenuItemGlyph();
    ASSERT_EQ(arrow.width, 4);
    ASSERT_EQ(arrow.height, 7);
    EXPECT_TRUE(arrow.isBlack(3, 3));
    EXPECT_FALSE(arrow.isBlack(3, 2));
    EXPECT_TRUE(arrow.isBlack(0, 6));
}

} // namespace
} // namespace vornik
