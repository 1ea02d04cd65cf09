// A tray icon and nothing else, for the end-to-end test of the notification
// area: it shows the program's icon with the hint given as the first argument
// and prints every event it gets, one per line, on standard output. A right
// click opens a one-item menu; its "Exit" ends the program.
//
// With "--grab WINDOW" it prints instead how many pixels of that window show
// the dark blue of the program's icon, as "navy N of TOTAL".
#include "widgets/trayicon.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <string>

namespace {

using namespace vornik;

const char* buttonName(TMouseButton button) {
    switch (button) {
    case TMouseButton::mbLeft:
        return "left";
    case TMouseButton::mbRight:
        return "right";
    case TMouseButton::mbMiddle:
        return "middle";
    }
    return "?";
}

class DemoMenu : public TTrayPopupMenu {
  public:
    DemoMenu() { m_menu.addAction(QStringLiteral("Exit"), qApp, &QCoreApplication::quit); }

    bool AutoPopup() const override { return true; }
    void setPopupComponent(QObject*) override {}
    int itemCount() const override { return 1; }
    bool itemDefault(int) const override { return false; }
    bool itemEnabled(int) const override { return true; }
    void clickItem(int) override { m_menu.actions().front()->trigger(); }
    void Popup(int x, int y) override {
        std::printf("popup %d,%d\n", x, y);
        m_menu.exec(QPoint(x, y));
        std::printf("menu closed\n");
    }

  private:
    QMenu m_menu;
};

} // namespace

int grab(const char* window) {
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(static_cast<WId>(std::stoul(window, nullptr, 0)))
                             .toImage();
    int navy = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.blue() > colour.red() + 40 && colour.blue() > colour.green() + 20 &&
                colour.blue() < 180)
                ++navy;
        }
    std::printf("navy %d of %d\n", navy, image.width() * image.height());
    return 0;
}

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    if (argc > 2 && std::string(argv[1]) == "--grab")
        return grab(argv[2]);
    QApplication::setQuitOnLastWindowClosed(false);

    TTrayIcon tray(nullptr);
    DemoMenu menu;
    tray.setHint(argc > 1 ? argv[1] : "Press right click to open menu");
    tray.setIcon(TIcon(applicationIcon()));
    tray.setPopupMenu(&menu);
    auto mouse = [](const char* what) {
        return [what](QObject*, TMouseButton button, TShiftState shift, int x, int y) {
            std::printf("%s %s%s %d,%d\n", what, buttonName(button), (shift & ssDouble) ? " double" : "", x,
                        y);
        };
    };
    tray.OnMouseDown = mouse("down");
    tray.OnMouseUp = mouse("up");
    tray.OnClick = mouse("click");
    tray.OnDblClick = [](QObject*) { std::printf("dblclick\n"); };
    tray.Loaded();
    std::printf("added %d\n", tray.Added() ? 1 : 0);
    return app.exec();
}
