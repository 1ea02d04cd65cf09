#include "platform/screencapture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstring>
#include <exception>

namespace vornik {

std::optional<Bitmap> getscreenshot()
{
    try {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr)
            return std::nullopt;
        // On X11 grabbing window 0 reads the root window in native pixels;
        // the pixmap's size is the physical size of the screen, its device
        // pixel ratio the screen's scale, which we deliberately drop.
        const QPixmap pixmap = screen->grabWindow(0);
        if (pixmap.isNull())
            return std::nullopt;
        QImage image = pixmap.toImage();
        if (image.format() != QImage::Format_RGB32)
            image.convertTo(QImage::Format_RGB32);
        if (image.isNull() || image.width() <= 0 || image.height() <= 0)
            return std::nullopt;
        Bitmap bitmap(image.width(), image.height(), 32);
        const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 4;
        for (int y = 0; y < image.height(); ++y) {
            std::uint8_t* row = bitmap.scanLine(y);
            std::memcpy(row, image.constScanLine(y), rowBytes);
            // The display ignores the fourth byte, but X servers leave the
            // padding byte of depth-24 pixels as they like; an opaque 255
            // keeps it at 255 through the overlay's blend.
            for (std::size_t x = 3; x < rowBytes; x += 4)
                row[x] = 255;
        }
        return bitmap;
    } catch (const std::exception&) {
        // A failed capture is silent by design: the tool window opens empty.
        return std::nullopt;
    }
}

} // namespace vornik
