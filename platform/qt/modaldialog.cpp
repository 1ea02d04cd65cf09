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

} // namespace

int execDialogFor(QDialog& dialog, QWidget* owner)
{
    QWidget* window = owner ? owner->window() : shownFullScreenWindow();
    if (window && window != &dialog && window->windowHandle()) {
        dialog.winId();
        if (dialog.windowHandle())
            dialog.windowHandle()->setTransientParent(window->windowHandle());
    }
    return dialog.exec();
}

} // namespace vornik
