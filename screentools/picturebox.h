#pragma once

#include "platform/bitmap.h"
#include "screentools/agg2d.h"
#include "screentools/picturefit.h"

#include <QPointer>
#include <QWidget>

class QPainter;

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vornik {

// The picture box `Image1`: shows its own bitmap from the top-left corner,
// one bitmap pixel per device pixel whatever the screen's device pixel ratio,
// never stretched or centred; or, where it is given a shown size, fitted to
// that many device pixels (see PictureFit), when the window cannot have one
// pixel per captured pixel. Mouse positions are reported in bitmap pixels, so
// that they match the captured screen.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The box owns its picture; the drawing code writes into picture() and
    // then asks for a repaint of what it changed.
    Bitmap& picture() { return m_picture; }
    const Bitmap& picture() const { return m_picture; }
    // A copy goes into the box's own memory, which is reused when the size
    // is unchanged; a moved-in picture is taken as it is.
    void setPicture(const Bitmap& picture);
    void setPicture(Bitmap&& picture);
    // Drops the picture, or the pixel source, and the memory of either.
    void clearPicture();

    // Instead of holding a picture, the box can have its pixels drawn when
    // it paints: the source gets 32-bit pixels (blue, green, red, fourth
    // byte), the box's top-left device pixel first, stride bytes a row, width
    // x height of them, and the device rectangles among them to draw. Where
    // the window's own image can be reached, the source draws straight into
    // it, so the window's pixels are the only copy of the picture; elsewhere
    // the box keeps a picture for the source to draw into. Pictures set
    // later replace the source.
    using PixelSource = std::function<void(std::uint8_t* firstRow, std::ptrdiff_t stride, int width, int height,
                                           const std::vector<PixelRect>& rects)>;
    void setPixelSource(int width, int height, PixelSource source);
    // The device pixels the picture or the source is spread over; an empty
    // size (the default) shows it at its natural size.
    void setShownSize(int width, int height);
    void setShownSize(QSize size) { setShownSize(size.width(), size.height()); }
    // How the picture's pixels map onto the box's device pixels.
    PictureFit fit() const;

    // Whether the box shows anything: a picture or a pixel source.
    bool hasPicture() const { return !m_picture.empty() || m_source != nullptr; }
    bool hasPixelSource() const { return m_source != nullptr; }

    // Repaints the given picture rectangles (in bitmap pixels) at once, before
    // returning, as the overlay needs after every pointer move.
    void repaintRects(const std::vector<PixelRect>& rects);

    // The widget rectangle, in its own logical coordinates, that holds the
    // given bitmap pixels, rounded outward.
    QRect logicalRect(const PixelRect& r) const;
    // A widget position mapped to the device pixel under it.
    QPoint devicePixelAt(QPointF logicalPosition) const;
    // The bitmap pixel a pointer at a device pixel of the box points at, and
    // the device pixel to put the pointer at to point at a bitmap pixel.
    QPoint picturePixelAtDevice(QPoint device) const;
    QPoint devicePixelOf(QPoint picturePixel) const;
    // The bitmap pixel a mouse event happened at.
    QPoint eventPicturePixel(const QMouseEvent* event) const;

    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> onMouseDown;
    std::function<void(Qt::KeyboardModifiers, int, int)> onMouseMove;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> onMouseUp;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    // The window's own pixels under the box, where the painter reaches them.
    struct WindowPixels {
        std::uint8_t* origin = nullptr; // the box's top-left device pixel
        std::ptrdiff_t stride = 0;
        int width = 0; // how much of the box the image holds
        int height = 0;
    };
    static bool windowPixels(QPainter& painter, double dpr, WindowPixels& out);
    // Paints the exposed rectangle (logical pixels) from the picture.
    void paintPart(QPainter& painter, const QRect& exposed);
    // Paints the region from the picture fitted to the shown size.
    void paintFitted(QPainter& painter, const QRegion& region);
    // Has the source draw the region straight into the window's image;
    // false, drawing nothing, where that image cannot be reached.
    bool paintFromSourceInPlace(QPainter& painter, const QRegion& region);
    // The device rectangles under a logical region, within the painter's
    // own clip where it has one and inside width x height.
    std::vector<PixelRect> deviceRects(QPainter& painter, const QRegion& region, int width, int height) const;
    // The width and height of what is shown, in device pixels.
    QSize shownDeviceSize() const;
    // The widget of this window under a position, or nullptr outside it.
    QWidget* widgetAt(QPointF logicalPosition) const;
    bool pointerOverPicture(QPointF logicalPosition) const;
    // Hands a mouse event that reached the picture only through Qt's grab to
    // the widget that would have had it.
    void passOn(QMouseEvent* event);

    Bitmap m_picture;
    PixelSource m_source;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    QSize m_shown;
    // Buttons pressed while the picture held no capture and the pointer was
    // elsewhere, and the widget that took them (none outside the window).
    Qt::MouseButtons m_elsewhereButtons;
    QPointer<QWidget> m_elsewhere;
};

} // namespace vornik
