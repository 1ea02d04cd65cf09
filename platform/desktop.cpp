#include "platform/desktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vornik {

namespace {

QString fromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void centreOnPrimaryScreen(QMessageBox& box)
{
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
    }
}

} // namespace

int questionYesNoCancel(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Question, fromLocal(caption), fromLocal(text));
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    centreOnPrimaryScreen(box);
    box.exec();
    QAbstractButton* answer = box.clickedButton();
    if (answer == yes)
        return IDYES;
    if (answer == no)
        return IDNO;
    return IDCANCEL;
}

void errorBox(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, fromLocal(caption), fromLocal(text), QMessageBox::Ok);
    centreOnPrimaryScreen(box);
    box.exec();
}

void informationBox(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, fromLocal(caption), fromLocal(text), QMessageBox::Ok);
    centreOnPrimaryScreen(box);
    box.exec();
}

bool lockFolderForThisProcess(const std::string& folder)
{
    // The descriptor stays open for the life of the process; the kernel drops
    // the lock when the process ends, however it ends.
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return true; // nothing to lock on: do not keep the user from working
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return false;
    }
    return true;
}

std::optional<std::pair<int, int>> pointerInDevicePixels()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return std::nullopt;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr);
    if (!reply)
        return std::nullopt;
    const std::pair<int, int> position{reply->root_x, reply->root_y};
    std::free(reply);
    return position;
}

bool movePointerToDevicePixels(int x, int y)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen || x < 0 || y < 0 || x > 0x7FFF || y > 0x7FFF)
        return false;
    // Qt's own cursor move takes logical pixels, which on a scaled screen
    // cannot name every device pixel; the server's warp takes device pixels.
    xcb_warp_pointer(connection, XCB_NONE, screen->root, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                     static_cast<std::int16_t>(y));
    // The server answers the query after it has carried out the warp, so the
    // position read back shows whether the warp was allowed.
    const auto now = pointerInDevicePixels();
    return now && now->first == x && now->second == y;
}

void coverPrimaryScreen(QWidget* window)
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->geometry());
}

} // namespace vornik
