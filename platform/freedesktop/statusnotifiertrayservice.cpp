#include "platform/freedesktop/statusnotifiertrayservice.h"

#include "platform/freedesktop/dbusmenuobject.h"
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

// The identity the item gives hosts: the program's name and title.
const QString kItemId = QStringLiteral("vornik-tools");
const QString kItemTitle = QStringLiteral("Vornik Tools");

// The smallest image the item offers; hosts scale the closest one.
constexpr int kSmallestPixmap = 32;

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
            values.insert(QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kDBusMenuPath)));
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
            return answerPropertiesCall(message, connection, properties());
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

  private:
    StatusNotifierTrayService& m_service;
    StatusNotifierTrayService::Entry& m_entry;
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
    entry->menu = std::make_unique<DBusMenuObject>(entry->window, entry->connectionName);
    connection.registerVirtualObject(kItemPath, entry->item.get());
    connection.registerVirtualObject(kDBusMenuPath, entry->menu.get());

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
        connection.unregisterObject(kDBusMenuPath);
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
    // Under Xwayland the X server's pointer does not follow the pointer over
    // native windows such as the panel, so the host's point goes with each
    // message instead of being asked for when it is handled.
    for (UINT mouseMessage : mouseMessages)
        entry.window->postMessage(entry.callbackMessage, entry.id, static_cast<LPARAM>(mouseMessage), at);
}

QString StatusNotifierTrayService::itemServiceName(const UtilityWindow* window, std::uint32_t id) const
{
    const auto found = m_entries.find(Key{window, id});
    return found == m_entries.end() ? QString() : found->second->serviceName;
}

} // namespace vornik
