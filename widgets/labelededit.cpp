#include "widgets/labelededit.h"

#include "widgets/syscolors.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>

namespace vornik {

namespace {

QColor toQColor(Color stored) {
    const Color c = resolveColor(stored);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

constexpr int kColorWindowFrame = 6;

// QLineEdit keeps two pixels clear on either side of its text, inside the
// text margins.
constexpr int kLineEditInnerMargin = 2;

} // namespace

TLabeledEdit::TLabeledEdit(QWidget* parent) : QLineEdit(parent), m_label(new QLabel(parent)) {
    setFrame(false);
    // The box paints every one of its pixels itself (see paintEvent), so a new
    // readout text repaints the box alone, not the panel behind it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The border is drawn over the box's outermost pixels; the text keeps
    // clear of it.
    setTextMargins(1, 1, 1, 1);
    QPalette p = palette();
    p.setColor(QPalette::Base, toQColor(systemColor(COLOR_WINDOW)));
    setPalette(p);

    m_label->setTextFormat(Qt::PlainText);
    m_label->setMargin(0);
    m_label->setIndent(0);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setAutoFillBackground(true);
    m_labelObject = m_label.data();
    m_label->installEventFilter(this);
    placeLabel();
}

TLabeledEdit::~TLabeledEdit() {
    delete m_label.data();
}

void TLabeledEdit::setLabelCaption(const QString& text) {
    m_label->setText(text);
    placeLabel();
}

void TLabeledEdit::setText(const QString& text) {
    // A readout is set on every pointer move and mostly to the text it
    // already shows; setting it again would lay the text out and repaint the
    // box for nothing. A box the user has typed into, moved the cursor in or
    // selected in is set as always, which puts it back.
    if (text == QLineEdit::text() && cursorPosition() == 0 && !hasSelectedText() && !isModified())
        return;
    QLineEdit::setText(text);
    setCursorPosition(0);
}

int TLabeledEdit::widthToShow(const QString& text) const {
    // QLineEdit counts a text as wider than its room, and cuts or scrolls
    // it, once the text's rounded advance and one pixel for the cursor
    // exceed its contents less the text margins and its inner margins.
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    const int textWidth = qRound(QFontMetricsF(font()).horizontalAdvance(text)) + 1;
    return width() - contents.width() + margins.left() + margins.right() + 2 * kLineEditInnerMargin + textWidth;
}

void TLabeledEdit::setVisible(bool visible) {
    QLineEdit::setVisible(visible);
    if (m_label)
        m_label->setVisible(visible);
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    placeLabel();
}

void TLabeledEdit::paintEvent(QPaintEvent* event) {
    // The style fills the box with the window colour already; filling it
    // here first keeps the box opaque whatever style draws it.
    {
        QPainter background(this);
        background.fillRect(event->rect(), palette().brush(QPalette::Base));
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(toQColor(systemColor(kColorWindowFrame)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool TLabeledEdit::eventFilter(QObject* watched, QEvent* event) {
    // The label takes its font from the parent; when that changes, its size
    // and so its place above the box change with it.
    // The test compares plain object addresses: while the label is being
    // destroyed it is no longer a QLabel, and going through the guarded
    // pointer would cast it to one.
    if (event->type() == QEvent::FontChange && watched == m_labelObject)
        placeLabel();
    return QLineEdit::eventFilter(watched, event);
}

void TLabeledEdit::placeLabel() {
    if (!m_label)
        return;
    const QFontMetrics metrics(m_label->font());
    m_label->resize(metrics.horizontalAdvance(m_label->text()), metrics.height());
    m_label->move(x(), y() - m_label->height() - LabelSpacing);
}

} // namespace vornik
