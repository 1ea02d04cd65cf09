#include "screentools/loupeview.h"

#include "screentools/colourformats.h"
#include "screentools/htmlcolor.h"
#include "screentools/readouts.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace vornik {
namespace {

// The colour readout of a captured pixel: 0x00BBGGRR, or the invalid colour
// 0xFFFFFFFF outside the capture, as the pixel colour readout shows it.
std::uint32_t readoutColour(const Bitmap& capture, PixelPoint p)
{
    if (capture.empty() || capture.bitsPerPixel() != 32 || p.x < 0 || p.y < 0 || p.x >= capture.width() ||
        p.y >= capture.height())
        return 0xFFFFFFFFu;
    const std::uint32_t argb = capture.pixel32(p.x, p.y);
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

// How far the loupe keeps from the point's pixel, in logical pixels: beyond
// the arrow of the pointer, which hangs down and to the right of its tip.
constexpr int kGap = 24;

} // namespace

LoupeView::LoupeView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Loupe1"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

LoupeShape LoupeView::shape() const
{
    LoupeShape shape;
    shape.factor = 8 * std::max(1, static_cast<int>(std::lround(devicePixelRatioF())));
    return shape;
}

int LoupeView::captionHeight() const
{
    return 2 * fontMetrics().height() + 4;
}

QRect LoupeView::deviceGeometry() const
{
    const double dpr = devicePixelRatioF();
    const QRect g = geometry();
    return QRect(static_cast<int>(std::lround(g.x() * dpr)), static_cast<int>(std::lround(g.y() * dpr)),
                 static_cast<int>(std::lround(g.width() * dpr)), static_cast<int>(std::lround(g.height() * dpr)));
}

void LoupeView::follow(const Bitmap& capture, PixelPoint pixel, PixelPoint pointerPixel, const PictureFit& fit)
{
    const PixelPoint point{fit.shownX(pixel.x), fit.shownY(pixel.y)};
    const PixelPoint pointer{fit.shownX(pointerPixel.x), fit.shownY(pointerPixel.y)};
    const LoupeShape s = shape();
    fillLoupe(m_pixels, capture, pixel, s);
    const std::uint32_t colour = readoutColour(capture, pixel);
    m_caption = QString::fromLatin1(htmlcolor(colour) + "  " + positionText(pixel.x, pixel.y) + "\n" +
                                    rgbColourText(colour));

    const double dpr = devicePixelRatioF();
    const int logicalWidth = static_cast<int>(std::ceil(s.side() / dpr));
    const int logicalHeight = static_cast<int>(std::ceil(s.side() / dpr)) + captionHeight();
    const QWidget* area = parentWidget();
    const int screenWidth = static_cast<int>(std::floor((area ? area->width() : 0) * dpr));
    const int screenHeight = static_cast<int>(std::floor((area ? area->height() : 0) * dpr));
    // The size in device pixels is that of the logical size, so that the
    // rounding of the position to logical pixels is all that placement must
    // allow for, and the gap is far larger than that.
    const auto at = placeLoupe(point, pointer, static_cast<int>(std::ceil(logicalWidth * dpr)),
                               static_cast<int>(std::ceil(logicalHeight * dpr)), screenWidth, screenHeight,
                               static_cast<int>(std::lround(kGap * dpr)));
    const QRect before = geometry();
    if (at) {
        // Rounded towards the far side of the point, never onto it.
        const int x = at->x > point.x ? static_cast<int>(std::ceil(at->x / dpr)) : static_cast<int>(at->x / dpr);
        const int y = at->y > point.y ? static_cast<int>(std::ceil(at->y / dpr)) : static_cast<int>(at->y / dpr);
        setGeometry(x, y, logicalWidth, logicalHeight);
    }
    if (!isVisible())
        return;
    if (QWidget* p = parentWidget(); p && geometry() != before)
        p->repaint(QRegion(before) + QRegion(geometry()));
    else
        repaint();
}

void LoupeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double dpr = devicePixelRatioF();
    painter.fillRect(rect(), palette().window());
    if (!m_pixels.empty()) {
        QImage image(m_pixels.bits(), m_pixels.width(), m_pixels.height(), static_cast<qsizetype>(m_pixels.stride()),
                     QImage::Format_RGB32);
        image.setDevicePixelRatio(dpr);
        painter.drawImage(QPointF(0, 0), image);
    }
    const int pictureHeight = static_cast<int>(std::ceil(m_pixels.height() / dpr));
    const QRect textArea(0, pictureHeight, width(), height() - pictureHeight);
    painter.setPen(palette().windowText().color());
    painter.drawText(textArea, Qt::AlignCenter, m_caption);
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(QRectF(0.5 / dpr, 0.5 / dpr, width() - 1.0 / dpr, height() - 1.0 / dpr));
}

} // namespace vornik
