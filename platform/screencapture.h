#pragma once

#include "platform/bitmap.h"

#include <optional>

namespace vornik {

// `getscreenshot`: the primary screen's pixels as they are now, 32 bits per
// pixel, top row first, one bitmap pixel per device pixel (not per logical
// pixel when the screen is scaled). Nothing when the screen cannot be read;
// the failure itself is not reported.
std::optional<Bitmap> getscreenshot();

} // namespace vornik
