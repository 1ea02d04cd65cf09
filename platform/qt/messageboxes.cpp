#include "platform/qt/messageboxes.h"

#include "platform/qt/localtext.h"
#include "platform/qt/modaldialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QStyleFactory>

namespace vornik {

namespace {

// Button boxes order their buttons by role as the desktop's theme asks
// (GNOME's and XFCE's put Cancel first and Yes last). The program's boxes
// keep one order everywhere, so that a button never stands where another
// stood: the style of the box answers the one layout for every desktop.
class FixedButtonOrderStyle final : public QProxyStyle {
public:
    explicit FixedButtonOrderStyle(QStyle* base) : QProxyStyle(base) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A message box showing its text as given (a file name holding "<b>" is a
// file name, not markup), laid out in the fixed button order and centred on
// the primary screen once it has its final size: the box settles its size
// only as it is shown, so centring before that puts a long message off the
// centre.
class MessageBox final : public QMessageBox {
public:
    MessageBox(Icon icon, const std::string& caption, const std::string& text, StandardButtons buttons = NoButton)
        : QMessageBox(icon, fromLocalBytes(caption), QString(), buttons)
    {
        setTextFormat(Qt::PlainText);
        setText(fromLocalBytes(text));
        if (auto* buttonBox = findChild<QDialogButtonBox*>()) {
            auto* fixed = new FixedButtonOrderStyle(QStyleFactory::create(style()->name()));
            fixed->setParent(buttonBox);
            buttonBox->setStyle(fixed);
        }
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            const QRect frame = frameGeometry();
            const QPoint frameOffset = pos() - frame.topLeft();
            move(area.center() - QPoint(frame.width() / 2, frame.height() / 2) + frameOffset);
        }
    }
};

} // namespace

int questionYesNoCancel(const std::string& caption, const std::string& text)
{
    MessageBox box(QMessageBox::Question, caption, text);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    execDialogFor(box);
    QAbstractButton* answer = box.clickedButton();
    if (answer == yes)
        return IDYES;
    if (answer == no)
        return IDNO;
    return IDCANCEL;
}

void errorBox(const std::string& caption, const std::string& text)
{
    MessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    execDialogFor(box);
}

void informationBox(const std::string& caption, const std::string& text)
{
    MessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok);
    execDialogFor(box);
}

} // namespace vornik
