#include "platform/freedesktop/dbusmenuobject.h"

#include "platform/freedesktop/dbustypes.h"
#include "platform/qt/localtext.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMetaObject>

namespace vornik {

namespace {

const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

// The version of the dbusmenu interface whose items this exporter writes.
constexpr uint kDBusMenuVersion = 3;

void replyError(const QDBusMessage& message, const QDBusConnection& connection, const QString& text)
{
    connection.send(message.createErrorReply(QDBusError::InvalidArgs, text));
}

QVariantMap rootProperties()
{
    return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
}

QVariantMap propertiesOf(const DBusMenuItem& item)
{
    QVariantMap values;
    values.insert(QStringLiteral("visible"), item.visible);
    if (item.separator) {
        values.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return values;
    }
    values.insert(QStringLiteral("type"), QStringLiteral("standard"));
    values.insert(QStringLiteral("label"), fromLocalBytes(item.label));
    values.insert(QStringLiteral("enabled"), item.enabled);
    if (item.checkmark) {
        values.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        values.insert(QStringLiteral("toggle-state"), item.toggleState);
    }
    return values;
}

QVariantMap filtered(const QVariantMap& values, const QStringList& names)
{
    if (names.isEmpty())
        return values;
    QVariantMap result;
    for (const QString& name : names)
        if (const auto found = values.constFind(name); found != values.constEnd())
            result.insert(name, *found);
    return result;
}

} // namespace

DBusMenuObject::DBusMenuObject(QPointer<UtilityWindow> window, QString connectionName)
    : m_window(std::move(window)), m_connectionName(std::move(connectionName))
{
}

QString DBusMenuObject::introspect(const QString&) const
{
    return QStringLiteral(
        "<interface name=\"com.canonical.dbusmenu\">"
        "<property name=\"Version\" type=\"u\" access=\"read\"/>"
        "<property name=\"TextDirection\" type=\"s\" access=\"read\"/>"
        "<property name=\"Status\" type=\"s\" access=\"read\"/>"
        "<property name=\"IconThemePath\" type=\"as\" access=\"read\"/>"
        "<method name=\"GetLayout\"><arg type=\"i\" name=\"parentId\" direction=\"in\"/>"
        "<arg type=\"i\" name=\"recursionDepth\" direction=\"in\"/>"
        "<arg type=\"as\" name=\"propertyNames\" direction=\"in\"/>"
        "<arg type=\"u\" name=\"revision\" direction=\"out\"/>"
        "<arg type=\"(ia{sv}av)\" name=\"layout\" direction=\"out\"/></method>"
        "<method name=\"GetGroupProperties\"><arg type=\"ai\" name=\"ids\" direction=\"in\"/>"
        "<arg type=\"as\" name=\"propertyNames\" direction=\"in\"/>"
        "<arg type=\"a(ia{sv})\" name=\"properties\" direction=\"out\"/></method>"
        "<method name=\"GetProperty\"><arg type=\"i\" name=\"id\" direction=\"in\"/>"
        "<arg type=\"s\" name=\"name\" direction=\"in\"/><arg type=\"v\" name=\"value\" direction=\"out\"/></method>"
        "<method name=\"Event\"><arg type=\"i\" name=\"id\" direction=\"in\"/>"
        "<arg type=\"s\" name=\"eventId\" direction=\"in\"/><arg type=\"v\" name=\"data\" direction=\"in\"/>"
        "<arg type=\"u\" name=\"timestamp\" direction=\"in\"/></method>"
        "<method name=\"EventGroup\"><arg type=\"a(isvu)\" name=\"events\" direction=\"in\"/>"
        "<arg type=\"ai\" name=\"idErrors\" direction=\"out\"/></method>"
        "<method name=\"AboutToShow\"><arg type=\"i\" name=\"id\" direction=\"in\"/>"
        "<arg type=\"b\" name=\"needUpdate\" direction=\"out\"/></method>"
        "<method name=\"AboutToShowGroup\"><arg type=\"ai\" name=\"ids\" direction=\"in\"/>"
        "<arg type=\"ai\" name=\"updatesNeeded\" direction=\"out\"/>"
        "<arg type=\"ai\" name=\"idErrors\" direction=\"out\"/></method>"
        "<signal name=\"ItemsPropertiesUpdated\"><arg type=\"a(ia{sv})\" name=\"updatedProps\"/>"
        "<arg type=\"a(ias)\" name=\"removedProps\"/></signal>"
        "<signal name=\"LayoutUpdated\"><arg type=\"u\" name=\"revision\"/><arg type=\"i\" name=\"parent\"/></signal>"
        "<signal name=\"ItemActivationRequested\"><arg type=\"i\" name=\"id\"/>"
        "<arg type=\"u\" name=\"timestamp\"/></signal>"
        "</interface>");
}

bool DBusMenuObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString member = message.member();
    const QList<QVariant> args = message.arguments();
    if (message.interface() == kPropertiesInterface) {
        QVariantMap values;
        values.insert(QStringLiteral("Version"), kDBusMenuVersion);
        values.insert(QStringLiteral("TextDirection"), QStringLiteral("ltr"));
        values.insert(QStringLiteral("Status"), QStringLiteral("normal"));
        values.insert(QStringLiteral("IconThemePath"), QStringList());
        return answerPropertiesCall(message, connection, values);
    }
    if (!message.interface().isEmpty() && message.interface() != kMenuInterface)
        return false;

    if (member == QLatin1String("GetLayout") && args.size() == 3) {
        refresh();
        const int parent = args[0].toInt();
        const int depth = args[1].toInt();
        const QStringList names = argumentAs<QStringList>(args[2]);
        const int index = entryIndexOfDBusMenuId(parent, m_items.size());
        if (parent != kDBusMenuRootId && index < 0) {
            replyError(message, connection, QStringLiteral("No menu item %1").arg(parent));
            return true;
        }
        DBusMenuLayoutNode node;
        node.id = parent;
        if (parent == kDBusMenuRootId) {
            node.properties = filtered(rootProperties(), names);
            if (depth != 0)
                for (const DBusMenuItem& item : m_items)
                    node.children.append(
                        QVariant::fromValue(DBusMenuLayoutNode{item.id, filtered(propertiesOf(item), names), {}}));
        } else {
            node.properties = filtered(propertiesOf(m_items[std::size_t(index)]), names);
        }
        connection.send(message.createReply({QVariant::fromValue(m_revision), QVariant::fromValue(node)}));
        return true;
    }
    if (member == QLatin1String("GetGroupProperties") && args.size() == 2) {
        refresh();
        const QList<int> ids = argumentAs<QList<int>>(args[0]);
        const QStringList names = argumentAs<QStringList>(args[1]);
        DBusMenuItemPropertiesList result;
        if (ids.isEmpty()) {
            for (const DBusMenuItem& item : m_items)
                result.append({item.id, filtered(propertiesOf(item), names)});
        }
        for (int id : ids) {
            if (id == kDBusMenuRootId)
                result.append({id, filtered(rootProperties(), names)});
            else if (const int index = entryIndexOfDBusMenuId(id, m_items.size()); index >= 0)
                result.append({id, filtered(propertiesOf(m_items[std::size_t(index)]), names)});
        }
        connection.send(message.createReply(QVariant::fromValue(result)));
        return true;
    }
    if (member == QLatin1String("GetProperty") && args.size() == 2) {
        refresh();
        const int id = args[0].toInt();
        const int index = entryIndexOfDBusMenuId(id, m_items.size());
        const QVariantMap values = id == kDBusMenuRootId ? rootProperties()
                                   : index >= 0          ? propertiesOf(m_items[std::size_t(index)])
                                                         : QVariantMap();
        const auto found = values.constFind(args[1].toString());
        if (found == values.constEnd())
            replyError(message, connection, QStringLiteral("No property %1 on item %2").arg(args[1].toString()).arg(id));
        else
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(*found))));
        return true;
    }
    if (member == QLatin1String("Event") && args.size() == 4) {
        if (!event(args[0].toInt(), args[1].toString()))
            replyError(message, connection, QStringLiteral("No menu item %1").arg(args[0].toInt()));
        else
            connection.send(message.createReply());
        return true;
    }
    if (member == QLatin1String("EventGroup") && args.size() == 1) {
        QList<int> unknown;
        for (const DBusMenuEvent& each : argumentAs<DBusMenuEventList>(args[0]))
            if (!event(each.id, each.eventId))
                unknown.append(each.id);
        connection.send(message.createReply(QVariant::fromValue(unknown)));
        return true;
    }
    if (member == QLatin1String("AboutToShow") && args.size() == 1) {
        connection.send(message.createReply(QVariant::fromValue(refresh())));
        return true;
    }
    if (member == QLatin1String("AboutToShowGroup") && args.size() == 1) {
        const bool changed = refresh();
        QList<int> updates, unknown;
        for (int id : argumentAs<QList<int>>(args[0])) {
            if (id != kDBusMenuRootId && entryIndexOfDBusMenuId(id, m_items.size()) < 0)
                unknown.append(id);
            else if (changed)
                updates.append(id);
        }
        connection.send(message.createReply({QVariant::fromValue(updates), QVariant::fromValue(unknown)}));
        return true;
    }
    return false;
}

bool DBusMenuObject::refresh()
{
    const std::vector<DBusMenuItem> items = dbusMenuItems(entries(), m_checkable);
    if (m_items.empty() && items.empty())
        return false;
    QDBusConnection connection(m_connectionName);
    if (dbusMenuLayoutChanged(m_items, items)) {
        m_items = items;
        ++m_revision;
        QDBusMessage signal = QDBusMessage::createSignal(kDBusMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"));
        signal << m_revision << kDBusMenuRootId;
        connection.send(signal);
        return true;
    }
    const std::vector<int> changed = dbusMenuChangedIds(m_items, items);
    m_items = items;
    if (changed.empty())
        return false;
    DBusMenuItemPropertiesList updated;
    for (int id : changed)
        updated.append({id, propertiesOf(m_items[std::size_t(entryIndexOfDBusMenuId(id, m_items.size()))])});
    QDBusMessage signal =
        QDBusMessage::createSignal(kDBusMenuPath, kMenuInterface, QStringLiteral("ItemsPropertiesUpdated"));
    signal << QVariant::fromValue(updated) << QVariant::fromValue(DBusMenuRemovedPropertiesList());
    connection.send(signal);
    return true;
}

std::vector<TrayMenuEntry> DBusMenuObject::entries() const
{
    if (m_window)
        if (TrayMenuModel* model = m_window->trayMenu())
            return model->trayMenuEntries();
    return {};
}

bool DBusMenuObject::event(int id, const QString& eventId)
{
    refresh();
    const int index = entryIndexOfDBusMenuId(id, m_items.size());
    if (index < 0 && id != kDBusMenuRootId)
        return false;
    if (eventId != QLatin1String("clicked") || index < 0 || m_items[std::size_t(index)].separator ||
        !m_items[std::size_t(index)].enabled)
        return true;
    QPointer<UtilityWindow> window = m_window;
    QPointer<QObject> self(this);
    QMetaObject::invokeMethod(
        this,
        [this, self, window, index] {
            if (window)
                if (TrayMenuModel* model = window->trayMenu())
                    model->runTrayMenuEntry(index);
            if (self)
                refresh();
        },
        Qt::QueuedConnection);
    return true;
}

} // namespace vornik
