#include "screentools/colourformats.h"

#include <algorithm>
#include <cstdlib>

namespace vornik {
namespace {

struct Channels {
    int r, g, b;
};

Channels channelsOf(std::uint32_t color)
{
    return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
            static_cast<int>((color >> 16) & 0xFF)};
}

// numerator / denominator rounded to the nearest integer, halves up; both
// non-negative, the denominator above zero. Exact, so that a value that is
// exactly one half in the colour's own terms is never rounded down through a
// floating-point error.
long roundedRatio(long numerator, long denominator)
{
    return (2 * numerator + denominator) / (2 * denominator);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string rgbColourText(std::uint32_t color)
{
    const Channels c = channelsOf(color);
    return "rgb(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

std::string hslColourText(std::uint32_t color)
{
    const Channels c = channelsOf(color);
    const long high = std::max({c.r, c.g, c.b});
    const long low = std::min({c.r, c.g, c.b});
    const long range = high - low;
    // Lightness is (high + low) / 2 of 255; in percent, 100 (high + low) / 510.
    const long lightness = roundedRatio(100 * (high + low), 510);
    long hue = 0;
    long saturation = 0;
    if (range > 0) {
        // Saturation is the range over what the lightness leaves room for:
        // 255 - |high + low - 255|, in the same units as the channels.
        saturation = roundedRatio(100 * range, 255 - std::labs(high + low - 255));
        // The hue in degrees is 60 times the position on the six-sided colour
        // wheel; kept as a numerator over the range until it is rounded.
        long degrees = 0;
        if (high == c.r)
            degrees = 60 * (c.g - c.b);
        else if (high == c.g)
            degrees = 60 * (c.b - c.r) + 120 * range;
        else
            degrees = 60 * (c.r - c.g) + 240 * range;
        if (degrees < 0)
            degrees += 360 * range;
        hue = roundedRatio(degrees, range) % 360;
    }
    return "hsl(" + std::to_string(hue) + ", " + std::to_string(saturation) + "%, " + std::to_string(lightness) + "%)";
}

std::optional<std::uint32_t> parseHtmlColour(const std::string& text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return std::nullopt;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    // "#RRGGBB" holds red first; the colour value keeps red in its low byte.
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

} // namespace vornik
