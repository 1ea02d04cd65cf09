#pragma once

#include "platform/bitmap.h"
#include "screentools/loupe.h"
#include "screentools/picturefit.h"

#include <QWidget>

namespace vornik {

// The loupe over the tool window: a child of the window, drawn over the
// picture box and the info panel, transparent for the mouse so that the
// picture box keeps receiving every move. Its picture comes from fillLoupe
// and shows one of its pixels per device pixel; under it stand the point's
// colour and position as the readouts write them, and on a second line the
// colour as rgb().
class LoupeView : public QWidget {
    Q_OBJECT
  public:
    explicit LoupeView(QWidget* parent);

    // Redraws the loupe for the point and puts it beside it (see placeLoupe),
    // with `pointer` the real pointer's last position, both in captured
    // pixels, which `fit` spreads over the parent's device pixels. The loupe
    // is repainted before this returns, as the picture box is after a move.
    // It stays where it was when it fits nowhere beside the point.
    void follow(const Bitmap& capture, PixelPoint point, PixelPoint pointer, const PictureFit& fit = {});

    // The enlargement in use: eight, times the screen's scale rounded, so
    // that the loupe has the same size on every screen.
    LoupeShape shape() const;
    // The last picture drawn and the text under it.
    const Bitmap& pixels() const { return m_pixels; }
    const QString& caption() const { return m_caption; }
    // Where the loupe stands, in the parent's device pixels.
    QRect deviceGeometry() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int captionHeight() const;

    Bitmap m_pixels;
    QString m_caption;
};

} // namespace vornik
