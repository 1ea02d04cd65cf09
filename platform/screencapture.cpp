#include "platform/screencapture.h"

namespace vornik {

bool getscreenshot(Bitmap& into)
{
    return screenCaptureService().capture(into);
}

std::optional<Bitmap> getscreenshot()
{
    Bitmap bitmap;
    if (!getscreenshot(bitmap))
        return std::nullopt;
    return bitmap;
}

} // namespace vornik
