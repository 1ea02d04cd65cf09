#pragma once

#include "platform/canvas.h"

#include <QFont>
#include <QImage>
#include <QPoint>

namespace vornik {

// The menu font of this desktop: Qt's font for menus.
FontSpec menuFontSpec();
QFont toQFont(const FontSpec& description);
FontSpec fromQFont(const QFont& font);

// A Canvas over a QImage in Format_RGB32. Fills, frames, lines and glyphs
// write pixels directly so that they come out exactly, without
// antialiasing; text goes through QPainter. The origin lets an item's
// surface use client coordinates over a window's backing image.
class QImageCanvas final : public Canvas {
  public:
    explicit QImageCanvas(QImage* image, QPoint origin = {}, CanvasWindow* window = nullptr);

    void fillRect(const Rect& rect, Rgb color) override;
    void line(int x1, int y1, int x2, int y2, Rgb color) override;
    void frameRect(const Rect& rect, Rgb color) override;
    Rgb textColor() const override { return m_textColor; }
    void setTextColor(Rgb color) override { m_textColor = color & 0x00FFFFFF; }
    FontSpec font() const override { return m_font; }
    void setFont(const FontSpec& font) override { m_font = font; }
    int drawText(const std::string& text, Rect& rect, unsigned flags) override;
    void drawMonoGlyph(const MonoGlyph& glyph, int x, int y) override;
    CanvasWindow* window() override { return m_window; }

    // The pixel at (x, y) in canvas coordinates as 0x00BBGGRR.
    Rgb pixel(int x, int y) const;

  private:
    void setPixel(int x, int y, Rgb color);

    QImage* m_image;
    QPoint m_origin;
    CanvasWindow* m_window;
    Rgb m_textColor = 0;
    FontSpec m_font;
};

// 0x00BBGGRR <-> Qt colours.
QRgb toQRgb(Rgb color);
Rgb fromQRgb(QRgb color);

} // namespace vornik
