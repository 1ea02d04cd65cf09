#include "platform/qt/modaldialog.h"

#include <QApplication>
#include <QDialog>
#include <QWindow>

namespace vornik {
namespace {

QWidget* shownFullScreenWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isFullScreen())
            return window;
    return nullptr;
}

// Qt Widgets ignores a focus-in that comes while one of the program's
// pop-ups is open, and does not look again once the pop-up is gone. On sway a
// dialog shown over the full-screen tool window may get its focus-in late,
// after the user has started typing: shown right after a message box, it
// came while the list of completions of a file dialog's name box was open.
// Qt's platform layer then names the dialog the focus window, and its keys
// reach it, but no window counts as active, so none of its widgets has the
// focus. A file dialog then keeps every folder typed on the way to a name
// selected, and Return opens the last of them instead of saving.
void catchUpOnActivation(QDialog& dialog)
{
    if (dialog.windowHandle() && QGuiApplication::focusWindow() == dialog.windowHandle() &&
        QApplication::activeWindow() != &dialog)
        QApplication::setActiveWindow(&dialog);
}

} // namespace

int execDialogFor(QDialog& dialog, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : shownFullScreenWindow();
    if (window && window != &dialog && window->windowHandle()) {
        dialog.winId();
        if (dialog.windowHandle())
            dialog.windowHandle()->setTransientParent(window->windowHandle());
    }
    const QMetaObject::Connection focusWatch = QObject::connect(
        qApp, &QGuiApplication::focusWindowChanged, &dialog, [&dialog] { catchUpOnActivation(dialog); });
    const int result = dialog.exec();
    QObject::disconnect(focusWatch);
    return result;
}

} // namespace vornik
