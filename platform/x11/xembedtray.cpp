#include "platform/x11/xembedtray.h"

#include "platform/x11/atoms.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace vornik {

namespace {

// Opcodes and flags of the system tray and XEmbed protocols.
constexpr std::uint32_t kSystemTrayRequestDock = 0;
constexpr std::uint32_t kXEmbedVersion = 0;
constexpr std::uint32_t kXEmbedMapped = 1;

// The size an icon window asks for; the host resizes it to its own.
constexpr int kRequestedSize = 22;
constexpr std::uint32_t kMinSizeHint = 1u << 4;
constexpr std::uint32_t kBaseSizeHint = 1u << 8;

xcb_connection_t* xcb(void* connection) {
    return static_cast<xcb_connection_t*>(connection);
}

} // namespace

// The window of one icon in the tray host: paints the icon scaled to the
// size the host gives it, shows the tooltip, and reports the pointer's
// actions on it.
//
// The icon is drawn over the tray's own background, never over a square of
// our own colour. A host that offers a visual with alpha gets a window with
// alpha, cleared to transparent. Otherwise the window takes its parent's
// background (the X server fills it from the host's socket), and each paint
// starts from those pixels.
class XEmbedTrayIconWindow : public QWidget {
  public:
    XEmbedTrayIconWindow(XEmbedTrayService& service, void* connection, bool withAlpha)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint),
          m_service(service), m_connection(connection), m_withAlpha(withAlpha),
          m_clicks(static_cast<std::uint32_t>(QGuiApplication::styleHints()->mouseDoubleClickInterval()),
                   QGuiApplication::styleHints()->mouseDoubleClickDistance()) {
        // Qt picks a visual with alpha for the window only when this is set
        // before the window exists.
        if (m_withAlpha)
            setAttribute(Qt::WA_TranslucentBackground, true);
        setAttribute(Qt::WA_AlwaysShowToolTips, true);
        setAttribute(Qt::WA_QuitOnClose, false);
        setMouseTracking(true);
        // The host sizes the socket from the minimum size in the hints.
        setMinimumSize(kRequestedSize, kRequestedSize);
        resize(kRequestedSize, kRequestedSize);
    }

    void setIcon(const QIcon& icon) {
        m_icon = icon;
        update();
    }

    bool docked = false;

    // Called once the window exists, before the host embeds it.
    void takeParentBackground() {
        if (m_withAlpha)
            return;
        xcb_connection_t* c = xcb(m_connection);
        const std::uint32_t parentRelative = XCB_BACK_PIXMAP_PARENT_RELATIVE;
        xcb_change_window_attributes(c, static_cast<xcb_window_t>(winId()), XCB_CW_BACK_PIXMAP, &parentRelative);
        xcb_flush(c);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (m_withAlpha) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(rect(), Qt::transparent);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        } else {
            const QImage background = parentBackground();
            if (!background.isNull()) {
                painter.drawImage(rect(), background);
                m_backgroundRetries = 0;
            } else {
                // Qt may paint before the host has mapped its socket, when
                // the window cannot be read yet: paint again shortly rather
                // than leave the stand-in colour.
                painter.fillRect(rect(), palette().window());
                if (m_backgroundRetries < kBackgroundRetries) {
                    ++m_backgroundRetries;
                    QTimer::singleShot(100, this, qOverload<>(&QWidget::update));
                }
            }
        }
        const QList<QSize> sizes = m_icon.availableSizes();
        if (m_icon.isNull() || sizes.isEmpty())
            return;
        // QIcon::paint never enlarges an image; a host taller than the
        // image still wants it filled, so scale the largest one both ways.
        QSize largest = sizes.front();
        for (const QSize& size : sizes)
            if (size.width() * size.height() > largest.width() * largest.height())
                largest = size;
        const QPixmap pixmap = m_icon.pixmap(largest);
        const QSize fitted = pixmap.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, pixmap);
    }

    // WORKAROUND: Qt delivers the second press of a double-click to
    // mouseDoubleClickEvent alone on some paths and as a press followed by a
    // double-click on others. Both come here; one server event counts once,
    // and the translator decides on its own whether it is a double-click.
    void mousePressEvent(QMouseEvent* event) override { pressed(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { pressed(event); }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (const auto button = buttonOf(event))
            m_service.report(this, m_clicks.release(*button));
    }

    void mouseMoveEvent(QMouseEvent*) override { m_service.report(this, m_clicks.move()); }

  private:
    void pressed(QMouseEvent* event) {
        const auto button = buttonOf(event);
        if (!button)
            return;
        const auto time = static_cast<std::uint32_t>(event->timestamp());
        if (m_seenPress && time == m_lastPressTime && *button == m_lastPressButton)
            return;
        m_seenPress = true;
        m_lastPressTime = time;
        m_lastPressButton = *button;
        const QPoint at = event->globalPosition().toPoint();
        m_service.report(this, m_clicks.press(*button, time, at.x(), at.y()));
    }

    static std::optional<TrayClickTranslator::Button> buttonOf(const QMouseEvent* event) {
        switch (event->button()) {
        case Qt::LeftButton:
            return TrayClickTranslator::Button::Left;
        case Qt::RightButton:
            return TrayClickTranslator::Button::Right;
        case Qt::MiddleButton:
            return TrayClickTranslator::Button::Middle;
        default:
            return std::nullopt;
        }
    }

    // The host's background under the window, in the window's own pixels:
    // the server clears the window to its parent-relative background, and
    // that is read back before the icon goes over it. Null when the window
    // cannot be read (not mapped yet, a depth other than 24 or 32 bits, or a
    // server that sends the blue byte last).
    QImage parentBackground() const {
        xcb_connection_t* c = xcb(m_connection);
        const auto window = static_cast<xcb_window_t>(winId());
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        if (!geometry)
            return {};
        const int w = geometry->width, h = geometry->height, depth = geometry->depth;
        std::free(geometry);
        if (w <= 0 || h <= 0 || (depth != 24 && depth != 32) ||
            xcb_get_setup(c)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
            return {};
        xcb_clear_area(c, 0, window, 0, 0, 0, 0);
        xcb_generic_error_t* error = nullptr;
        auto* reply = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, std::uint16_t(w), std::uint16_t(h), ~0u),
            &error);
        std::free(error);
        if (!reply)
            return {};
        QImage image;
        const int length = xcb_get_image_data_length(reply);
        if (length >= w * h * 4) {
            // Depths 24 and 32 come as 32 bits a pixel, blue first, with
            // rows padded to 32 bits: the layout of RGB32.
            image = QImage(xcb_get_image_data(reply), w, h, w * 4, QImage::Format_RGB32).copy();
        }
        std::free(reply);
        return image;
    }

    static constexpr int kBackgroundRetries = 50;

    XEmbedTrayService& m_service;
    void* m_connection;
    bool m_withAlpha;
    int m_backgroundRetries = 0;
    TrayClickTranslator m_clicks;
    bool m_seenPress = false;
    std::uint32_t m_lastPressTime = 0;
    TrayClickTranslator::Button m_lastPressButton = TrayClickTranslator::Button::Left;
    QIcon m_icon;
};

XEmbedTrayService* XEmbedTrayService::create() {
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || !x11->display())
        return nullptr;
    Display* display = x11->display();
    const int screen = DefaultScreen(display);
    auto* service = new XEmbedTrayService(x11->connection(),
                                          static_cast<std::uint32_t>(RootWindow(display, screen)), screen);
    service->setParent(qGuiApp);
    return service;
}

XEmbedTrayService::XEmbedTrayService(void* connection, std::uint32_t root, int screen)
    : m_connection(connection), m_root(root) {
    m_selection = atom(("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str());
    m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
    m_managerAtom = atom("MANAGER");
    m_xembedInfo = atom("_XEMBED_INFO");

    // A new host announces itself with a client message to the root window
    // for structure-notify listeners. The event mask is per client, so the
    // one Qt set on the root window is kept and extended.
    xcb_connection_t* c = xcb(m_connection);
    std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (auto* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m_root), nullptr)) {
        mask |= attributes->your_event_mask;
        std::free(attributes);
    }
    xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    qGuiApp->installNativeEventFilter(this);
    queryManager();
}

XEmbedTrayService::~XEmbedTrayService() {
    for (auto& [key, entry] : m_entries)
        delete entry.widget.data();
}

std::uint32_t XEmbedTrayService::atom(const char* name) const {
    return internAtom(xcb(m_connection), name);
}

std::uint32_t XEmbedTrayService::queryManager() {
    xcb_connection_t* c = xcb(m_connection);
    std::uint32_t owner = XCB_WINDOW_NONE;
    if (auto* reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selection), nullptr)) {
        owner = reply->owner;
        std::free(reply);
    }
    if (owner != m_manager) {
        m_manager = owner;
        if (owner != XCB_WINDOW_NONE)
            watchManager(owner);
    }
    return owner;
}

void XEmbedTrayService::watchManager(std::uint32_t manager) {
    xcb_connection_t* c = xcb(m_connection);
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, manager, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

void XEmbedTrayService::apply(Entry& entry, const NotifyIconData& record) {
    entry.take(record);
    if (entry.widget)
        show(entry);
}

void XEmbedTrayService::show(Entry& entry) {
    entry.widget->setIcon(entry.icon);
    entry.widget->setToolTip(entry.tip);
    // Hosts that list their icons by name, and tools that look for them,
    // find the tooltip there.
    entry.widget->setWindowTitle(entry.tip);
}

bool XEmbedTrayService::hostOffersAlpha() {
    // The host names the visual it wants its icons in; one of 32 bits
    // carries alpha. Without the property, icons use the default visual.
    xcb_connection_t* c = xcb(m_connection);
    std::uint32_t visual = XCB_NONE;
    const auto cookie = xcb_get_property(c, 0, m_manager, atom("_NET_SYSTEM_TRAY_VISUAL"), XCB_ATOM_VISUALID, 0, 1);
    if (auto* reply = xcb_get_property_reply(c, cookie, nullptr)) {
        if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
            std::memcpy(&visual, xcb_get_property_value(reply), 4);
        std::free(reply);
    }
    if (visual == XCB_NONE)
        return false;
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(c)); screen.rem; xcb_screen_next(&screen))
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem; xcb_depth_next(&depth))
            for (auto type = xcb_depth_visuals_iterator(depth.data); type.rem; xcb_visualtype_next(&type))
                if (type.data->visual_id == visual)
                    return depth.data->depth == 32;
    return false;
}

void XEmbedTrayService::dock(Entry& entry) {
    auto* widget = new XEmbedTrayIconWindow(*this, m_connection, hostOffersAlpha());
    entry.widget = widget;
    show(entry);
    widget->takeParentBackground();

    // The host maps the window itself once it has embedded it, as the
    // mapped flag of the XEmbed information asks; the window is shown to Qt
    // when the host has reparented it (see nativeEventFilter).
    xcb_connection_t* c = xcb(m_connection);
    const auto window = static_cast<xcb_window_t>(widget->winId());
    const std::uint32_t info[2] = {kXEmbedVersion, kXEmbedMapped};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, m_xembedInfo, m_xembedInfo, 32, 2, info);

    // WORKAROUND: Qt writes a window's size hints only when it shows it,
    // and the host measures the socket from them as soon as it embeds the
    // window, before that; without them trayer makes the socket one pixel
    // wide.
    std::uint32_t hints[18] = {};
    hints[0] = kMinSizeHint | kBaseSizeHint;
    hints[5] = hints[6] = kRequestedSize;
    hints[15] = hints[16] = kRequestedSize;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                        32, 18, hints);

    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = m_manager;
    request.type = m_opcode;
    request.data.data32[0] = XCB_CURRENT_TIME;
    request.data.data32[1] = kSystemTrayRequestDock;
    request.data.data32[2] = window;
    xcb_send_event(c, 0, m_manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&request));
    xcb_flush(c);
}

bool XEmbedTrayService::shellNotifyIcon(int message, const NotifyIconData& record) {
    const Key key{record.hWnd, record.uID};
    auto found = m_entries.find(key);
    switch (message) {
    case NIM_ADD: {
        if (found != m_entries.end() || !record.hWnd)
            return false;
        if (m_manager == XCB_WINDOW_NONE && queryManager() == XCB_WINDOW_NONE)
            return false;
        Entry& entry = m_entries[key];
        apply(entry, record);
        dock(entry);
        return true;
    }
    case NIM_MODIFY:
        if (found == m_entries.end())
            return false;
        apply(found->second, record);
        return true;
    case NIM_DELETE:
        if (found == m_entries.end())
            return false;
        delete found->second.widget.data();
        m_entries.erase(found);
        return true;
    default:
        return false;
    }
}

void XEmbedTrayService::report(XEmbedTrayIconWindow* icon, UINT mouseMessage) {
    for (auto& [key, entry] : m_entries) {
        if (entry.widget != icon)
            continue;
        if (entry.window && (entry.flags & NIF_MESSAGE))
            entry.window->postMessage(entry.callbackMessage, entry.id, static_cast<LPARAM>(mouseMessage));
        return;
    }
}

QPoint XEmbedTrayService::cursorPos() {
    // Qt's cursor position is in device-independent pixels; the position
    // a tray handler reads must be in the screen's own pixels.
    xcb_connection_t* c = xcb(m_connection);
    if (auto* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, m_root), nullptr)) {
        const QPoint at(reply->root_x, reply->root_y);
        std::free(reply);
        return at;
    }
    return TrayServiceBase::cursorPos();
}

void XEmbedTrayService::hostGone() {
    // The icons went with the host that held them. The windows themselves
    // may survive (a host puts them in its save-set, and the server then
    // maps them on the root window), so they are destroyed here.
    m_manager = XCB_WINDOW_NONE;
    for (auto& [key, entry] : m_entries)
        delete entry.widget.data();
    m_entries.clear();
}

void XEmbedTrayService::newHost(std::uint32_t manager) {
    if (manager == m_manager && !m_entries.empty())
        return;
    hostGone();
    m_manager = manager;
    watchManager(manager);
    UtilityWindow::broadcastMessage(WM_TASKBARCREATED, 0, 0);
}

bool XEmbedTrayService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_CLIENT_MESSAGE: {
        auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (client->window == m_root && client->type == m_managerAtom && client->format == 32 &&
            client->data.data32[1] == m_selection)
            newHost(client->data.data32[2]);
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
        if (destroyed->window == m_manager && m_manager != XCB_WINDOW_NONE)
            hostGone();
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        auto* reparented = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
        for (auto& [key, entry] : m_entries) {
            XEmbedTrayIconWindow* widget = entry.widget;
            if (!widget || static_cast<xcb_window_t>(widget->winId()) != reparented->window)
                continue;
            if (reparented->parent != m_root) {
                widget->docked = true;
                widget->show();
            } else if (widget->docked) {
                // Given back to the root window: the host let it go.
                widget->docked = false;
                widget->hide();
            }
        }
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace vornik
