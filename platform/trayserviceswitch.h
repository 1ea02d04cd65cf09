#pragma once

#include "platform/backends.h"
#include "platform/qt/trayservicebase.h"

#include <QObject>

#include <set>
#include <utility>

namespace vornik {

class StatusNotifierTrayService;

// The notification area the program uses, chosen among the backends at start
// and again whenever a StatusNotifierWatcher appears, is replaced or goes
// away: icons go to the StatusNotifierItem backend while a watcher runs and
// to the X11 one otherwise, never to both. A move takes every icon out of the
// backend it leaves and tells every utility window, as a restarted tray host
// does (WM_TASKBARCREATED), so that each component adds its icon again, now
// to the other backend.
class TrayServiceSwitch : public QObject, public TrayServiceBase {
    Q_OBJECT
  public:
    // Either backend may be missing. The switch does not own them. The
    // session's facts decide between them (chooseTray) with the watcher's
    // presence, each time the watcher changes.
    TrayServiceSwitch(NotifyIconService* x11, StatusNotifierTrayService* statusNotifier, SessionFacts facts);

    bool shellNotifyIcon(int message, const NotifyIconData& record) override;
    QPoint cursorPos() override;

    // The backend icons go to now (null when there is none).
    NotifyIconService* active() const { return m_active; }

  private:
    NotifyIconService* wanted(bool watcherPresent) const;
    void moveTo(NotifyIconService* backend);

    NotifyIconService* m_x11;
    StatusNotifierTrayService* m_statusNotifier;
    SessionFacts m_facts;
    NotifyIconService* m_active = nullptr;
    std::set<std::pair<UtilityWindow*, std::uint32_t>> m_held;
};

} // namespace vornik
