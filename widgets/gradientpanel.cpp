#include "widgets/gradientpanel.h"

#include <QFontMetrics>
#include <QHideEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>

#include <algorithm>

namespace vornik {

namespace {

QColor toQColor(Color stored) {
    const Color c = resolveColor(stored);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

} // namespace

TGradientPanel::TGradientPanel(QWidget* parent) : QWidget(parent) {
    // The whole client area is painted on every paint, so Qt need not clear
    // it first; the pointer is followed without a button held so the panel
    // can raise itself and set its cursor while the pointer merely passes.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setColor(m_color);
    setFontColor(m_fontColor);
}

void TGradientPanel::setColor(Color value) {
    m_color = value;
    // Children that paint an opaque background in the panel's colour (the
    // edit boxes' caption labels) take it from the window role.
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(value));
    setPalette(p);
    update();
}

void TGradientPanel::setColorTo(Color value) {
    m_colorTo = value;
    update();
}

void TGradientPanel::setGradientDirection(TGradientDirection value) {
    m_gradientDirection = value;
    update();
}

void TGradientPanel::setCaption(const TPanelCaption& value) {
    m_caption = value;
    update();
}

void TGradientPanel::setBevelWidth(int value) {
    m_bevelWidth = value;
    update();
}

void TGradientPanel::setCanSize(bool value) {
    m_canSize = value;
    update();
}

void TGradientPanel::setFontColor(Color value) {
    m_fontColor = value;
    QPalette p = palette();
    const QColor text = toQColor(value);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    setPalette(p);
    update();
}

int TGradientPanel::scrollArrowSize() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

PanelLook TGradientPanel::look() const {
    PanelLook l;
    l.color = m_color;
    l.colorTo = m_colorTo;
    l.horizontal = m_gradientDirection == TGradientDirection::gdHorizontal;
    l.captionVisible = m_caption.Visible;
    l.captionHeight = m_caption.Height;
    l.captionColor = m_caption.Color;
    l.captionColorTo = m_caption.ColorTo;
    l.captionHorizontal = m_caption.GradientDirection == TGradientDirection::gdHorizontal;
    l.bevelWidth = m_bevelWidth;
    l.canSize = m_canSize;
    return l;
}

int TGradientPanel::hitTest(const QPoint& point) const {
    PanelHitArea area;
    area.width = width();
    area.height = height();
    area.captionVisible = m_caption.Visible;
    area.captionHeight = m_caption.Height;
    area.canMove = m_canMove;
    area.canSize = m_canSize;
    area.scrollArrowWidth = area.scrollArrowHeight = scrollArrowSize();
    return panelHitTest(point.x(), point.y(), area);
}

void TGradientPanel::paintEvent(QPaintEvent* event) {
    const int w = width(), h = height();
    // Only the part the paint asks for is composed: an exposed strip or a
    // transparent child's repaint costs its own area, not the whole panel.
    // Every routine below draws in panel coordinates, so the part gets the
    // pixels a whole paint would give it.
    const QRect part = event->rect().intersected(rect());
    m_lastComposed = part;
    if (part.isEmpty())
        return;
    const SurfaceOrigin at{part.x(), part.y()};

    Bitmap surface(part.width(), part.height(), 32);
    const PanelLook l = look();
    paintPanelBackground(surface, l, w, h, at);

    QImage image(surface.bits(), part.width(), part.height(), int(surface.stride()), QImage::Format_RGB32);
    if (m_caption.Visible && !m_caption.Text.isEmpty() && part.top() < m_caption.Height) {
        QPainter title(&image);
        title.translate(-at.x, -at.y);
        title.setFont(m_caption.Font.Font);
        title.setPen(toQColor(m_caption.Font.FontColor));
        // The caption's text rectangle runs from the indents to the right
        // edge and down to the caption height. The title is one line whose
        // box is only as high as the font's character cell, placed at the
        // rectangle's top one pixel in from its left edge, so it sits at the
        // top of the strip rather than in its middle.
        const QRect textRect(QPoint(m_caption.Indent, m_caption.TopIndent),
                             QPoint(w - 1, m_caption.Height - 1));
        title.setClipRect(textRect);
        const QFontMetrics metrics = title.fontMetrics();
        const int penX = textRect.left() + 1;
        const QRect lineBox(penX, textRect.top(), std::max(w - penX, 0), metrics.height());
        const QString shown = metrics.elidedText(m_caption.Text, Qt::ElideRight, lineBox.width());
        title.drawText(lineBox, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine | Qt::TextExpandTabs,
                       shown);
    }
    if (m_canSize)
        paintSizeGrip(surface, w, h, at);

    QPainter painter(this);
    painter.drawImage(part.topLeft(), image);
}

void TGradientPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

int TGradientPanel::trackPointer(const QPoint& point) {
    const int hit = hitTest(point);
    if (hit == HTCAPTION || hit == HTBOTTOMRIGHT)
        raise();
    if (hit == HTBOTTOMRIGHT)
        setCursor(Qt::SizeFDiagCursor);
    else
        setCursor(Qt::ArrowCursor);
    return hit;
}

void TGradientPanel::mousePressEvent(QMouseEvent* event) {
    // Presses on the panel belong to it; none of them may reach the picture
    // behind it, so every one is accepted.
    event->accept();
    if (event->button() != Qt::LeftButton || m_drag != Drag::None)
        return;
    const int hit = trackPointer(event->position().toPoint());
    if (hit == HTCAPTION)
        m_drag = Drag::Move;
    else if (hit == HTBOTTOMRIGHT)
        m_drag = Drag::Size;
    else
        return;
    m_dragStartGlobal = event->globalPosition().toPoint();
    m_dragStartGeometry = geometry();
    // Keys reach the top-level window first; a filter installed now runs
    // before any the window's owner installed, so Escape can be taken away
    // from the window's own key handling while the drag lasts.
    if (QWindow* keys = window()->windowHandle()) {
        m_keyWindow = keys;
        keys->installEventFilter(this);
    }
}

void TGradientPanel::endDrag() {
    m_drag = Drag::None;
    if (m_keyWindow)
        m_keyWindow->removeEventFilter(this);
    m_keyWindow = nullptr;
}

void TGradientPanel::cancelDrag() {
    if (m_drag == Drag::None)
        return;
    const QRect before = m_dragStartGeometry;
    endDrag();
    setGeometry(before);
}

bool TGradientPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_keyWindow || event->type() != QEvent::KeyPress || m_drag == Drag::None)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        cancelDrag();
        return true;
    }
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        break;
    default:
        endDrag();
        break;
    }
    return false;
}

void TGradientPanel::hideEvent(QHideEvent* event) {
    // The tool window closing (or any other hiding) ends a drag where it is;
    // otherwise the next showing would find the panel still following the
    // pointer with no button held.
    endDrag();
    QWidget::hideEvent(event);
}

void TGradientPanel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    // A release that went elsewhere (a modal box, another window) still ends
    // the drag at the next move.
    if (m_drag != Drag::None && !(event->buttons() & Qt::LeftButton))
        endDrag();
    if (m_drag == Drag::None) {
        trackPointer(event->position().toPoint());
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - m_dragStartGlobal;
    if (m_drag == Drag::Move) {
        move(m_dragStartGeometry.topLeft() + delta);
    } else {
        // The panel sets no minimum size; one pixel is the least a window
        // can have, and it still lies inside the grip square, so the panel
        // can always be pulled back out.
        const int w = std::max(m_dragStartGeometry.width() + delta.x(), 1);
        const int h = std::max(m_dragStartGeometry.height() + delta.y(), 1);
        m_fullHeight = h;
        resize(w, h);
    }
}

void TGradientPanel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        endDrag();
}

void TGradientPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double-click neither collapses the panel nor starts a second drag.
    event->accept();
}

} // namespace vornik
