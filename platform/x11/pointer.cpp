#include "platform/x11/pointer.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

namespace vornik {

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

} // namespace vornik
