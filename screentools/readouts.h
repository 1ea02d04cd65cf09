#pragma once

#include <string>

namespace vornik {

// "X:Y" in decimal, negative values with their minus sign.
std::string positionText(int x, int y);

// The text of the selection-size readout: "select area with mouse drag"
// while nothing is selected (selx1 < 0), otherwise "W:H" from the absolute
// differences of the two corners.
std::string selectionSizeText(int selx1, int sely1, int selx2, int sely2);

inline constexpr const char* kSelectAreaHint = "select area with mouse drag";

} // namespace vornik
