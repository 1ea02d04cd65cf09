#pragma once

#include <string>

namespace vornik {

// Whether an X server accepts a connection on the display this names (as
// DISPLAY does); false for an empty name.
bool x11DisplayAccepts(const std::string& display);

} // namespace vornik
