#pragma once

#include <cstdint>

namespace vornik {

// Stored widget colours use three forms: 0x00BBGGRR for a plain colour,
// 0xFF000000 + n for the desktop's colour number n (numbered as GetSysColor
// numbers them) and 0x1FFFFFFF for "none". resolveColor() turns the first two
// into 0x00BBGGRR just before drawing.
using Color = std::uint32_t;

inline constexpr Color clNone = 0x1FFFFFFF;
inline constexpr Color kSystemColorBase = 0xFF000000;

enum SysColorIndex : int {
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_BTNHIGHLIGHT = 20,
    kSysColorCount = 31
};

constexpr Color rgb(int r, int g, int b)
{
    return Color(r & 0xFF) | Color(g & 0xFF) << 8 | Color(b & 0xFF) << 16;
}
constexpr int redOf(Color c) { return int(c & 0xFF); }
constexpr int greenOf(Color c) { return int((c >> 8) & 0xFF); }
constexpr int blueOf(Color c) { return int((c >> 16) & 0xFF); }

constexpr Color systemColor(int index) { return kSystemColorBase + Color(index); }
constexpr bool isSystemColor(Color c) { return (c & 0xFF000000) == kSystemColorBase; }

// The current value of a desktop colour number, as 0x00BBGGRR. The table
// starts with the classic desktop defaults; the Qt layer may refresh it from
// the application palette at start-up.
Color sysColor(int index);
void setSysColor(int index, Color value);

// Plain colours come back unchanged (top byte cleared), desktop colour
// numbers are looked up. "none" is not a colour: callers test for it first.
Color resolveColor(Color stored);

} // namespace vornik
