#include "screentools/picturebox.h"

#include "platform/x11/pointer.h"
#include "screentools/overlay.h"

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

void PictureBox::setShownSize(int width, int height)
{
    const QSize shown = width > 0 && height > 0 ? QSize(width, height) : QSize();
    if (shown == m_shown)
        return;
    m_shown = shown;
    update();
}

PictureFit PictureBox::fit() const
{
    const int width = m_source ? m_sourceWidth : m_picture.width();
    const int height = m_source ? m_sourceHeight : m_picture.height();
    if (m_shown.isEmpty())
        return {width, height, width, height};
    return {width, height, m_shown.width(), m_shown.height()};
}

QSize PictureBox::shownDeviceSize() const
{
    const PictureFit f = fit();
    return QSize(f.shownWidth, f.shownHeight);
}

QRect PictureBox::logicalRect(const PixelRect& picturePixels) const
{
    const PixelRect r = fit().shownRect(picturePixels);
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

QPoint PictureBox::picturePixelAtDevice(QPoint device) const
{
    const PictureFit f = fit();
    return QPoint(f.capturedX(device.x()), f.capturedY(device.y()));
}

QPoint PictureBox::devicePixelOf(QPoint picturePixel) const
{
    const PictureFit f = fit();
    return QPoint(f.shownX(picturePixel.x()), f.shownY(picturePixel.y()));
}

QPoint PictureBox::eventPicturePixel(const QMouseEvent* event) const
{
    const QPoint fromEvent = devicePixelAt(event->position());
    const double dpr = devicePixelRatioF();
    if (dpr == 1.0)
        return picturePixelAtDevice(fromEvent);
    // WORKAROUND: on a scaled screen Qt's X11 backend rounds pointer positions
    // to whole logical pixels before scaling them, so every other device pixel
    // cannot be reached through the event. The window system's own pointer
    // position is exact; it is used while it agrees with the event to within
    // the rounding, and the event's position otherwise.
    const auto native = pointerInDevicePixels();
    if (!native)
        return picturePixelAtDevice(fromEvent);
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QPoint exact(native->first - static_cast<int>(std::lround(origin.x() * dpr)),
                       native->second - static_cast<int>(std::lround(origin.y() * dpr)));
    const int tolerance = static_cast<int>(std::ceil(dpr));
    if (std::abs(exact.x() - fromEvent.x()) <= tolerance && std::abs(exact.y() - fromEvent.y()) <= tolerance)
        return picturePixelAtDevice(exact);
    return picturePixelAtDevice(fromEvent);
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

std::vector<PixelRect> PictureBox::deviceRects(QPainter& painter, const QRegion& region, int width, int height) const
{
    // A logical pixel covers a fraction of a device pixel at its edges on a
    // screen of a fractional scale; Qt paints, and shows, the device pixels
    // of its own clip, so nothing is drawn beyond it.
    const double dpr = devicePixelRatioF();
    QRegion clip;
    if (QPaintEngine* engine = painter.paintEngine(); engine != nullptr && !engine->systemClip().isEmpty()) {
        const QTransform toDevice = painter.deviceTransform();
        clip = engine->systemClip().translated(-static_cast<int>(std::lround(toDevice.dx())),
                                               -static_cast<int>(std::lround(toDevice.dy())));
    }
    QRegion device;
    for (const QRect& r : region) {
        const QRect d(QPoint(static_cast<int>(std::floor(r.left() * dpr)), static_cast<int>(std::floor(r.top() * dpr))),
                      QPoint(static_cast<int>(std::ceil((r.right() + 1) * dpr)) - 1,
                             static_cast<int>(std::ceil((r.bottom() + 1) * dpr)) - 1));
        device += d.intersected(QRect(0, 0, width, height));
    }
    if (!clip.isEmpty())
        device &= clip;
    std::vector<PixelRect> rects;
    for (const QRect& r : device)
        rects.push_back(PixelRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    return rects;
}

bool PictureBox::windowPixels(QPainter& painter, double dpr, WindowPixels& out)
{
    if (painter.paintEngine() == nullptr)
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
    if (toDevice.type() > QTransform::TxScale || std::abs(toDevice.m11() - dpr) > 1e-9 ||
        std::abs(toDevice.m22() - dpr) > 1e-9)
        return false;
    const int ox = static_cast<int>(std::lround(toDevice.dx()));
    const int oy = static_cast<int>(std::lround(toDevice.dy()));
    if (ox < 0 || oy < 0 || ox >= image->width() || oy >= image->height())
        return false;
    // The painter has the image's memory in hand already; reading the
    // address through the const accessor cannot detach it from the window.
    out.origin = const_cast<std::uint8_t*>(image->constBits()) + static_cast<std::ptrdiff_t>(oy) * image->bytesPerLine() +
                 static_cast<std::ptrdiff_t>(ox) * 4;
    out.stride = image->bytesPerLine();
    out.width = image->width() - ox;
    out.height = image->height() - oy;
    return true;
}

bool PictureBox::paintFromSourceInPlace(QPainter& painter, const QRegion& region)
{
    WindowPixels window;
    if (!windowPixels(painter, devicePixelRatioF(), window))
        return false;
    const int width = std::min(m_sourceWidth, window.width);
    const int height = std::min(m_sourceHeight, window.height);
    const std::vector<PixelRect> rects = deviceRects(painter, region, width, height);
    if (!rects.empty())
        m_source(window.origin, window.stride, width, height, rects);
    return true;
}

void PictureBox::paintFitted(QPainter& painter, const QRegion& region)
{
    const PictureFit f = fit();
    if (m_source) {
        // The source draws the captured pixels under the region into the
        // box's own picture, which is then fitted to the window.
        if (m_picture.width() != m_sourceWidth || m_picture.height() != m_sourceHeight)
            m_picture = Bitmap(m_sourceWidth, m_sourceHeight, 32);
        std::vector<PixelRect> needed;
        for (const PixelRect& r : deviceRects(painter, region, f.shownWidth, f.shownHeight))
            needed.push_back(f.capturedRect(r));
        needed = OverlayRenderer::disjointUnion(needed, m_sourceWidth, m_sourceHeight);
        if (!needed.empty() && !m_picture.empty())
            m_source(m_picture.bits(), m_picture.stride(), m_picture.width(), m_picture.height(), needed);
    }
    const double dpr = devicePixelRatioF();
    if (m_picture.empty() || m_picture.bitsPerPixel() != 32 || m_picture.bottomUp()) {
        for (const QRect& r : region)
            painter.fillRect(r, palette().window());
        return;
    }
    WindowPixels window;
    const bool inPlace = windowPixels(painter, dpr, window);
    const int width = inPlace ? std::min(f.shownWidth, window.width) : f.shownWidth;
    const int height = inPlace ? std::min(f.shownHeight, window.height) : f.shownHeight;
    for (const PixelRect& r : deviceRects(painter, region, width, height)) {
        if (inPlace) {
            resamplePicture(f, m_picture.bits(), m_picture.stride(),
                            window.origin + static_cast<std::ptrdiff_t>(r.y1) * window.stride +
                                static_cast<std::ptrdiff_t>(r.x1) * 4,
                            window.stride, r);
            continue;
        }
        QImage part(r.x2 - r.x1, r.y2 - r.y1, QImage::Format_RGB32);
        resamplePicture(f, m_picture.bits(), m_picture.stride(), part.bits(), part.bytesPerLine(), r);
        part.setDevicePixelRatio(dpr);
        painter.drawImage(QPointF(r.x1 / dpr, r.y1 / dpr), part);
    }
    // Whatever the picture leaves uncovered shows the window's background.
    const QRect shownArea(0, 0, static_cast<int>(std::ceil(f.shownWidth / dpr)),
                          static_cast<int>(std::ceil(f.shownHeight / dpr)));
    for (const QRect& r : region.subtracted(QRegion(shownArea)))
        painter.fillRect(r, palette().window());
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!fit().identity()) {
        paintFitted(painter, event->region());
        return;
    }
    if (m_source) {
        if (!paintFromSourceInPlace(painter, event->region())) {
            // The window's image is out of reach: the source draws into a
            // picture of the box's own, which is then shown as any picture.
            if (m_picture.width() != m_sourceWidth || m_picture.height() != m_sourceHeight)
                m_picture = Bitmap(m_sourceWidth, m_sourceHeight, 32);
            const std::vector<PixelRect> rects = deviceRects(painter, event->region(), m_sourceWidth, m_sourceHeight);
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
    const QPoint p = eventPicturePixel(event);
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
    const QPoint p = eventPicturePixel(event);
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
    const QPoint p = eventPicturePixel(event);
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
