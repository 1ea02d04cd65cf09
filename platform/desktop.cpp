#include "platform/desktop.h"

#include "platform/modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QStyleFactory>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vornik {

namespace {

QString fromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

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
        : QMessageBox(icon, fromLocal(caption), QString(), buttons)
    {
        setTextFormat(Qt::PlainText);
        setText(fromLocal(text));
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

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace

void requestFullScreen(QWindow& window)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !window.handle())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t fullScreen = internAtom(connection, "_NET_WM_STATE_FULLSCREEN");
    if (!screen || state == XCB_ATOM_NONE || fullScreen == XCB_ATOM_NONE)
        return;
    // The request of the window-manager conventions: add the state, asked by
    // an application.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.winId());
    message.type = state;
    message.data.data32[0] = 1;
    message.data.data32[1] = fullScreen;
    message.data.data32[3] = 1;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

void coverPrimaryScreen(QWidget* window)
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->geometry());
}

} // namespace vornik
