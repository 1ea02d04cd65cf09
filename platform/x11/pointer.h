#pragma once

#include <optional>
#include <utility>

namespace vornik {

// The pointer's position on the screen in device pixels, straight from the
// window system; nothing where the platform cannot tell.
std::optional<std::pair<int, int>> pointerInDevicePixels();

// Moves the pointer to the given screen position in device pixels and tells
// whether it is there now. Where the window system keeps programs from moving
// the pointer (an X client of a Wayland session) it stays where it was.
bool movePointerToDevicePixels(int x, int y);

} // namespace vornik
