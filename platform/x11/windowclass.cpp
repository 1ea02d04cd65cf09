#include "platform/x11/windowclass.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vornik {

void nameX11WindowClass(QWidget& widget, const std::string& appId)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return;
    Display* display = x11->display();
    const auto window = static_cast<Window>(widget.winId());
    std::string name = appId;
    XClassHint hint{name.data(), name.data()};
    XSetClassHint(display, window, &hint);
    const Atom gtkId = XInternAtom(display, "_GTK_APPLICATION_ID", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, gtkId, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(appId.data()), static_cast<int>(appId.size()));
    XFlush(display);
}

} // namespace vornik
