#pragma once

#include <cstdint>
#include <string>

namespace vornik {

// A colour value 0x00BBGGRR as "#RRGGBB" in upper-case hexadecimal; the top
// byte is ignored, so the invalid colour 0xFFFFFFFF reads "#FFFFFF".
std::string htmlcolor(std::uint32_t color);

} // namespace vornik
