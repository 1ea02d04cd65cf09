#include "platform/x11/fullscreen.h"

#include "platform/x11/atoms.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

namespace vornik {

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

} // namespace vornik
