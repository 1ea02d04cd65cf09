#include "widgets/menurenderer.h"

#include "widgets/menuitem.h"

namespace vornik {

namespace {

// How far a pop-up menu's window is cut away at its right edge, and how far
// the item content stops short of the item's right edge.
constexpr int kRightStrip = 17;

Color channelStep(Color c1, Color c2, int t, int d) {
    const int r = redOf(c1) + (redOf(c2) - redOf(c1)) * t / d;
    const int g = greenOf(c1) + (greenOf(c2) - greenOf(c1)) * t / d;
    const int b = blueOf(c1) + (blueOf(c2) - blueOf(c1)) * t / d;
    return rgb(r, g, b);
}

Rect centred(const Rect& in, int w, int h) {
    Rect r;
    r.right = (in.left + in.right + w) / 2;
    r.left = r.right - w;
    r.bottom = (in.top + in.bottom + h) / 2;
    r.top = r.bottom - h;
    return r;
}

// The font and colour a text of the item is drawn in.
void selectTextFont(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas, bool selected,
                    const FontSpec& surfaceFont) {
    FontSpec font = surfaceFont;
    Color color = systemColor(COLOR_MENUTEXT);
    if (!selected && !styler.UseSystemFont) {
        font = styler.Font.Description;
        color = styler.Font.Color;
    } else if (selected && !styler.SelectedItem.UseSystemFont) {
        font = styler.SelectedItem.Font.Description;
        color = styler.SelectedItem.Font.Color;
    }
    if (item.Default)
        font.bold = true;
    canvas.setFont(font);
    canvas.setTextColor(resolveColor(color));
}

// The text routine every item text goes through.
void drawItemText(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas, std::string text,
                  unsigned flags, unsigned state, Rect& rect) {
    if ((flags & DT_CALCRECT) && (text.empty() || text == "&"))
        text += ' ';
    const FontSpec surfaceFont = canvas.font();
    const Rgb surfaceColor = canvas.textColor();
    const bool selected = state & kItemSelected;
    selectTextFont(styler, item, canvas, selected, surfaceFont);
    if (!item.Enabled && !(flags & DT_CALCRECT)) {
        if (!selected) {
            Rect embossed = rect.translated(1, 1);
            canvas.setTextColor(sysColor(COLOR_BTNHIGHLIGHT));
            canvas.drawText(text, embossed, flags);
            canvas.setTextColor(sysColor(COLOR_BTNSHADOW));
        } else if (sysColor(COLOR_HIGHLIGHT) == sysColor(COLOR_BTNSHADOW)) {
            canvas.setTextColor(sysColor(COLOR_BTNHIGHLIGHT));
        } else {
            canvas.setTextColor(sysColor(COLOR_BTNSHADOW));
        }
    }
    canvas.drawText(text, rect, flags);
    canvas.setFont(surfaceFont);
    canvas.setTextColor(surfaceColor);
}

void paintSeparator(const TCustomMenuStyler& styler, Canvas& canvas, const Rect& r) {
    const TSeparator& sep = styler.Separator;
    const int left = r.left + styler.IconBar.Size();
    const int mid = r.top + r.height() / 2;
    Rect band{left, mid - sep.Width / 2, r.right, mid + (sep.Width + 1) / 2};
    if (sep.GradientDirection == gdHorizontal) {
        band.left += sep.Margin;
        band.right -= sep.Margin;
    }
    if (band.isEmpty() || sep.Color == clNone)
        return;
    canvas.fillRect(band, resolveColor(sep.Color));
    if (sep.GradientWidth <= 0)
        return;
    // A positive gradient width fades the line's ends from ColorTo into
    // Color over that many pixels.
    const Color fadeFrom = sep.ColorTo == clNone ? styler.Background.Color : sep.ColorTo;
    const int gw = sep.GradientWidth < band.width() ? sep.GradientWidth : band.width();
    if (sep.GradientType == gtLeft || sep.GradientType == gtBoth)
        GradientFill(canvas, Rect{band.left, band.top, band.left + gw, band.bottom}, fadeFrom, sep.Color,
                     gdHorizontal);
    if (sep.GradientType == gtRight || sep.GradientType == gtBoth)
        GradientFill(canvas, Rect{band.right - gw, band.top, band.right, band.bottom}, sep.Color, fadeFrom,
                     gdHorizontal);
}

void paintItemContent(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas, Rect r,
                      unsigned state) {
    const bool selected = state & kItemSelected;
    const bool disabled = state & kItemDisabled;
    const TSelectedItem& hi = styler.SelectedItem;
    const TIconBar& bar = styler.IconBar;

    if (selected) {
        const bool fill = hi.Color != clNone;
        if (hi.ColorMirror == clNone) {
            PaintBox(canvas, r, hi.Color, hi.ColorTo, hi.GradientDirection, hi.BorderColor, fill);
        } else {
            const int half = r.top + r.height() / 2;
            PaintBox(canvas, Rect{r.left, r.top, r.right, half}, hi.Color, hi.ColorTo, hi.GradientDirection,
                     hi.BorderColor, fill);
            PaintBox(canvas, Rect{r.left, half, r.right, r.bottom}, hi.ColorMirror, hi.ColorMirrorTo,
                     hi.GradientDirection, hi.BorderColor, fill);
        }
    }

    Rect g{r.left, r.top + 1, r.left + bar.Size(), r.bottom - 1};
    const int s = g.width() < g.height() ? g.width() : g.height();
    g = centred(g, s, s);

    if (item.Checked) {
        const Color check = selected ? hi.CheckColor : bar.CheckColor;
        const Color checkTo = selected ? hi.CheckColorTo : bar.CheckColorTo;
        const MenuGradientDirection checkDir =
            selected ? hi.CheckGradientDirection : bar.CheckGradientDirection;
        const Color checkBorder = selected ? hi.CheckBorder : bar.CheckBorder;
        PaintBox(canvas, g, check, checkTo, checkDir, checkBorder, !disabled);

        const Rect q = centred(g, 16, 16);
        if (item.RadioItem) {
            PaintBox(canvas, g, selected ? hi.RadioColor : bar.RadioColor,
                     selected ? hi.RadioColorTo : bar.RadioColorTo,
                     selected ? hi.RadioGradientDirection : bar.RadioGradientDirection,
                     selected ? hi.RadioBorder : bar.RadioBorder, !disabled);
        } else {
            PaintBox(canvas, g, check, checkTo, checkDir, checkBorder, !disabled);
        }
        if (selected && hi.BorderColor != clNone)
            canvas.frameRect(r, resolveColor(hi.BorderColor));
        const Rgb saved = canvas.textColor();
        canvas.setTextColor(sysColor(COLOR_BTNTEXT));
        canvas.drawMonoGlyph(item.RadioItem ? styler.Glyphs.Radio : styler.Glyphs.Check, q.left, q.top);
        canvas.setTextColor(saved);
    }

    if (item.Count() > 0) {
        const MonoGlyph& arrow = styler.Glyphs.SubMenu;
        const Rgb saved = canvas.textColor();
        canvas.setTextColor(resolveColor(systemColor(COLOR_MENUTEXT)));
        canvas.drawMonoGlyph(arrow, r.right - 8 - arrow.width, r.top + (r.height() - arrow.height) / 2);
        canvas.setTextColor(saved);
    }

    r.left += bar.Size() + 8;
    const unsigned flags = DT_LEFT | DT_SINGLELINE | DT_EXPANDTABS;
    const Rect t = r;
    drawItemText(styler, item, canvas, item.Caption, flags | DT_CALCRECT | DT_NOCLIP, state, r);
    const int down = (t.height() - r.height()) / 2;
    r.top += down;
    r.bottom += down;
    drawItemText(styler, item, canvas, item.Caption, flags, state, r);

    if (!item.ShortCutText.empty()) {
        r.left = r.right;
        r.right = t.right - 10;
        drawItemText(styler, item, canvas, item.ShortCutText, DT_RIGHT, state, r);
    }
}

} // namespace

void GradientFill(Canvas& canvas, const Rect& rect, Color c1, Color c2, MenuGradientDirection direction) {
    if (c2 == clNone)
        c2 = c1;
    if (c1 == c2) {
        canvas.fillRect(rect, resolveColor(c1));
        return;
    }
    c1 = resolveColor(c1);
    c2 = resolveColor(c2);
    if (rect.height() <= 0)
        return;
    if (direction == gdVertical) {
        for (int y = rect.top; y < rect.bottom; ++y)
            canvas.line(rect.left, y, rect.right, y, channelStep(c1, c2, y - rect.top, rect.height()));
    } else {
        for (int x = rect.left; x < rect.right; ++x)
            canvas.line(x, rect.top, x, rect.bottom, channelStep(c1, c2, x - rect.left, rect.width()));
    }
}

void ClippedGradient(Canvas& canvas, const Rect& full, const Rect& limit, Color c1, Color c2,
                     MenuGradientDirection direction) {
    const Rect c = limit.intersected(full);
    if (c.isEmpty())
        return;
    c1 = resolveColor(c1);
    c2 = c2 == clNone ? c1 : resolveColor(c2);
    const bool vertical = direction == gdVertical;
    const int d = vertical ? full.height() : full.width();
    const int start = vertical ? c.top - full.top : c.left - full.left;
    const int end = vertical ? c.bottom - full.top : c.right - full.left;
    GradientFill(canvas, c, channelStep(c1, c2, start, d), channelStep(c1, c2, end, d), direction);
}

void PaintBox(Canvas& canvas, const Rect& rect, Color color, Color colorTo, MenuGradientDirection direction,
              Color border, bool fill) {
    if (fill && color != clNone)
        GradientFill(canvas, rect, color, colorTo, direction);
    if (border != clNone)
        canvas.frameRect(rect, resolveColor(border));
}

int MenuItemLevel(const TMenuItem& item) {
    int level = 1;
    for (const TMenuItem* p = item.Parent(); p && p->Parent(); p = p->Parent())
        ++level;
    return level;
}

void MeasureMenuItem(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas, int& width,
                     int& height) {
    // The menu framework's own measure starts from the proposed height plus
    // the image margin; this menu carries no images or bitmaps.
    height = height + 3;
    if (item.IsLine()) {
        height = styler.Separator.Width + 2;
        width = -2;
        return;
    }
    width = styler.IconBar.Size();
    height -= 3;
    width += 15;
    height += 5;

    const FontSpec surfaceFont = canvas.font();
    if (styler.UseSystemFont) {
        if (!styler.SelectedItem.UseSystemFont)
            canvas.setFont(styler.SelectedItem.Font.Description);
    } else {
        canvas.setFont(styler.Font.Description);
    }
    Rect text{};
    canvas.drawText(item.Caption + item.ShortCutText, text, DT_CALCRECT | DT_SINGLELINE);
    canvas.setFont(surfaceFont);
    width += text.width() + 7;
    if (!styler.UseSystemFont)
        height = text.height() + 6;
    if (styler.SideBar.Visible)
        width += styler.SideBar.Size + styler.SideBar.SplitterWidth;
    height = ((height + 1) / 2) * 2;
    width += kRightStrip;
}

void PaintMenuItem(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas,
                   const Rect& itemRect, unsigned state, const Rect& itemsArea) {
    Rect r = itemRect;
    r.right -= kRightStrip;
    if (styler.SideBar.Visible)
        r.left += styler.SideBar.Size + styler.SideBar.SplitterWidth;

    Rect m = itemsArea.translated(-itemsArea.left, -itemsArea.top);
    m.right -= kRightStrip;

    const TIconBar& bar = styler.IconBar;
    const Rect ic{r.left, m.top, r.left + bar.Size(), m.bottom};
    ClippedGradient(canvas, ic, r, bar.Color, bar.ColorTo, bar.GradientDirection);
    if (bar.SeparatorColor != clNone)
        canvas.line(ic.right - 1, ic.top, ic.right - 1, ic.bottom, resolveColor(bar.SeparatorColor));

    const TBackground& bg = styler.Background;
    Rect b = r;
    b.left = ic.right;
    if (bg.MarginX > 0 || bg.MarginY > 0) {
        canvas.fillRect(b, resolveColor(bg.Color));
        b = Rect{b.left + bg.MarginX, b.top + bg.MarginY, b.right - bg.MarginX, b.bottom - bg.MarginY};
    }
    ClippedGradient(canvas, Rect{ic.right, m.top, r.right, m.bottom}, b, bg.Color, bg.ColorTo,
                    bg.GradientDirection);

    if (item.IsLine())
        paintSeparator(styler, canvas, r);
    else
        paintItemContent(styler, item, canvas, r, state);

    PaintMenuWindowFrame(styler, canvas, MenuItemLevel(item));
}

void PaintMenuWindowFrame(const TCustomMenuStyler& styler, Canvas& canvas, int level) {
    CanvasWindow* window = canvas.window();
    if (!window)
        return;
    const Rect wr = window->windowRect();
    const int w = wr.width();
    const int h = wr.height();
    if (!window->isTakenOver()) {
        window->takeOver();
        window->setWindowRegion(Rect{1, 1, w - 1 - kRightStrip, h - 1});
        // Sub-menus (level 2 and deeper) would move sideways instead; this
        // program opens none.
        if (level == 1)
            window->moveWindow(wr.left - 1, wr.top - 2);
    }
    std::unique_ptr<Canvas> dc = window->windowCanvas();
    Rect f{1, 1, w - 1, h - 1};
    if (level == 1)
        f.right -= kRightStrip;
    if (styler.FrameColor != clNone)
        dc->frameRect(f, resolveColor(styler.FrameColor));
    f = Rect{f.left + 1, f.top + 1, f.right - 1, f.bottom - 1};
    if (styler.Background.Color != clNone)
        dc->frameRect(f, resolveColor(styler.Background.Color));
}

} // namespace vornik
