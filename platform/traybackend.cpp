#include "platform/traybackend.h"

#include "platform/freedesktop/sniservice.h"

#include <QGuiApplication>
#include <QPointer>

namespace vornik {

namespace {

// Used where there is no tray host the program knows how to talk to: every
// add is refused, as the shell refuses it while no taskbar runs.
class NoTrayService : public DesktopServiceBase {
  public:
    bool shellNotifyIcon(int, const NotifyIconData&) override { return false; }
};

} // namespace

TrayServiceSwitch::TrayServiceSwitch(NotifyIconService* x11, StatusNotifierTrayService* statusNotifier,
                                     Choice choice)
    : m_x11(x11), m_statusNotifier(choice == Choice::X11 ? nullptr : statusNotifier), m_choice(choice)
{
    m_active = wanted(m_statusNotifier && m_statusNotifier->watcherPresent());
    if (m_statusNotifier)
        connect(m_statusNotifier, &StatusNotifierTrayService::watcherChanged, this,
                [this](bool present) { moveTo(wanted(present)); });
}

TrayServiceSwitch::Choice TrayServiceSwitch::choiceFromEnvironment()
{
    const QByteArray value = qgetenv("VORNIK_TRAY");
    if (value == "xembed")
        return Choice::X11;
    if (value == "sni")
        return Choice::StatusNotifier;
    return Choice::Automatic;
}

NotifyIconService* TrayServiceSwitch::wanted(bool watcherPresent) const
{
    switch (m_choice) {
    case Choice::X11:
        return m_x11;
    case Choice::StatusNotifier:
        return m_statusNotifier;
    case Choice::Automatic:
        // Panels that show StatusNotifierItems are the ones the desktop
        // means its applications to use; where one runs, an XEmbed tray is
        // at best a proxy of it (Plasma) or absent (waybar, GNOME). Without
        // a watcher the X11 tray is the only kind there is.
        return watcherPresent && m_statusNotifier ? static_cast<NotifyIconService*>(m_statusNotifier) : m_x11;
    }
    return m_x11;
}

void TrayServiceSwitch::moveTo(NotifyIconService* backend)
{
    // A watcher that was replaced knows nothing of the items the old one
    // held, so even a move to the same backend withdraws them and asks for
    // them again.
    if (m_active) {
        for (const auto& [window, id] : m_held) {
            NotifyIconData record;
            record.cbSize = kNotifyIconDataSize;
            record.hWnd = window;
            record.uID = id;
            m_active->shellNotifyIcon(NIM_DELETE, record);
        }
    }
    m_held.clear();
    m_active = backend;
    UtilityWindow::broadcastMessage(WM_TASKBARCREATED, 0, 0);
}

bool TrayServiceSwitch::shellNotifyIcon(int message, const NotifyIconData& record)
{
    if (!m_active)
        return false;
    const bool done = m_active->shellNotifyIcon(message, record);
    const auto key = std::make_pair(record.hWnd, record.uID);
    if (message == NIM_ADD && done)
        m_held.insert(key);
    else if (message == NIM_DELETE)
        m_held.erase(key);
    return done;
}

QPoint TrayServiceSwitch::cursorPos()
{
    return m_active ? m_active->cursorPos() : DesktopServiceBase::cursorPos();
}

NotifyIconService& systemNotifyIconService()
{
    // The services hold windows and bus connections, so they live as
    // children of the application object and go with it; a later
    // application object gets fresh ones.
    static QPointer<XEmbedTrayService> x11;
    static QPointer<StatusNotifierTrayService> statusNotifier;
    static QPointer<TrayServiceSwitch> tray;
    static NoTrayService none;
    if (!tray && qGuiApp) {
        const TrayServiceSwitch::Choice choice = TrayServiceSwitch::choiceFromEnvironment();
        x11 = XEmbedTrayService::create();
        if (choice != TrayServiceSwitch::Choice::X11)
            statusNotifier = StatusNotifierTrayService::create(qGuiApp);
        tray = new TrayServiceSwitch(x11.data(), statusNotifier.data(), choice);
        tray->setParent(qGuiApp);
    }
    if (tray)
        return *tray;
    return none;
}

bool shellNotifyIcon(int message, const NotifyIconData& record)
{
    return systemNotifyIconService().shellNotifyIcon(message, record);
}

} // namespace vornik
