#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vornik {

// A rectangle as the desktop's drawing calls take it: right and bottom are
// exclusive, so width() is right - left.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    Rect intersected(const Rect& o) const {
        Rect r{left > o.left ? left : o.left, top > o.top ? top : o.top, right < o.right ? right : o.right,
               bottom < o.bottom ? bottom : o.bottom};
        if (r.isEmpty())
            return Rect{};
        return r;
    }
    Rect translated(int dx, int dy) const { return Rect{left + dx, top + dy, right + dx, bottom + dy}; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect&) const = default;
};

// A resolved colour, laid out 0x00BBGGRR.
using Rgb = std::uint32_t;

// Text layout flags with the values DrawTextA gives them.
inline constexpr unsigned DT_LEFT = 0x0000;
inline constexpr unsigned DT_CENTER = 0x0001;
inline constexpr unsigned DT_RIGHT = 0x0002;
inline constexpr unsigned DT_SINGLELINE = 0x0020;
inline constexpr unsigned DT_EXPANDTABS = 0x0040;
inline constexpr unsigned DT_NOCLIP = 0x0100;
inline constexpr unsigned DT_CALCRECT = 0x0400;
inline constexpr unsigned DT_NOPREFIX = 0x0800;
inline constexpr unsigned DT_RTLREADING = 0x20000;

// A font as a description; the backend turns it into a real font. A zero
// pixel size means "use the point size".
struct FontSpec {
    std::string family;
    double pointSize = 9;
    int pixelSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

// A one-bit picture: true marks a black pixel, false a white one.
struct MonoGlyph {
    int width = 0;
    int height = 0;
    std::vector<bool> black; // row by row from the top left
    bool isBlack(int x, int y) const { return black[static_cast<std::size_t>(y * width + x)]; }
};

class Canvas;

// The window a drawing surface belongs to, for drawing code that works on
// the window itself (its region, position and non-client pixels).
class CanvasWindow {
  public:
    virtual ~CanvasWindow() = default;
    // The window's rectangle in screen coordinates.
    virtual Rect windowRect() const = 0;
    // Whether the frame code has taken the window over since it was shown.
    // Hiding the window hands it back: its region is removed.
    virtual bool isTakenOver() const = 0;
    virtual void takeOver() = 0;
    // The visible part of the window, in window coordinates.
    virtual void setWindowRegion(const Rect& region) = 0;
    virtual void moveWindow(int screenX, int screenY) = 0;
    // A surface over the whole window, origin at the window's top-left
    // corner, as a window device context gives it.
    virtual std::unique_ptr<Canvas> windowCanvas() = 0;
};

// The drawing calls the styled widgets use, with the semantics of the
// desktop's drawing layer: fills and frames take exclusive right and bottom
// edges, lines leave out their end point, text is drawn with a transparent
// background in the current text colour and font.
class Canvas {
  public:
    virtual ~Canvas() = default;

    virtual void fillRect(const Rect& rect, Rgb color) = 0;
    // A one-pixel line from (x1, y1) up to, but not including, (x2, y2).
    virtual void line(int x1, int y1, int x2, int y2, Rgb color) = 0;
    // A one-pixel border just inside the rectangle.
    virtual void frameRect(const Rect& rect, Rgb color) = 0;

    virtual Rgb textColor() const = 0;
    virtual void setTextColor(Rgb color) = 0;
    virtual FontSpec font() const = 0;
    virtual void setFont(const FontSpec& font) = 0;

    // Draws or, with DT_CALCRECT, measures text. Measuring sets the
    // rectangle's right and bottom to fit the text from its top-left corner.
    // Without DT_NOPREFIX a single "&" underlines the next character and
    // "&&" stands for one "&". Returns the text height.
    virtual int drawText(const std::string& text, Rect& rect, unsigned flags) = 0;

    // White pixels are left alone, black ones take the text colour.
    virtual void drawMonoGlyph(const MonoGlyph& glyph, int x, int y) = 0;

    // The window this surface draws on, or none for an off-screen surface.
    virtual CanvasWindow* window() = 0;
};

} // namespace vornik
