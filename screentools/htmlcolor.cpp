#include "screentools/htmlcolor.h"

namespace vornik {

std::string htmlcolor(std::uint32_t color)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "#";
    for (int shift : {0, 8, 16}) {
        const unsigned byte = (color >> shift) & 0xFF;
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

} // namespace vornik
