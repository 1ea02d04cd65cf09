#include "platform/insetdialog.h"

#include "platform/backends.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace vornik {
namespace {

const char* const kShieldName = "dialogShield";
// The room left between the dialog's frame and the window's edges.
constexpr int kWindowMargin = 24;

// The shield covers the whole window, so that the pointer reaches nothing
// beside the dialog, and holds the dialog's frame: a title over the dialog.
class DialogShield final : public QWidget {
  public:
    DialogShield(QWidget& window, QDialog& dialog) : QWidget(&window)
    {
        setObjectName(QLatin1String(kShieldName));
        setGeometry(window.rect());
        m_frame = new QFrame(this);
        m_frame->setObjectName(QStringLiteral("dialogFrame"));
        m_frame->setFrameShape(QFrame::Box);
        m_frame->setAutoFillBackground(true);
        auto* column = new QVBoxLayout(m_frame);
        column->setContentsMargins(1, 1, 1, 1);
        column->setSpacing(0);
        auto* title = new QLabel(dialog.windowTitle(), m_frame);
        title->setObjectName(QStringLiteral("dialogTitle"));
        title->setContentsMargins(8, 4, 8, 4);
        title->setAutoFillBackground(true);
        title->setBackgroundRole(QPalette::Highlight);
        title->setForegroundRole(QPalette::HighlightedText);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        column->addWidget(title);
        // A dialog sized by its owner keeps that size; one that was not
        // takes the size it asks for. Either fits in the window.
        const QSize wanted = dialog.testAttribute(Qt::WA_Resized) ? dialog.size() : dialog.sizeHint();
        dialog.setParent(m_frame, Qt::Widget);
        column->addWidget(&dialog);
        const QSize room = window.size() - QSize(2 * kWindowMargin, 2 * kWindowMargin);
        QSize size = (wanted + QSize(2, title->sizeHint().height() + 2)).boundedTo(room);
        size = size.expandedTo(m_frame->minimumSizeHint().boundedTo(window.size()));
        m_frame->resize(size);
        m_frame->move((window.width() - size.width()) / 2, (window.height() - size.height()) / 2);
    }

  private:
    QFrame* m_frame = nullptr;
};

int execInside(QDialog& dialog, QWidget& window)
{
    const QPointer<QWidget> formerParent = dialog.parentWidget();
    const Qt::WindowFlags formerFlags = dialog.windowFlags();
    const QPointer<QWidget> formerFocus = window.focusWidget();
    auto* shield = new DialogShield(window, dialog);
    shield->show();
    shield->raise();
    dialog.show();
    // The dialog's own choice of the control that starts with the keys, or
    // its first one.
    if (QWidget* first = dialog.focusWidget())
        first->setFocus(Qt::ActiveWindowFocusReason);
    else
        dialog.nextInFocusChain()->setFocus(Qt::TabFocusReason);
    const int result = dialog.exec();
    dialog.hide();
    dialog.setParent(formerParent, formerFlags);
    delete shield;
    if (formerFocus)
        formerFocus->setFocus(Qt::OtherFocusReason);
    return result;
}

} // namespace

int execDialogOver(QDialog& dialog, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    if (window && window->isVisible() && window->isFullScreen() &&
        dialogPlacement() == DialogPlacement::InsideOwner && !window->isAncestorOf(&dialog))
        return execInside(dialog, *window);
    if (window && window != &dialog && window->windowHandle()) {
        dialog.winId();
        if (dialog.windowHandle())
            dialog.windowHandle()->setTransientParent(window->windowHandle());
    }
    return dialog.exec();
}

bool dialogRunsInside(const QWidget* window)
{
    return window && window->findChild<QWidget*>(QLatin1String(kShieldName), Qt::FindDirectChildrenOnly);
}

} // namespace vornik
