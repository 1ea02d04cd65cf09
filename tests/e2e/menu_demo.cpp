// Opens the tray menu at a screen point on a real X server, as often as the
// second argument says, and reports on stdout what each opening did, so that
// a script can drive it with xdotool and look at the screen.
#include "platform/qt/popupmenuhost.h"
#include "widgets/styledpopupmenu.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: menu_demo X Y OPENINGS\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const int openings = std::atoi(argv[3]);

    vornik::TStyledPopupMenu popup;
    vornik::TrayMenuItems items = vornik::createTrayMenu(popup);
    items.Colorpickersizecuttools1->OnClick = [](QObject*) { std::printf("colorpicker\n"); };
    items.menu_kilepes->OnClick = [](QObject*) { std::printf("exit\n"); };

    for (int i = 0; i < openings; ++i) {
        QTimer::singleShot(300, [] {
            if (QWidget* w = vornik::openPopupMenuWindow()) {
                const QRect g = w->geometry();
                std::printf("open %d %d %d %d\n", g.x(), g.y(), g.width(), g.height());
                std::fflush(stdout);
            }
        });
        popup.Popup(x, y);
        QCoreApplication::sendPostedEvents();
        std::printf("closed checked=%d\n", items.menu_emailcollect->Checked ? 1 : 0);
        std::fflush(stdout);
    }
    return 0;
}
