#pragma once

#include "platform/bitmap.h"
#include "screentools/agg2d.h"

#include <QPointer>
#include <QWidget>

class QPainter;

#include <functional>
#include <vector>

namespace vornik {

// The picture box `Image1`: shows its own bitmap at natural size from the
// top-left corner, one bitmap pixel per device pixel whatever the screen's
// device pixel ratio, never stretched or centred. Mouse positions are
// reported in bitmap pixels, so that they match the captured screen.
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
    void clearPicture();

    // Repaints the given picture rectangles (in bitmap pixels) at once, before
    // returning, as the overlay needs after every pointer move.
    void repaintRects(const std::vector<PixelRect>& rects);

    // The widget rectangle, in its own logical coordinates, that holds the
    // given bitmap pixels, rounded outward.
    QRect logicalRect(const PixelRect& r) const;
    // A widget position mapped to the bitmap pixel under it.
    QPoint devicePixelAt(QPointF logicalPosition) const;
    // The bitmap pixel a mouse event happened at.
    QPoint eventDevicePixel(const QMouseEvent* event) const;

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
    // Paints the exposed rectangle (logical pixels) from the picture.
    void paintPart(QPainter& painter, const QRect& exposed);
    // The widget of this window under a position, or nullptr outside it.
    QWidget* widgetAt(QPointF logicalPosition) const;
    bool pointerOverPicture(QPointF logicalPosition) const;
    // Hands a mouse event that reached the picture only through Qt's grab to
    // the widget that would have had it.
    void passOn(QMouseEvent* event);

    Bitmap m_picture;
    // Buttons pressed while the picture held no capture and the pointer was
    // elsewhere, and the widget that took them (none outside the window).
    Qt::MouseButtons m_elsewhereButtons;
    QPointer<QWidget> m_elsewhere;
};

} // namespace vornik
