#pragma once

#include "platform/freedesktop/portalrequest.h"

#include <vector>

namespace vornik {

// The compositor's outputs as it tells Wayland clients, each as an
// OutputRect: its place in the desktop's logical pixels (xdg_output's, which
// is where Xwayland puts the screen it makes of the output) and the size of
// its current mode, turned as the output is, in its own device pixels. Empty
// where no compositor answers at WAYLAND_DISPLAY or it does not tell the
// outputs' places.
std::vector<OutputRect> waylandOutputs();

} // namespace vornik
