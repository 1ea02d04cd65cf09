#include "widgets/trayicon.h"

#include <QPointer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

// The resource lives in a static library; nothing refers to it, so the
// linker would leave it out unless it is registered by name.
static void initTrayResources() {
    Q_INIT_RESOURCE(tray);
}

namespace vornik {

namespace {

TExceptionHandler& defaultExceptionHandler() {
    static TExceptionHandler handler;
    return handler;
}

// The notification record's flags: callback message, icon and tooltip.
constexpr std::uint32_t kIconDataFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

} // namespace

QIcon applicationIcon() {
    static const bool registered = (initTrayResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/vornik-tools.png"));
}

void setDefaultTrayExceptionHandler(TExceptionHandler handler) {
    defaultExceptionHandler() = std::move(handler);
}

void forwardToDefaultTrayExceptionHandler(const std::exception& error) {
    if (const TExceptionHandler& handler = defaultExceptionHandler())
        handler(error);
    else
        std::fprintf(stderr, "vornik-tools: %s\n", error.what());
}

TIcon& TIcon::operator=(const TIcon& other) {
    m_image = other.m_image;
    return *this;
}

void TIcon::Assign(const TIcon& other) {
    setImage(other.m_image);
}

void TIcon::setImage(const QIcon& image) {
    m_image = image;
    if (OnChange)
        OnChange();
}

void TIconList::Assign(const TIconList& other) {
    if (&other != this)
        m_icons = other.m_icons;
    if (OnChange)
        OnChange();
}

void TIconList::Add(const TIcon& icon) {
    m_icons.push_back(icon);
    if (OnChange)
        OnChange();
}

void TIconList::Clear() {
    m_icons.clear();
    if (OnChange)
        OnChange();
}

TTrayPopupMenu::~TTrayPopupMenu() {
    const std::vector<TTrayIcon*> watchers = m_freeNotify;
    for (TTrayIcon* icon : watchers)
        icon->menuDestroyed(this);
}

TTrayIcon::TTrayIcon(QObject* owner, NotifyIconService* service)
    : QObject(owner), m_service(service ? *service : systemNotifyIconService()),
      m_icon(std::make_unique<TIcon>()), m_icons(std::make_unique<TIconList>()) {
    m_window = std::make_unique<UtilityWindow>(
        [this](UINT message, WPARAM wParam, LPARAM lParam) { return WndProc(message, wParam, lParam); });
    m_icon->OnChange = [this] { Changed(); };
    m_icons->OnChange = [this] { Changed(); };
    m_frameIndex = -1;
    m_enabled = true;
    m_interval = 150;
    setActive(true);
}

TTrayIcon::~TTrayIcon() {
    m_destroying = true;
    m_enabled = false;
    m_icon->OnChange = nullptr;
    m_icons->OnChange = nullptr;
    Deactivate();
    setPopupMenu(nullptr);
    m_window.reset();
    m_icon.reset();
    m_icons.reset();
}

void TTrayIcon::Loaded() {
    if (m_active)
        Activate();
}

void TTrayIcon::setActive(bool value) {
    if (value == m_active)
        return;
    m_active = value;
    if (value)
        Activate();
    else
        Deactivate();
}

void TTrayIcon::setHint(const std::string& value) {
    if (value == m_hint)
        return;
    m_hint = value;
    Changed();
}

void TTrayIcon::setIcon(const TIcon& value) {
    m_icon->Assign(value);
}

void TTrayIcon::setIcons(const TIconList& value) {
    m_icons->Assign(value);
}

void TTrayIcon::setAnimated(bool) {
    // The program never animates its icon, and animation is not built: the
    // active icon is always Icon.
}

void TTrayIcon::setPopupMenu(TTrayPopupMenu* value) {
    if (value == m_popupMenu)
        return;
    if (m_popupMenu) {
        auto& watchers = m_popupMenu->m_freeNotify;
        watchers.erase(std::remove(watchers.begin(), watchers.end(), this), watchers.end());
    }
    m_popupMenu = value;
    if (m_popupMenu)
        m_popupMenu->m_freeNotify.push_back(this);
    if (m_window)
        m_window->setTrayMenu(m_popupMenu);
}

void TTrayIcon::menuDestroyed(TTrayPopupMenu* menu) {
    if (menu == m_popupMenu) {
        m_popupMenu = nullptr;
        if (m_window)
            m_window->setTrayMenu(nullptr);
    }
}

std::string TTrayIcon::ShortHint() const {
    // "|" is a single byte that no lead or trail byte of a multi-byte
    // character in UTF-8 can take, so a byte search finds only real bars.
    return m_hint.substr(0, m_hint.find('|'));
}

const TIcon* TTrayIcon::activeIcon() const {
    if (Animated() && m_icons->Count() > 0)
        return &(*m_icons)[std::clamp(m_frameIndex, 0, m_icons->Count() - 1)];
    return m_icon.get();
}

bool TTrayIcon::activeIconUsable() const {
    const TIcon* icon = activeIcon();
    return icon && !icon->Empty();
}

void TTrayIcon::FillIconData() {
    m_iconData = NotifyIconData{};
    m_iconData.cbSize = kNotifyIconDataSize;
    m_iconData.hWnd = m_window.get();
    m_iconData.uID = 0;
    m_iconData.uFlags = kIconDataFlags;
    m_iconData.uCallbackMessage = kTrayCallbackMessage;
    const TIcon* icon = activeIcon();
    m_iconData.hIcon = icon ? icon->Handle() : invalidIconHandle();
    const std::string tip = ShortHint();
    const std::size_t length = std::min(tip.size(), sizeof m_iconData.szTip - 1);
    std::memcpy(m_iconData.szTip, tip.data(), length);
    m_iconData.szTip[length] = '\0';
}

void TTrayIcon::Activate() {
    // Every activation starts by removing the icon, so that the area never
    // holds two entries for one component.
    Deactivate();
    if (!activeIconUsable())
        return;
    m_leftClicked = false;
    m_rightClicked = false;
    FillIconData();
    m_added = m_service.shellNotifyIcon(NIM_ADD, m_iconData);
    if (ShortHint().empty() && m_added)
        m_service.shellNotifyIcon(NIM_MODIFY, m_iconData);
}

void TTrayIcon::Deactivate() {
    m_service.shellNotifyIcon(NIM_DELETE, m_iconData);
    m_added = false;
    m_leftClicked = false;
    m_rightClicked = false;
}

void TTrayIcon::Changed() {
    if (m_added) {
        if (activeIconUsable()) {
            FillIconData();
            m_service.shellNotifyIcon(NIM_MODIFY, m_iconData);
        } else {
            Deactivate();
        }
    }
    if (!m_added && m_active)
        Activate();
}

LRESULT TTrayIcon::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == kTrayCallbackMessage && m_enabled) {
            dispatchMouse(static_cast<UINT>(lParam));
            return 0;
        }
        // A new tray host starts with an empty notification area; without
        // adding the icon again the program would go on without one.
        if (message == WM_TASKBARCREATED && !m_destroying) {
            if (m_active)
                Activate();
            return 0;
        }
        return m_service.defWindowProc(m_window.get(), message, wParam, lParam);
    } catch (const std::exception& error) {
        if (OnException)
            OnException(error);
        else
            forwardToDefaultTrayExceptionHandler(error);
        return 0;
    }
}

void TTrayIcon::dispatchMouse(UINT mouseMessage) {
    // A tray host that reports where the click was sends the point with the
    // message; otherwise the position, and always the key state, are read
    // now, as the handler sees them.
    const std::optional<QPoint> posted = m_window->messagePoint();
    const QPoint at = posted ? *posted : m_service.cursorPos();
    const NotifyIconService::KeyState keys = m_service.keyState();
    const TShiftState shift =
        (keys.shift ? ssShift : 0u) | (keys.control ? ssCtrl : 0u) | (keys.alt ? ssAlt : 0u);
    const int x = at.x(), y = at.y();
    using enum TMouseButton;
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, shift | ssLeft, x, y);
        m_leftClicked = true;
        break;
    case WM_LBUTTONUP:
        if (m_leftClicked) {
            m_leftClicked = false;
            Click(mbLeft, shift | ssLeft, x, y);
        }
        MouseUp(mbLeft, shift | ssLeft, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        DblClick();
        MouseDown(mbLeft, shift | ssDouble, x, y);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, shift | ssRight, x, y);
        m_rightClicked = true;
        break;
    case WM_RBUTTONUP:
        if (m_rightClicked) {
            m_rightClicked = false;
            Click(mbRight, shift | ssRight, x, y);
        }
        MouseUp(mbRight, shift | ssRight, x, y);
        break;
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, shift | ssDouble, x, y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, shift | ssMiddle, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift | ssMiddle, x, y);
        break;
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, shift | ssDouble, x, y);
        break;
    default:
        break;
    }
}

void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::Click(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbRight && ShowMenu(x, y))
        return;
    if (OnClick)
        OnClick(this, button, shift, x, y);
}

void TTrayIcon::DblClick() {
    if (m_active && m_popupMenu) {
        TTrayPopupMenu& menu = *m_popupMenu;
        for (int index = 0; index < menu.itemCount(); ++index) {
            if (menu.itemDefault(index) && menu.itemEnabled(index)) {
                menu.clickItem(index);
                return;
            }
        }
    }
    if (OnDblClick)
        OnDblClick(this);
}

bool TTrayIcon::ShowMenu(int x, int y) {
    if (!m_active || !m_popupMenu || !m_popupMenu->AutoPopup())
        return false;
    m_popupMenu->setPopupComponent(this);
    if (!m_destroying)
        m_service.cancelMouseMode();
    m_service.setForegroundWindow(m_window.get());
    // The queue is emptied and the menu runs its own loop; either may end
    // this component or the menu, so both are looked at again afterwards.
    QPointer<TTrayIcon> self(this);
    m_service.processMessages();
    if (!self)
        return true;
    if (m_popupMenu) {
        try {
            m_popupMenu->Popup(x, y);
        } catch (...) {
            if (self)
                m_service.setForegroundWindow(m_window.get());
            throw;
        }
    }
    if (self)
        m_service.setForegroundWindow(m_window.get());
    return true;
}

} // namespace vornik
