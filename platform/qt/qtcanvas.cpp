#include "platform/qt/qtcanvas.h"

#include "platform/qt/localtext.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <cstdlib>

namespace vornik {

namespace {

struct PreparedText {
    QString shown;               // the text without mnemonic marks
    std::vector<int> underlined; // positions in shown
};

PreparedText prepare(const std::string& text, unsigned flags) {
    PreparedText out;
    const QString source = fromLocalBytes(text);
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source.at(i);
        if (c == u'&' && !(flags & DT_NOPREFIX)) {
            if (i + 1 < source.size() && source.at(i + 1) == u'&') {
                out.shown += u'&';
                ++i;
            } else if (i + 1 < source.size()) {
                out.underlined.push_back(int(out.shown.size()));
            }
            continue;
        }
        if (c == u'\n' || c == u'\r') {
            if (flags & DT_SINGLELINE)
                out.shown += u' ';
            continue;
        }
        out.shown += c;
    }
    return out;
}

// The x offset of every character boundary of the text, tabs expanded to
// stops every eight average character widths as the desktop does.
std::vector<int> boundaries(const QString& shown, const QFontMetrics& fm, unsigned flags) {
    std::vector<int> xs{0};
    const int tab = 8 * fm.averageCharWidth();
    int segmentStart = 0;
    int segmentX = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown.at(i) == u'\t' && (flags & DT_EXPANDTABS) && tab > 0) {
            segmentX = (xs.back() / tab + 1) * tab;
            segmentStart = int(i) + 1;
            xs.push_back(segmentX);
            continue;
        }
        xs.push_back(segmentX + fm.horizontalAdvance(shown.mid(segmentStart, i + 1 - segmentStart)));
    }
    return xs;
}

} // namespace

QRgb toQRgb(Rgb color) {
    return qRgb(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Rgb fromQRgb(QRgb color) {
    return Rgb(qRed(color)) | Rgb(qGreen(color)) << 8 | Rgb(qBlue(color)) << 16;
}

QFont toQFont(const FontSpec& description) {
    QFont font(QString::fromStdString(description.family));
    if (description.pixelSize > 0)
        font.setPixelSize(description.pixelSize);
    else if (description.pointSize > 0)
        font.setPointSizeF(description.pointSize);
    font.setBold(description.bold);
    font.setItalic(description.italic);
    font.setUnderline(description.underline);
    return font;
}

FontSpec fromQFont(const QFont& font) {
    FontSpec description;
    description.family = font.family().toStdString();
    description.pointSize = font.pointSizeF();
    description.pixelSize = font.pixelSize() > 0 ? font.pixelSize() : 0;
    description.bold = font.bold();
    description.italic = font.italic();
    description.underline = font.underline();
    return description;
}

FontSpec menuFontSpec() {
    return fromQFont(QApplication::font("QMenu"));
}

QImageCanvas::QImageCanvas(QImage* image, QPoint origin, CanvasWindow* window)
    : m_image(image), m_origin(origin), m_window(window), m_font(menuFontSpec()) {}

void QImageCanvas::setPixel(int x, int y, Rgb color) {
    const int ix = x + m_origin.x();
    const int iy = y + m_origin.y();
    if (ix < 0 || iy < 0 || ix >= m_image->width() || iy >= m_image->height())
        return;
    reinterpret_cast<QRgb*>(m_image->scanLine(iy))[ix] = toQRgb(color);
}

Rgb QImageCanvas::pixel(int x, int y) const {
    return fromQRgb(m_image->pixel(x + m_origin.x(), y + m_origin.y()));
}

void QImageCanvas::fillRect(const Rect& rect, Rgb color) {
    const Rect bounds{-m_origin.x(), -m_origin.y(), m_image->width() - m_origin.x(),
                      m_image->height() - m_origin.y()};
    const Rect r = rect.intersected(bounds);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            setPixel(x, y, color);
}

void QImageCanvas::line(int x1, int y1, int x2, int y2, Rgb color) {
    // Bresenham, stopping before the end point as LineTo does.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {
        setPixel(x, y, color);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void QImageCanvas::frameRect(const Rect& rect, Rgb color) {
    if (rect.isEmpty())
        return;
    fillRect(Rect{rect.left, rect.top, rect.right, rect.top + 1}, color);
    fillRect(Rect{rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
    fillRect(Rect{rect.left, rect.top, rect.left + 1, rect.bottom}, color);
    fillRect(Rect{rect.right - 1, rect.top, rect.right, rect.bottom}, color);
}

int QImageCanvas::drawText(const std::string& text, Rect& rect, unsigned flags) {
    const QFont qfont = toQFont(m_font);
    const QFontMetrics fm(qfont);
    const PreparedText prepared = prepare(text, flags);
    const std::vector<int> xs = boundaries(prepared.shown, fm, flags);
    const int width = xs.back();
    const int height = fm.height();
    if (flags & DT_CALCRECT) {
        rect.right = rect.left + width;
        rect.bottom = rect.top + height;
        return height;
    }

    int x = rect.left;
    if (flags & DT_RIGHT)
        x = rect.right - width;
    else if (flags & DT_CENTER)
        x = (rect.left + rect.right - width) / 2;
    const int baseline = rect.top + fm.ascent();

    QPainter painter(m_image);
    painter.translate(m_origin);
    if (!(flags & DT_NOCLIP))
        painter.setClipRect(QRect(rect.left, rect.top, rect.width(), rect.height()));
    painter.setFont(qfont);
    painter.setPen(QColor::fromRgb(toQRgb(m_textColor)));
    qsizetype start = 0;
    for (qsizetype i = 0; i <= prepared.shown.size(); ++i) {
        if (i == prepared.shown.size() || prepared.shown.at(i) == u'\t') {
            painter.drawText(QPoint(x + xs[std::size_t(start)], baseline),
                             prepared.shown.mid(start, i - start));
            start = i + 1;
        }
    }
    painter.end();

    // The mnemonic underline is a one-pixel line just below the baseline, as
    // wide as the character's advance.
    const Rgb underline = m_textColor;
    for (int position : prepared.underlined) {
        if (position >= int(prepared.shown.size()))
            continue;
        const int ux1 = x + xs[std::size_t(position)];
        const int ux2 = x + xs[std::size_t(position) + 1];
        const int uy = baseline + 1;
        if (!(flags & DT_NOCLIP) && (uy < rect.top || uy >= rect.bottom))
            continue;
        for (int ux = ux1; ux < ux2; ++ux)
            if ((flags & DT_NOCLIP) || (ux >= rect.left && ux < rect.right))
                setPixel(ux, uy, underline);
    }
    return height;
}

void QImageCanvas::drawMonoGlyph(const MonoGlyph& glyph, int x, int y) {
    for (int row = 0; row < glyph.height; ++row)
        for (int col = 0; col < glyph.width; ++col)
            if (glyph.isBlack(col, row))
                setPixel(x + col, y + row, m_textColor);
}

} // namespace vornik
