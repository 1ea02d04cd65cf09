#include "widgets/syscolors.h"

#include <array>

namespace vornik {

namespace {

std::array<Color, kSysColorCount> defaultTable()
{
    std::array<Color, kSysColorCount> table{};
    table.fill(rgb(0, 0, 0));
    table[0] = rgb(212, 208, 200);  // scroll bar
    table[1] = rgb(58, 110, 165);   // desktop
    table[2] = rgb(10, 36, 106);    // active caption
    table[3] = rgb(128, 128, 128);  // inactive caption
    table[COLOR_MENU] = rgb(212, 208, 200);
    table[COLOR_WINDOW] = rgb(255, 255, 255);
    table[6] = rgb(0, 0, 0);        // window frame
    table[COLOR_MENUTEXT] = rgb(0, 0, 0);
    table[COLOR_WINDOWTEXT] = rgb(0, 0, 0);
    table[9] = rgb(255, 255, 255);  // caption text
    table[10] = rgb(212, 208, 200); // active border
    table[11] = rgb(212, 208, 200); // inactive border
    table[12] = rgb(128, 128, 128); // app workspace
    table[COLOR_HIGHLIGHT] = rgb(10, 36, 106);
    table[COLOR_HIGHLIGHTTEXT] = rgb(255, 255, 255);
    table[COLOR_BTNFACE] = rgb(212, 208, 200);
    table[COLOR_BTNSHADOW] = rgb(128, 128, 128);
    table[COLOR_GRAYTEXT] = rgb(128, 128, 128);
    table[COLOR_BTNTEXT] = rgb(0, 0, 0);
    table[19] = rgb(212, 208, 200); // inactive caption text
    table[COLOR_BTNHIGHLIGHT] = rgb(255, 255, 255);
    table[21] = rgb(64, 64, 64);    // 3D dark shadow
    table[22] = rgb(212, 208, 200); // 3D light
    table[23] = rgb(0, 0, 0);       // tooltip text
    table[24] = rgb(255, 255, 225); // tooltip background
    table[26] = rgb(0, 0, 128);     // hot-track
    table[27] = rgb(166, 202, 240); // gradient active caption
    table[28] = rgb(192, 192, 192); // gradient inactive caption
    table[29] = rgb(49, 106, 197);  // menu highlight
    table[30] = rgb(236, 233, 216); // menu bar
    return table;
}

std::array<Color, kSysColorCount>& table()
{
    static std::array<Color, kSysColorCount> colors = defaultTable();
    return colors;
}

} // namespace

Color sysColor(int index)
{
    if (index < 0 || index >= kSysColorCount)
        return rgb(0, 0, 0);
    return table()[static_cast<std::size_t>(index)];
}

void setSysColor(int index, Color value)
{
    if (index >= 0 && index < kSysColorCount)
        table()[static_cast<std::size_t>(index)] = value & 0x00FFFFFF;
}

Color resolveColor(Color stored)
{
    if (isSystemColor(stored))
        return sysColor(int(stored & 0x00FFFFFF));
    return stored & 0x00FFFFFF;
}

} // namespace vornik
