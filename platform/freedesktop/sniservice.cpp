#include "platform/freedesktop/sniservice.h"

#include "platform/freedesktop/dbustypes.h"
#include "platform/freedesktop/snimodel.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QFile>
#include <QImage>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace vornik {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The identity the item gives hosts: the program's name and title.
const QString kItemId = QStringLiteral("vornik-tools");
const QString kItemTitle = QStringLiteral("Vornik Tools");

// The smallest image the item offers; hosts scale the closest one.
constexpr int kSmallestPixmap = 32;

// The version of the dbusmenu interface whose items this exporter writes.
constexpr uint kDBusMenuVersion = 3;

template <typename T>
T argumentAs(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

SniPixmapList pixmapsOf(const QIcon& icon)
{
    QList<QSize> sizes = icon.availableSizes();
    sizes.erase(std::remove_if(sizes.begin(), sizes.end(),
                               [](const QSize& size) {
                                   return size.width() < kSmallestPixmap || size.height() < kSmallestPixmap;
                               }),
                sizes.end());
    if (sizes.isEmpty())
        sizes.append(QSize(kSmallestPixmap, kSmallestPixmap));
    std::sort(sizes.begin(), sizes.end(),
              [](const QSize& a, const QSize& b) { return a.width() * a.height() < b.width() * b.height(); });
    SniPixmapList pixmaps;
    if (icon.isNull())
        return pixmaps;
    for (const QSize& size : sizes) {
        QImage image = icon.pixmap(size, 1.0).toImage();
        if (image.size() != size)
            image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image = image.convertToFormat(QImage::Format_ARGB32);
        QByteArray bytes;
        bytes.reserve(image.width() * image.height() * 4);
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
            const std::vector<std::uint8_t> rowBytes = sniPixmapBytes(row, static_cast<std::size_t>(image.width()));
            bytes.append(reinterpret_cast<const char*>(rowBytes.data()), static_cast<qsizetype>(rowBytes.size()));
        }
        pixmaps.append(SniPixmap{image.width(), image.height(), bytes});
    }
    return pixmaps;
}

QString processNameOf(uint pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

void replyError(const QDBusMessage& message, const QDBusConnection& connection, const QString& text)
{
    connection.send(message.createErrorReply(QDBusError::InvalidArgs, text));
}

} // namespace

// The item object of one icon: its properties, and the host's requests.
class StatusNotifierItemObject : public QDBusVirtualObject {
  public:
    StatusNotifierItemObject(StatusNotifierTrayService& service, StatusNotifierTrayService::Entry& entry)
        : m_service(service), m_entry(entry)
    {
    }

    QVariantMap properties() const
    {
        QVariantMap values;
        values.insert(QStringLiteral("Category"), QStringLiteral("ApplicationStatus"));
        values.insert(QStringLiteral("Id"), kItemId);
        values.insert(QStringLiteral("Title"), kItemTitle);
        values.insert(QStringLiteral("Status"), QStringLiteral("Active"));
        values.insert(QStringLiteral("WindowId"), 0);
        values.insert(QStringLiteral("IconName"), QString());
        values.insert(QStringLiteral("IconThemePath"), QString());
        values.insert(QStringLiteral("IconPixmap"), QVariant::fromValue(pixmapsOf(m_entry.icon)));
        values.insert(QStringLiteral("OverlayIconName"), QString());
        values.insert(QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(SniPixmapList()));
        values.insert(QStringLiteral("AttentionIconName"), QString());
        values.insert(QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(SniPixmapList()));
        values.insert(QStringLiteral("AttentionMovieName"), QString());
        values.insert(QStringLiteral("ToolTip"), QVariant::fromValue(SniToolTip{{}, {}, m_entry.tip, {}}));
        values.insert(QStringLiteral("ItemIsMenu"), false);
        // A host that finds a menu shows it instead of asking for ours, so
        // the menu is named only to hosts that need it (see announceMenu).
        if (m_entry.menuAnnounced)
            values.insert(QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kMenuPath)));
        return values;
    }

    QString introspect(const QString&) const override
    {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierItem\">"
            "<property name=\"Category\" type=\"s\" access=\"read\"/>"
            "<property name=\"Id\" type=\"s\" access=\"read\"/>"
            "<property name=\"Title\" type=\"s\" access=\"read\"/>"
            "<property name=\"Status\" type=\"s\" access=\"read\"/>"
            "<property name=\"WindowId\" type=\"i\" access=\"read\"/>"
            "<property name=\"IconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"IconThemePath\" type=\"s\" access=\"read\"/>"
            "<property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"OverlayIconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"OverlayIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"AttentionIconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"AttentionIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"AttentionMovieName\" type=\"s\" access=\"read\"/>"
            "<property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>"
            "<property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>"
            "<property name=\"Menu\" type=\"o\" access=\"read\"/>"
            "<method name=\"ContextMenu\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
            "<method name=\"Activate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
            "<method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>"
            "<method name=\"Scroll\"><arg name=\"delta\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"orientation\" type=\"s\" direction=\"in\"/></method>"
            "<signal name=\"NewTitle\"/><signal name=\"NewIcon\"/><signal name=\"NewAttentionIcon\"/>"
            "<signal name=\"NewOverlayIcon\"/><signal name=\"NewToolTip\"/>"
            "<signal name=\"NewStatus\"><arg name=\"status\" type=\"s\"/></signal>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (message.interface() == kPropertiesInterface)
            return handleProperties(message, connection, properties());
        if (!message.interface().isEmpty() && message.interface() != kItemInterface)
            return false;
        if ((member == QLatin1String("ContextMenu") || member == QLatin1String("Activate") ||
             member == QLatin1String("SecondaryActivate")) &&
            args.size() == 2) {
            const QPoint at(args[0].toInt(), args[1].toInt());
            // The callback table turns a right press and release into the
            // menu at the release, and a left double-click into the tool
            // window. Hosts report no double-click, and send Activate on a
            // single or a double click alike, so Activate stands for the
            // whole left double-click. SecondaryActivate (a middle click)
            // and Scroll have no action in the table.
            if (member == QLatin1String("ContextMenu"))
                m_service.deliver(m_entry, {WM_RBUTTONDOWN, WM_RBUTTONUP}, at);
            else if (member == QLatin1String("Activate"))
                m_service.deliver(m_entry, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}, at);
            connection.send(message.createReply());
            return true;
        }
        if (member == QLatin1String("Scroll") && args.size() == 2) {
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

    static bool handleProperties(const QDBusMessage& message, const QDBusConnection& connection,
                                 const QVariantMap& values)
    {
        const QList<QVariant> args = message.arguments();
        if (message.member() == QLatin1String("GetAll") && args.size() == 1) {
            connection.send(message.createReply(QVariant::fromValue(values)));
            return true;
        }
        if (message.member() == QLatin1String("Get") && args.size() == 2) {
            const auto found = values.constFind(args[1].toString());
            if (found == values.constEnd()) {
                connection.send(message.createErrorReply(QDBusError::UnknownProperty,
                                                         QStringLiteral("No property ") + args[1].toString()));
                return true;
            }
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(*found))));
            return true;
        }
        if (message.member() == QLatin1String("Set")) {
            connection.send(message.createErrorReply(QDBusError::PropertyReadOnly, QStringLiteral("Read-only")));
            return true;
        }
        return false;
    }

  private:
    StatusNotifierTrayService& m_service;
    StatusNotifierTrayService::Entry& m_entry;
};

// The icon's menu over com.canonical.dbusmenu: a flat menu under the root,
// read from the model at every request, with its clicks run through the
// model as a click in the styled menu would run them.
class DBusMenuObject : public QDBusVirtualObject {
  public:
    DBusMenuObject(StatusNotifierTrayService::Entry& entry, QString connectionName)
        : m_entry(entry), m_connectionName(std::move(connectionName))
    {
    }

    QString introspect(const QString&) const override
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

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (message.interface() == kPropertiesInterface) {
            QVariantMap values;
            values.insert(QStringLiteral("Version"), kDBusMenuVersion);
            values.insert(QStringLiteral("TextDirection"), QStringLiteral("ltr"));
            values.insert(QStringLiteral("Status"), QStringLiteral("normal"));
            values.insert(QStringLiteral("IconThemePath"), QStringList());
            return StatusNotifierItemObject::handleProperties(message, connection, values);
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

    // Reads the model again and tells clients of what changed; true when
    // anything did.
    bool refresh()
    {
        const std::vector<DBusMenuItem> items = dbusMenuItems(entries(), m_checkable);
        if (m_items.empty() && items.empty())
            return false;
        QDBusConnection connection(m_connectionName);
        if (dbusMenuLayoutChanged(m_items, items)) {
            m_items = items;
            ++m_revision;
            QDBusMessage signal = QDBusMessage::createSignal(kMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"));
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
            QDBusMessage::createSignal(kMenuPath, kMenuInterface, QStringLiteral("ItemsPropertiesUpdated"));
        signal << QVariant::fromValue(updated) << QVariant::fromValue(DBusMenuRemovedPropertiesList());
        connection.send(signal);
        return true;
    }

  private:
    std::vector<TrayMenuEntry> entries() const
    {
        if (m_entry.window)
            if (TrayMenuModel* model = m_entry.window->trayMenu())
                return model->trayMenuEntries();
        return {};
    }

    // A click runs from the event loop once the call is answered, as a
    // chosen item of the styled menu does: its command may open a modal
    // box, which must not hold the host's call.
    bool event(int id, const QString& eventId)
    {
        refresh();
        const int index = entryIndexOfDBusMenuId(id, m_items.size());
        if (index < 0 && id != kDBusMenuRootId)
            return false;
        if (eventId != QLatin1String("clicked") || index < 0 || m_items[std::size_t(index)].separator ||
            !m_items[std::size_t(index)].enabled)
            return true;
        QPointer<UtilityWindow> window = m_entry.window;
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

    static QVariantMap rootProperties()
    {
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    }

    static QVariantMap propertiesOf(const DBusMenuItem& item)
    {
        QVariantMap values;
        values.insert(QStringLiteral("visible"), item.visible);
        if (item.separator) {
            values.insert(QStringLiteral("type"), QStringLiteral("separator"));
            return values;
        }
        values.insert(QStringLiteral("type"), QStringLiteral("standard"));
        values.insert(QStringLiteral("label"), QString::fromLocal8Bit(item.label.data(), qsizetype(item.label.size())));
        values.insert(QStringLiteral("enabled"), item.enabled);
        if (item.checkmark) {
            values.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
            values.insert(QStringLiteral("toggle-state"), item.toggleState);
        }
        return values;
    }

    static QVariantMap filtered(const QVariantMap& values, const QStringList& names)
    {
        if (names.isEmpty())
            return values;
        QVariantMap result;
        for (const QString& name : names)
            if (const auto found = values.constFind(name); found != values.constEnd())
                result.insert(name, *found);
        return result;
    }

    StatusNotifierTrayService::Entry& m_entry;
    QString m_connectionName;
    std::vector<DBusMenuItem> m_items;
    std::set<int> m_checkable;
    uint m_revision = 1;
};

StatusNotifierTrayService* StatusNotifierTrayService::create(QObject* parent)
{
    // Without an address, the bus library would start a bus of its own for
    // the X display (autolaunch), and no panel listens on such a bus.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool addressKnown = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
                              (!runtime.isEmpty() && QFile::exists(QString::fromLocal8Bit(runtime) + "/bus"));
    if (!QCoreApplication::instance() || !addressKnown || !QDBusConnection::sessionBus().isConnected())
        return nullptr;
    auto* service = new StatusNotifierTrayService;
    service->setParent(parent);
    return service;
}

StatusNotifierTrayService::StatusNotifierTrayService()
    : m_watcher(kWatcherService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange)
{
    registerFreedesktopDBusTypes();
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { emit watcherChanged(!newOwner.isEmpty()); });
}

StatusNotifierTrayService::~StatusNotifierTrayService()
{
    for (auto& [key, entry] : m_entries)
        remove(*entry);
}

bool StatusNotifierTrayService::watcherPresent() const
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(kWatcherService).value();
}

bool StatusNotifierTrayService::announceMenu() const
{
    // Tests and users can force the choice; otherwise it follows the host.
    const QByteArray forced = qgetenv("VORNIK_TRAY_MENU");
    if (forced == "exported")
        return true;
    if (forced == "styled")
        return false;
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    const QDBusReply<uint> pid = bus->servicePid(kWatcherService);
    return pid.isValid() && watcherHostDrawsMenus(processNameOf(pid.value()).toStdString());
}

bool StatusNotifierTrayService::shellNotifyIcon(int message, const NotifyIconData& record)
{
    const Key key{record.hWnd, record.uID};
    const auto found = m_entries.find(key);
    switch (message) {
    case NIM_ADD:
        if (found != m_entries.end() || !record.hWnd)
            return false;
        return add(key, record);
    case NIM_MODIFY:
        if (found == m_entries.end())
            return false;
        apply(*found->second, record);
        return true;
    case NIM_DELETE:
        if (found == m_entries.end())
            return false;
        remove(*found->second);
        m_entries.erase(found);
        return true;
    default:
        return false;
    }
}

bool StatusNotifierTrayService::add(const Key& key, const NotifyIconData& record)
{
    if (!watcherPresent())
        return false;
    auto entry = std::make_unique<Entry>();
    const int serial = ++m_serial;
    entry->connectionName = QStringLiteral("vornik-sni-%1").arg(serial);
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, entry->connectionName);
    entry->serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(serial);
    if (!connection.isConnected() || !connection.registerService(entry->serviceName)) {
        QDBusConnection::disconnectFromBus(entry->connectionName);
        return false;
    }
    apply(*entry, record);
    entry->menuAnnounced = announceMenu();
    entry->item = std::make_unique<StatusNotifierItemObject>(*this, *entry);
    entry->menu = std::make_unique<DBusMenuObject>(*entry, entry->connectionName);
    connection.registerVirtualObject(kItemPath, entry->item.get());
    connection.registerVirtualObject(kMenuPath, entry->menu.get());

    // The component removes and adds its icon again as it finishes loading;
    // a host told of the first item would find it gone before it could read
    // it. The watcher hears of an item from the event loop, and only of one
    // that is still held then.
    const QString serviceName = entry->serviceName;
    QMetaObject::invokeMethod(
        this, [this, key, serviceName] { registerWithWatcher(key, serviceName); }, Qt::QueuedConnection);
    m_entries.emplace(key, std::move(entry));
    return true;
}

void StatusNotifierTrayService::registerWithWatcher(const Key& key, const QString& serviceName)
{
    const auto found = m_entries.find(key);
    if (found == m_entries.end() || found->second->serviceName != serviceName)
        return;
    // The item is registered by its object path, sent from the item's own
    // connection, so the watcher takes the connection's unique name with it.
    // Registered by its well-known name, GNOME Shell's AppIndicator
    // extension also watches that name, and when the watch's first report
    // comes after the extension has read the item's properties, it forgets
    // Id and Menu, fails to read them again ("Argument two may not be
    // null") and drops the item: at about every other start the moment the
    // extension is enabled, as at login.
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << kItemPath;
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection(found->second->connectionName).asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* watcher) {
        // The icon stays invisible, as with a refused add; there is no one
        // else to tell.
        if (watcher->isError())
            std::fprintf(stderr, "vornik-tools: the tray did not take the icon: %s\n",
                         qPrintable(watcher->error().message()));
        watcher->deleteLater();
    });
}

void StatusNotifierTrayService::remove(Entry& entry)
{
    {
        QDBusConnection connection(entry.connectionName);
        connection.unregisterObject(kItemPath);
        connection.unregisterObject(kMenuPath);
    }
    // Closing the connection takes the item's name away; the watcher drops
    // the item when it sees that.
    QDBusConnection::disconnectFromBus(entry.connectionName);
    entry.item.reset();
    entry.menu.reset();
}

void StatusNotifierTrayService::apply(Entry& entry, const NotifyIconData& record)
{
    entry.take(record);
    if (entry.item) {
        QDBusConnection connection(entry.connectionName);
        for (const char* name : {"NewIcon", "NewToolTip"})
            connection.send(QDBusMessage::createSignal(kItemPath, kItemInterface, QString::fromLatin1(name)));
    }
}

void StatusNotifierTrayService::deliver(Entry& entry, std::initializer_list<UINT> mouseMessages, QPoint at)
{
    if (!entry.window || !(entry.flags & NIF_MESSAGE))
        return;
    m_eventPoint = at;
    for (UINT mouseMessage : mouseMessages)
        entry.window->postMessage(entry.callbackMessage, entry.id, static_cast<LPARAM>(mouseMessage));
}

QPoint StatusNotifierTrayService::cursorPos()
{
    return m_eventPoint ? *m_eventPoint : DesktopServiceBase::cursorPos();
}

QString StatusNotifierTrayService::itemServiceName(const UtilityWindow* window, std::uint32_t id) const
{
    const auto found = m_entries.find(Key{window, id});
    return found == m_entries.end() ? QString() : found->second->serviceName;
}

} // namespace vornik
