#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QString>

namespace vornik {

// A flat one-line edit box with its caption label: the box has a one-pixel
// border in the desktop's window-frame colour instead of a sunken edge, the
// window background colour and its parent's font. The label is a sibling of
// the box, sized to its text, painted on the parent's background colour and
// kept above the box: its left edge is the box's left edge and its bottom
// lies LabelSpacing pixels above the box's top, wherever the box is moved.
class TLabeledEdit : public QLineEdit {
    Q_OBJECT
  public:
    static constexpr int LabelSpacing = 3;

    explicit TLabeledEdit(QWidget* parent);
    ~TLabeledEdit() override;

    QLabel* EditLabel() const { return m_label; }
    void setLabelCaption(const QString& text);

    // A text set by the program shows from its first character, as the
    // desktop's edit box shows it; QLineEdit::setText would leave the view
    // scrolled to the end of a text longer than the box.
    void setText(const QString& text);

    // The width, in logical pixels, at which the box shows text whole from
    // its first character to its last with its present font, its text
    // margins and its frame: a text wider than that is cut at the box's
    // right edge.
    int widthToShow(const QString& text) const;

    void setVisible(bool visible) override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeLabel();

    QPointer<QLabel> m_label;
    const QObject* m_labelObject = nullptr;
};

} // namespace vornik
