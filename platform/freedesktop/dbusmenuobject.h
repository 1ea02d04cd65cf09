#pragma once

#include "platform/freedesktop/snimodel.h"
#include "platform/qt/utilitywindow.h"

#include <QDBusVirtualObject>
#include <QPointer>
#include <QString>

#include <set>
#include <vector>

namespace vornik {

// Where a tray icon's menu is exported on the icon's own bus connection.
inline const QString kDBusMenuPath = QStringLiteral("/MenuBar");

// The icon's menu over com.canonical.dbusmenu: a flat menu under the root,
// read from the model of the icon's utility window at every request, with
// its clicks run through the model as a click in the styled menu would run
// them.
class DBusMenuObject : public QDBusVirtualObject {
  public:
    // The menu of `window`'s icons, exported on the named connection.
    DBusMenuObject(QPointer<UtilityWindow> window, QString connectionName);

    QString introspect(const QString&) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    // Reads the model again and tells clients of what changed; true when
    // anything did.
    bool refresh();

  private:
    std::vector<TrayMenuEntry> entries() const;
    // A click runs from the event loop once the call is answered, as a
    // chosen item of the styled menu does: its command may open a modal
    // box, which must not hold the host's call.
    bool event(int id, const QString& eventId);

    QPointer<UtilityWindow> m_window;
    QString m_connectionName;
    std::vector<DBusMenuItem> m_items;
    std::set<int> m_checkable;
    uint m_revision = 1;
};

} // namespace vornik
