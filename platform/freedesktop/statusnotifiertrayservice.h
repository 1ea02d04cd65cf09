#pragma once

#include "platform/qt/trayservicebase.h"

#include <QDBusServiceWatcher>
#include <QIcon>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <utility>

namespace vornik {

class StatusNotifierItemObject;
class DBusMenuObject;

// The notification area of desktops whose panels show StatusNotifierItems
// (the panel's org.kde.StatusNotifierWatcher on the session bus keeps the
// list). Each icon is an item on a connection of its own, so that taking it
// away is closing that connection, and the watcher sees the item go even
// when the program dies. The host's requests become the mouse messages the
// icon's callback expects (see deliver); the icon's menu is exported over
// com.canonical.dbusmenu for the hosts that only show such menus.
class StatusNotifierTrayService : public QObject, public TrayServiceBase {
    Q_OBJECT
  public:
    // Null when there is no session bus to talk to.
    static StatusNotifierTrayService* create(QObject* parent);
    ~StatusNotifierTrayService() override;

    // Whether a watcher owns its name on the session bus now.
    bool watcherPresent() const;

    // Add fails while no watcher runs.
    bool shellNotifyIcon(int message, const NotifyIconData& record) override;

    // The well-known bus name of the icon's item, for tests and diagnostics;
    // empty when the pair is not held.
    QString itemServiceName(const UtilityWindow* window, std::uint32_t id) const;

  signals:
    // The watcher's name got a new owner (present) or lost it.
    void watcherChanged(bool present);

  private:
    friend class StatusNotifierItemObject;

    struct Entry : TrayIconState {
        QString connectionName;
        QString serviceName;
        bool menuAnnounced = false;
        std::unique_ptr<StatusNotifierItemObject> item;
        std::unique_ptr<DBusMenuObject> menu;
    };
    using Key = std::pair<const UtilityWindow*, std::uint32_t>;

    StatusNotifierTrayService();
    bool add(const Key& key, const NotifyIconData& record);
    void registerWithWatcher(const Key& key, const QString& serviceName);
    void remove(Entry& entry);
    void apply(Entry& entry, const NotifyIconData& record);
    bool announceMenu() const;
    // Posts the messages, in order, to the icon's window, each with the
    // point where the host says the pointer was.
    void deliver(Entry& entry, std::initializer_list<UINT> mouseMessages, QPoint at);

    QDBusServiceWatcher m_watcher;
    std::map<Key, std::unique_ptr<Entry>> m_entries;
    int m_serial = 0;
};

} // namespace vornik
