#pragma once

#include <string>

class QWidget;

namespace vornik {

// Names the window's class and GTK application id after the program's app
// id, as a desktop matches a window to its application (GNOME's portal, for
// one, asks a program by its app id only while one of its windows has the
// focus). The window must exist natively; off Qt's xcb platform nothing
// happens.
void nameX11WindowClass(QWidget& window, const std::string& appId);

} // namespace vornik
