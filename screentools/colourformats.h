#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vornik {

// The colour readout's value in the forms web pages and style sheets take,
// from a colour value 0x00BBGGRR (the top byte is ignored, as htmlcolor does).

// "rgb(R, G, B)" with each channel 0-255 in decimal.
std::string rgbColourText(std::uint32_t color);

// "hsl(H, S%, L%)": hue in whole degrees 0-359, saturation and lightness in
// whole percent, each rounded to the nearest integer with halves going up, as
// CSS rounds. A grey has hue 0 and saturation 0%.
std::string hslColourText(std::uint32_t color);

// The colour value of a "#RRGGBB" text (hexadecimal digits in either case), or
// nothing for any other text.
std::optional<std::uint32_t> parseHtmlColour(const std::string& text);

} // namespace vornik
