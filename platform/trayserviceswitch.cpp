#include "platform/trayserviceswitch.h"

#include "platform/freedesktop/statusnotifiertrayservice.h"

namespace vornik {

TrayServiceSwitch::TrayServiceSwitch(NotifyIconService* x11, StatusNotifierTrayService* statusNotifier,
                                     SessionFacts facts)
    : m_x11(x11), m_statusNotifier(trayFollowsStatusNotifierWatcher(facts) ? statusNotifier : nullptr),
      m_facts(std::move(facts))
{
    m_active = wanted(m_statusNotifier && m_statusNotifier->watcherPresent());
    if (m_statusNotifier)
        connect(m_statusNotifier, &StatusNotifierTrayService::watcherChanged, this,
                [this](bool present) { moveTo(wanted(present)); });
}

NotifyIconService* TrayServiceSwitch::wanted(bool watcherPresent) const
{
    switch (chooseTray(m_facts, watcherPresent)) {
    case TrayBackend::XEmbed:
        return m_x11;
    case TrayBackend::StatusNotifier:
        return m_statusNotifier;
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
    return m_active ? m_active->cursorPos() : TrayServiceBase::cursorPos();
}

bool shellNotifyIcon(int message, const NotifyIconData& record)
{
    return systemNotifyIconService().shellNotifyIcon(message, record);
}

} // namespace vornik
