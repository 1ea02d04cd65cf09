#pragma once

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "widgets/menuglyphs.h"
#include "widgets/syscolors.h"

#include <string>

namespace vornik {

// The menu's gradient directions with their stored values (vertical 0, top
// to bottom; horizontal 1, left to right). They live apart from the gradient
// panel's TGradientDirection, which is a scoped type of its own.
namespace menustyle {
enum TGradientDirection { gdVertical = 0, gdHorizontal = 1 };
}
using MenuGradientDirection = menustyle::TGradientDirection;
using menustyle::gdHorizontal;
using menustyle::gdVertical;
enum TGradientType { gtLeft, gtRight, gtBoth };
enum TBackgroundPosition {
    bpTopLeft,
    bpTopRight,
    bpBottomLeft,
    bpBottomRight,
    bpTopCenter,
    bpBottomCenter,
    bpTiled,
    bpStretched,
    bpCenter,
    bpXY
};

// A font with its colour, as the style object stores fonts.
struct TMenuFont {
    FontSpec Description;
    vornik::Color Color = systemColor(COLOR_MENUTEXT);
};

struct TGradientBar {
    vornik::Color Color = rgb(175, 189, 216);
    vornik::Color ColorTo = clNone;
    MenuGradientDirection GradientDirection = gdVertical;
};

struct TBackground : TGradientBar {
    TBackground() {
        Color = rgb(253, 250, 255);
        ColorTo = clNone;
        GradientDirection = gdVertical;
    }
    Bitmap Image; // empty: no background image
    TBackgroundPosition Position = bpCenter;
    int OffsetX = 0, OffsetY = 0, MarginX = 0, MarginY = 0;
};

struct TIconBar : TGradientBar {
    TIconBar() {
        Color = rgb(249, 249, 255);
        ColorTo = rgb(161, 160, 187);
        GradientDirection = gdHorizontal;
    }
    int Size() const { return m_size; }
    // The check boxes need at least a 16-pixel column.
    void setSize(int size) { m_size = size < 16 ? 16 : size; }

    vornik::Color CheckColor = rgb(255, 192, 111);
    vornik::Color CheckColorTo = clNone;
    vornik::Color CheckBorder = rgb(75, 75, 111);
    MenuGradientDirection CheckGradientDirection = gdVertical;
    vornik::Color RadioColor = rgb(255, 192, 111);
    vornik::Color RadioColorTo = clNone;
    vornik::Color RadioBorder = rgb(75, 75, 111);
    MenuGradientDirection RadioGradientDirection = gdVertical;
    vornik::Color SeparatorColor = clNone;

  private:
    int m_size = 24;
};

struct TSelectedItem : TGradientBar {
    TSelectedItem() {
        Color = rgb(255, 238, 194);
        ColorTo = clNone;
        GradientDirection = gdVertical;
        Font.Color = systemColor(COLOR_WINDOWTEXT);
    }
    vornik::Color ColorMirror = clNone;
    vornik::Color ColorMirrorTo = clNone;
    vornik::Color BorderColor = rgb(75, 75, 111);
    TMenuFont Font;
    bool UseSystemFont = true;
    vornik::Color CheckColor = rgb(254, 128, 62);
    vornik::Color CheckColorTo = clNone;
    vornik::Color CheckBorder = rgb(75, 75, 111);
    MenuGradientDirection CheckGradientDirection = gdVertical;
    vornik::Color RadioColor = rgb(254, 128, 62);
    vornik::Color RadioColorTo = clNone;
    vornik::Color RadioBorder = rgb(75, 75, 111);
    MenuGradientDirection RadioGradientDirection = gdVertical;
};

// Menu-bar items; pop-up menus never use it.
struct TRootItem : TGradientBar {};

struct TSeparator : TGradientBar {
    TSeparator() {
        Color = rgb(110, 109, 143);
        ColorTo = clNone;
        GradientDirection = gdHorizontal;
    }
    int Width = 1;
    TGradientType GradientType = gtBoth;
    int GradientWidth = 0;
    int Margin = 2;
};

struct TSideBar {
    bool Visible = false;
    int Size = 20;
    int SplitterWidth = 1;
    vornik::Color Color = rgb(175, 189, 216);
    vornik::Color ColorTo = clNone;
};

// Every size and colour of the styled menu. The fonts start as copies of
// the desktop's menu font, so a styler is made once an application exists.
class TCustomMenuStyler {
  public:
    TCustomMenuStyler();

    std::string Name;
    bool IsSubComponent = false;

    TSeparator Separator;
    TBackground Background;
    TMenuFont Font;
    TIconBar IconBar;
    TMenuGlyphs Glyphs;
    TRootItem RootItem;
    TSelectedItem SelectedItem;
    TSideBar SideBar;
    // Item heights follow the desktop's proposal and texts use the menu font.
    bool UseSystemFont = true;
    vornik::Color FrameColor = rgb(148, 124, 124);
    Bitmap BackgroundCache;
};

} // namespace vornik
