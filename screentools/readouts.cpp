#include "screentools/readouts.h"

#include <cstdlib>

namespace vornik {

std::string positionText(int x, int y)
{
    return std::to_string(x) + ":" + std::to_string(y);
}

std::string selectionSizeText(int selx1, int sely1, int selx2, int sely2)
{
    if (selx1 < 0)
        return kSelectAreaHint;
    // Computed in 64 bits: corners far outside the screen must not overflow.
    const long long width = std::llabs(static_cast<long long>(selx1) - selx2);
    const long long height = std::llabs(static_cast<long long>(sely1) - sely2);
    return std::to_string(width) + ":" + std::to_string(height);
}

} // namespace vornik
