#include "screentools/picturebox.h"

#include "platform/desktop.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vornik {
namespace {

// Wraps the bitmap's memory without copying. The image is built over writable
// memory on purpose: over read-only memory, setting its device pixel ratio
// detaches it, which would copy the whole picture on every paint of a scaled
// screen. Bottom-up bitmaps cannot be described to QImage, so the requested
// rows are copied the right way up.
QImage wrap(Bitmap& bitmap, const QRect& devicePart)
{
    const QImage::Format format = bitmap.bitsPerPixel() == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888;
    if (!bitmap.bottomUp())
        return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()), format);
    QImage copy(bitmap.width(), bitmap.height(), format);
    const qsizetype rowBytes = static_cast<qsizetype>(bitmap.width()) * (bitmap.bitsPerPixel() / 8);
    for (int y = std::max(0, devicePart.top()); y <= std::min(bitmap.height() - 1, devicePart.bottom()); ++y)
        std::memcpy(copy.scanLine(y), bitmap.scanLine(y), static_cast<std::size_t>(rowBytes));
    return copy;
}

bool drawable(const Bitmap& bitmap)
{
    return !bitmap.empty() && (bitmap.bitsPerPixel() == 32 || bitmap.bitsPerPixel() == 24);
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    // Every paint covers the whole exposed area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const Bitmap& picture)
{
    m_source = nullptr;
    m_picture = picture;
    update();
}

void PictureBox::setPicture(Bitmap&& picture)
{
    m_source = nullptr;
    m_picture = std::move(picture);
    update();
}

void PictureBox::clearPicture()
{
    m_source = nullptr;
    m_picture = Bitmap();
    update();
}

void PictureBox::setPixelSource(int width, int height, PixelSource source)
{
    m_picture = Bitmap();
    m_source = std::move(source);
    m_sourceWidth = m_source ? std::max(0, width) : 0;
    m_sourceHeight = m_source ? std::max(0, height) : 0;
    update();
}

QRect PictureBox::logicalRect(const PixelRect& r) const
{
    const double dpr = devicePixelRatioF();
    const int x1 = static_cast<int>(std::floor(r.x1 / dpr));
    const int y1 = static_cast<int>(std::floor(r.y1 / dpr));
    const int x2 = static_cast<int>(std::ceil(r.x2 / dpr));
    const int y2 = static_cast<int>(std::ceil(r.y2 / dpr));
    return QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
}

QPoint PictureBox::devicePixelAt(QPointF logicalPosition) const
{
    const double dpr = devicePixelRatioF();
    return QPoint(static_cast<int>(std::floor(logicalPosition.x() * dpr)),
                  static_cast<int>(std::floor(logicalPosition.y() * dpr)));
}

QPoint PictureBox::eventDevicePixel(const QMouseEvent* event) const
{
    const QPoint fromEvent = devicePixelAt(event->position());
    const double dpr = devicePixelRatioF();
    if (dpr == 1.0)
        return fromEvent;
    // WORKAROUND: on a scaled screen Qt's X11 backend rounds pointer positions
    // to whole logical pixels before scaling them, so every other device pixel
    // cannot be reached through the event. The window system's own pointer
    // position is exact; it is used while it agrees with the event to within
    // the rounding, and the event's position otherwise.
    const auto native = pointerInDevicePixels();
    if (!native)
        return fromEvent;
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QPoint exact(native->first - static_cast<int>(std::lround(origin.x() * dpr)),
                       native->second - static_cast<int>(std::lround(origin.y() * dpr)));
    const int tolerance = static_cast<int>(std::ceil(dpr));
    if (std::abs(exact.x() - fromEvent.x()) <= tolerance && std::abs(exact.y() - fromEvent.y()) <= tolerance)
        return exact;
    return fromEvent;
}

void PictureBox::repaintRects(const std::vector<PixelRect>& rects)
{
    QRegion region;
    for (const PixelRect& r : rects) {
        if (!r.empty())
            region += logicalRect(r);
    }
    if (!region.isEmpty())
        repaint(region);
}

std::vector<PixelRect> PictureBox::sourceRects(const QRegion& region) const
{
    // Only whole device pixels per logical pixel map rectangles exactly; the
    // callers fall back to a picture of the box's own elsewhere.
    const int scale = static_cast<int>(std::lround(devicePixelRatioF()));
    std::vector<PixelRect> rects;
    for (const QRect& r : region) {
        PixelRect d{r.left() * scale, r.top() * scale, (r.right() + 1) * scale, (r.bottom() + 1) * scale};
        d.x1 = std::clamp(d.x1, 0, m_sourceWidth);
        d.x2 = std::clamp(d.x2, 0, m_sourceWidth);
        d.y1 = std::clamp(d.y1, 0, m_sourceHeight);
        d.y2 = std::clamp(d.y2, 0, m_sourceHeight);
        if (!d.empty())
            rects.push_back(d);
    }
    return rects;
}

bool PictureBox::paintFromSourceInPlace(QPainter& painter, const QRegion& region)
{
    const double dpr = devicePixelRatioF();
    if (dpr != std::round(dpr) || painter.paintEngine() == nullptr)
        return false;
    QPaintDevice* device = painter.paintEngine()->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return false;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    // Where the box's top-left corner lies in the image: the painter maps
    // the box's logical pixels onto the image's device pixels.
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxScale || toDevice.m11() != dpr || toDevice.m22() != dpr)
        return false;
    const int ox = static_cast<int>(std::lround(toDevice.dx()));
    const int oy = static_cast<int>(std::lround(toDevice.dy()));
    if (ox < 0 || oy < 0 || ox >= image->width() || oy >= image->height())
        return false;
    const int width = std::min(m_sourceWidth, image->width() - ox);
    const int height = std::min(m_sourceHeight, image->height() - oy);
    std::vector<PixelRect> rects = sourceRects(region);
    for (PixelRect& r : rects) {
        r.x2 = std::min(r.x2, width);
        r.y2 = std::min(r.y2, height);
    }
    std::erase_if(rects, [](const PixelRect& r) { return r.empty(); });
    if (rects.empty())
        return true;
    // The painter has the image's memory in hand already; reading the
    // address through the const accessor cannot detach it from the window.
    auto* first = const_cast<std::uint8_t*>(image->constBits()) + static_cast<std::ptrdiff_t>(oy) * image->bytesPerLine() +
                  static_cast<std::ptrdiff_t>(ox) * 4;
    m_source(first, image->bytesPerLine(), width, height, rects);
    return true;
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_source) {
        if (!paintFromSourceInPlace(painter, event->region())) {
            // The window's image is out of reach: the source draws into a
            // picture of the box's own, which is then shown as any picture.
            if (m_picture.width() != m_sourceWidth || m_picture.height() != m_sourceHeight)
                m_picture = Bitmap(m_sourceWidth, m_sourceHeight, 32);
            const std::vector<PixelRect> rects = sourceRects(event->region());
            if (!rects.empty() && !m_picture.empty())
                m_source(m_picture.bits(), m_picture.stride(), m_picture.width(), m_picture.height(), rects);
            for (const QRect& exposed : event->region()) {
                painter.setClipRect(exposed);
                paintPart(painter, exposed);
            }
            return;
        }
        // Whatever the source leaves uncovered shows the window's background.
        const double dpr = devicePixelRatioF();
        const QRect sourceArea(0, 0, static_cast<int>(std::ceil(m_sourceWidth / dpr)),
                               static_cast<int>(std::ceil(m_sourceHeight / dpr)));
        for (const QRect& r : event->region().subtracted(QRegion(sourceArea)))
            painter.fillRect(r, palette().window());
        return;
    }
    // Each rectangle of the exposed region is drawn on its own, clipped to
    // itself. Drawn as one, clipped to a region of thin strips, the picture
    // would go through the painter's span-by-span path, which hands every few
    // dozen rows to a pool thread and costs more in thread wake-ups than in
    // copying; clipped to one rectangle it is a plain row copy.
    for (const QRect& exposed : event->region()) {
        painter.setClipRect(exposed);
        paintPart(painter, exposed);
    }
}

void PictureBox::paintPart(QPainter& painter, const QRect& exposed)
{
    const double dpr = devicePixelRatioF();
    QRect pictureArea;
    if (drawable(m_picture)) {
        // The part of the bitmap under the exposed area, in bitmap pixels,
        // drawn 1:1 onto device pixels: the image carries the same device
        // pixel ratio as the widget, so Qt does not scale it.
        const QRect devicePart = QRect(QPoint(static_cast<int>(std::floor(exposed.left() * dpr)),
                                              static_cast<int>(std::floor(exposed.top() * dpr))),
                                       QPoint(static_cast<int>(std::ceil((exposed.right() + 1) * dpr)) - 1,
                                              static_cast<int>(std::ceil((exposed.bottom() + 1) * dpr)) - 1))
                                     .intersected(QRect(0, 0, m_picture.width(), m_picture.height()));
        if (!devicePart.isEmpty()) {
            QImage image = wrap(m_picture, devicePart);
            image.setDevicePixelRatio(dpr);
            const QRectF target(devicePart.left() / dpr, devicePart.top() / dpr, devicePart.width() / dpr,
                                devicePart.height() / dpr);
            painter.drawImage(target, image, QRectF(devicePart));
        }
        pictureArea = QRect(QPoint(0, 0), QSize(static_cast<int>(std::ceil(m_picture.width() / dpr)),
                                                static_cast<int>(std::ceil(m_picture.height() / dpr))));
    }
    // Whatever the picture leaves uncovered shows the window's background.
    QRegion rest = QRegion(exposed).subtracted(QRegion(pictureArea));
    for (const QRect& r : rest)
        painter.fillRect(r, palette().window());
}

QWidget* PictureBox::widgetAt(QPointF logicalPosition) const
{
    const QPoint local = logicalPosition.toPoint();
    QWidget* top = QApplication::widgetAt(mapToGlobal(local));
    if (top != nullptr)
        return top->window() == window() ? top : nullptr;
    // Without a window system answer (offscreen), fall back to what stacks
    // at the point inside our own window.
    const QPoint inWindow = mapTo(window(), local);
    if (!window()->rect().contains(inWindow))
        return nullptr;
    QWidget* child = window()->childAt(inWindow);
    return child != nullptr ? child : window();
}

bool PictureBox::pointerOverPicture(QPointF logicalPosition) const
{
    if (!rect().contains(logicalPosition.toPoint()))
        return false;
    QWidget* top = widgetAt(logicalPosition);
    return top == this || isAncestorOf(top);
}

void PictureBox::passOn(QMouseEvent* event)
{
    if (!m_elsewhere)
        return;
    const QPointF global = event->globalPosition();
    QMouseEvent passed(event->type(), m_elsewhere->mapFromGlobal(global), m_elsewhere->window()->mapFromGlobal(global),
                       global, event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
    passed.setTimestamp(event->timestamp());
    QApplication::sendEvent(m_elsewhere, &passed);
}

// WORKAROUND: Qt grabs the mouse implicitly for the widget that took the first
// press until every button is up, so all mouse events of a picture drag come
// here. Only the left button captures the pointer for the picture: during a
// right- or middle-button drag, a further press goes to the widget under the
// pointer (the info panel, an edit box), which then keeps it and the moves
// and release that belong to it, as its own press would have.

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    if (m_elsewhereButtons != Qt::NoButton) {
        m_elsewhereButtons |= event->button();
        passOn(event);
        return;
    }
    const Qt::MouseButtons alreadyHeld = event->buttons() & ~event->button();
    if (alreadyHeld != Qt::NoButton && !(alreadyHeld & Qt::LeftButton) && !pointerOverPicture(event->position())) {
        m_elsewhereButtons = event->button();
        m_elsewhere = widgetAt(event->position());
        passOn(event);
        return;
    }
    const QPoint p = eventDevicePixel(event);
    if (onMouseDown)
        onMouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    if (m_elsewhereButtons != Qt::NoButton) {
        passOn(event);
        return;
    }
    // With only other buttons than the left one held, moves count only while
    // the pointer is really over the picture.
    if (!(event->buttons() & Qt::LeftButton) && event->buttons() != Qt::NoButton &&
        !pointerOverPicture(event->position()))
        return;
    const QPoint p = eventDevicePixel(event);
    if (onMouseMove)
        onMouseMove(event->modifiers(), p.x(), p.y());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_elsewhereButtons & event->button()) {
        m_elsewhereButtons &= ~event->button();
        passOn(event);
        if (m_elsewhereButtons == Qt::NoButton)
            m_elsewhere = nullptr;
        return;
    }
    // A release of a button pressed on the picture is always reported, also
    // after a right- or middle-button drag that ended off the picture, so
    // that a drag never outlives its button.
    const QPoint p = eventDevicePixel(event);
    if (onMouseUp)
        onMouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void PictureBox::hideEvent(QHideEvent* event)
{
    m_elsewhereButtons = Qt::NoButton;
    m_elsewhere = nullptr;
    QWidget::hideEvent(event);
}

} // namespace vornik
