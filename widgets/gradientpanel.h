#pragma once

#include "widgets/bandgradient.h"
#include "widgets/syscolors.h"

#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <QWindow>

namespace vornik {

enum class TGradientDirection { gdHorizontal, gdVertical };

// A font as the panel's properties hold it: the face and its text colour.
struct TPanelFont {
    QFont Font;
    vornik::Color FontColor = 0;
};

// The caption strip of a gradient panel: a gradient band along the top edge
// with a one-line title, which is also the area that drags the panel.
struct TPanelCaption {
    bool Visible = true;
    QString Text;
    int Height = 20;
    vornik::Color Color = 0xFF000000 + COLOR_HIGHLIGHT;
    vornik::Color ColorTo = clNone;
    TGradientDirection GradientDirection = TGradientDirection::gdHorizontal;
    TPanelFont Font;
    int Indent = 0;
    int TopIndent = 0;
};

// A container panel with a gradient body, a gradient caption strip and a size
// grip in its bottom-right corner. It is a child window: the caption strip
// moves it within its parent and the grip resizes it, neither with any limit
// of its own. Every paint is composed in an off-screen surface and copied in
// one piece.
//
// Positions and sizes are logical pixels, given for 96 dots per inch; on
// denser screens Qt scales the whole window, so the panel keeps its layout
// and its gradients keep their rows in logical pixels.
class TGradientPanel : public QWidget {
    Q_OBJECT
  public:
    explicit TGradientPanel(QWidget* parent = nullptr);

    Color color() const { return m_color; }
    void setColor(Color value);
    Color colorTo() const { return m_colorTo; }
    void setColorTo(Color value);
    TGradientDirection gradientDirection() const { return m_gradientDirection; }
    void setGradientDirection(TGradientDirection value);

    const TPanelCaption& caption() const { return m_caption; }
    void setCaption(const TPanelCaption& value);

    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int value);
    bool canMove() const { return m_canMove; }
    void setCanMove(bool value) { m_canMove = value; }
    bool canSize() const { return m_canSize; }
    void setCanSize(bool value);

    // The text colour of the panel's own font, which its children take too.
    Color fontColor() const { return m_fontColor; }
    void setFontColor(Color value);

    // The height proposed by the last resize through the grip.
    int fullHeight() const { return m_fullHeight; }

    // Side of the grip square: the size of a scroll-bar arrow. Our styles
    // draw square arrow buttons as thick as the bar, so the bar's extent is
    // that size; it follows the style and the screen's density instead of
    // the fixed 17 pixels of the classic desktop.
    int scrollArrowSize() const;

    // What a press at this client point does (HTCLIENT, HTCAPTION or
    // HTBOTTOMRIGHT).
    int hitTest(const QPoint& point) const;

    // The look of the panel as the painting code takes it.
    PanelLook look() const;

    // A move or resize by the caption strip or the grip is under way. It
    // behaves like the desktop's own move and size loops: Escape cancels it
    // and puts the panel back where it was, any other key ends it where the
    // panel is and goes on to the window, and so does hiding the panel or
    // a pointer move that arrives with the left button no longer held.
    bool dragging() const { return m_drag != Drag::None; }
    void cancelDrag();
    void endDrag();

    // The panel rectangle that the last paint composed: only what the paint
    // event asked for, so that an exposed strip costs a strip.
    QRect lastComposedRect() const { return m_lastComposed; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Drag { None, Move, Size };

    // Raises the panel over its siblings and sets the cursor the hit-test
    // answer calls for, as the desktop does while the pointer passes.
    int trackPointer(const QPoint& point);

    Color m_color = 0xFF000000 + COLOR_BTNFACE;
    Color m_colorTo = clNone;
    TGradientDirection m_gradientDirection = TGradientDirection::gdVertical;
    TPanelCaption m_caption;
    int m_bevelWidth = 1;
    bool m_canMove = false;
    bool m_canSize = false;
    Color m_fontColor = 0;
    int m_fullHeight = 0;

    Drag m_drag = Drag::None;
    QPoint m_dragStartGlobal;
    QRect m_dragStartGeometry;
    // The top-level window whose keys the panel watches while it drags.
    QPointer<QWindow> m_keyWindow;
    QRect m_lastComposed;
};

} // namespace vornik
