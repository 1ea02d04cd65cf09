#include "platform/qt/primaryscreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vornik {

void coverPrimaryScreen(QWidget* window)
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->geometry());
}

} // namespace vornik
