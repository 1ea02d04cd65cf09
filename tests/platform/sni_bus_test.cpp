#include "platform/freedesktop/dbustypes.h"
#include "platform/freedesktop/statusnotifiertrayservice.h"
#include "platform/trayserviceswitch.h"
#include "widgets/styledpopupmenu.h"
#include "widgets/trayicon.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>

#include "../support/privatebus.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vornik {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// A session bus of the test's own, and the application object, for the
// whole binary: Qt reads the bus address once, at the first use.
[[maybe_unused]] ::testing::Environment* const busEnvironment = ::testing::AddGlobalTestEnvironment(
    new testing::PrivateBusEnvironment<QApplication>("sni_bus_test", [] { registerFreedesktopDBusTypes(); }));

// Qt hands a{sv} over as a map, other structured values as an argument to
// be read.
template <typename T>
T fromDBus(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Plays the panel's watcher: owns the watcher's name on a connection of its
// own and records the items that register.
class FakeWatcher : public QDBusVirtualObject {
  public:
    explicit FakeWatcher(const QString& connectionName) : m_name(connectionName)
    {
        QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name);
        connection.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), this);
        EXPECT_TRUE(connection.registerService(kWatcher));
    }
    ~FakeWatcher() override { QDBusConnection::disconnectFromBus(m_name); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("RegisterStatusNotifierItem"))
            return false;
        registered.push_back(message.arguments().value(0).toString());
        senders.push_back(message.service());
        connection.send(message.createReply());
        return true;
    }

    std::vector<QString> registered;
    std::vector<QString> senders;

  private:
    QString m_name;
};

// The host's side: calls on the item and its menu, answered while the
// test's event loop runs (the item lives in this thread too).
class HostClient {
  public:
    explicit HostClient(QString service)
        : m_service(std::move(service)),
          m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host-client")))
    {
    }
    ~HostClient() { QDBusConnection::disconnectFromBus(QStringLiteral("host-client")); }

    QDBusMessage call(const QString& path, const QString& interface, const QString& member,
                      const QList<QVariant>& args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, path, interface, member);
        message.setArguments(args);
        return m_connection.call(message, QDBus::BlockWithGui, 10000);
    }
    QDBusMessage item(const QString& member, const QList<QVariant>& args = {})
    {
        return call(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.kde.StatusNotifierItem"), member, args);
    }
    QVariantMap itemProperties()
    {
        const QDBusMessage reply = call(QStringLiteral("/StatusNotifierItem"),
                                        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                                        {QStringLiteral("org.kde.StatusNotifierItem")});
        return fromDBus<QVariantMap>(reply.arguments().value(0));
    }
    QDBusMessage menu(const QString& member, const QList<QVariant>& args = {})
    {
        return call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), member, args);
    }
    DBusMenuLayoutNode layout()
    {
        const QDBusMessage reply =
            menu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
        return fromDBus<DBusMenuLayoutNode>(reply.arguments().value(1));
    }
    QDBusConnection& connection() { return m_connection; }

  private:
    QString m_service;
    QDBusConnection m_connection;
};

// The tray icon's view of a styled menu, as the main window adapts it.
class StyledMenuAdapter : public TTrayPopupMenu {
  public:
    StyledMenuAdapter(TStyledPopupMenu& menu, std::vector<std::string>& log) : m_menu(menu), m_log(log) {}
    bool AutoPopup() const override { return true; }
    void setPopupComponent(QObject*) override {}
    int itemCount() const override { return m_menu.Items()->Count(); }
    bool itemDefault(int index) const override { return m_menu.Items()->Items(index)->Default; }
    bool itemEnabled(int index) const override { return m_menu.Items()->Items(index)->Enabled; }
    void clickItem(int index) override { m_menu.Items()->Items(index)->Click(); }
    void Popup(int x, int y) override { m_log.push_back("popup " + std::to_string(x) + "," + std::to_string(y)); }
    std::vector<TrayMenuEntry> trayMenuEntries() const override { return exportedTrayMenuEntries(m_menu); }

  private:
    TStyledPopupMenu& m_menu;
    std::vector<std::string>& m_log;
};

const char* buttonName(TMouseButton button)
{
    return button == TMouseButton::mbLeft ? "left" : button == TMouseButton::mbRight ? "right" : "middle";
}

// The program's tray icon and menu over the item backend, every event logged.
struct TrayFixture {
    explicit TrayFixture(NotifyIconService& service)
    {
        items = createTrayMenu(popup);
        items.Colorpickersizecuttools1->OnClick = [this](QObject*) { log.push_back("tools"); };
        items.menu_kilepes->OnClick = [this](QObject*) { log.push_back("exit"); };
        adapter = std::make_unique<StyledMenuAdapter>(popup, log);
        icon = std::make_unique<TTrayIcon>(nullptr, &service);
        icon->setHint("Press right click to open menu");
        icon->setIcon(TIcon(applicationIcon()));
        icon->setPopupMenu(adapter.get());
        auto mouse = [this](const char* what) {
            return [this, what](QObject*, TMouseButton button, TShiftState shift, int x, int y) {
                log.push_back(std::string(what) + " " + buttonName(button) + ((shift & ssDouble) ? " double" : "") +
                              " " + std::to_string(x) + "," + std::to_string(y));
            };
        };
        icon->OnMouseDown = mouse("down");
        icon->OnMouseUp = mouse("up");
        icon->OnClick = mouse("click");
        icon->OnDblClick = [this](QObject*) { log.push_back("dblclick"); };
        icon->Loaded();
    }
    ~TrayFixture()
    {
        icon.reset();
        adapter.reset();
    }

    TStyledPopupMenu popup;
    TrayMenuItems items;
    std::vector<std::string> log;
    std::unique_ptr<StyledMenuAdapter> adapter;
    std::unique_ptr<TTrayIcon> icon;
};

// Qt D-Bus delivers signals to slots named in text only.
class SignalReceiver : public QObject {
    Q_OBJECT
  public:
    std::function<void(const QDBusMessage&)> handle;
  public slots:
    void onSignal(const QDBusMessage& message) { handle(message); }
};

class StatusNotifierTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        qputenv("VORNIK_TRAY_MENU", GetParamMenu());
        watcher = std::make_unique<FakeWatcher>(QStringLiteral("fake-watcher"));
        service.reset(StatusNotifierTrayService::create(nullptr));
        ASSERT_TRUE(service);
        tray = std::make_unique<TrayFixture>(*service);
        const QString name = service->itemServiceName(tray->icon->Handle(), 0);
        ASSERT_FALSE(name.isEmpty());
        ASSERT_TRUE(waitFor([&] { return !watcher->registered.empty(); }));
        // The item registers by its path, from the connection that owns its
        // name.
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        ASSERT_TRUE(waitFor([&] {
            return watcher->senders.back() == bus->serviceOwner(name).value();
        })) << qPrintable(watcher->senders.back()) << " does not own " << qPrintable(name);
        ASSERT_TRUE(tray->icon->Added());
        host = std::make_unique<HostClient>(name);
    }
    void TearDown() override
    {
        host.reset();
        tray.reset();
        service.reset();
        watcher.reset();
        qunsetenv("VORNIK_TRAY_MENU");
    }
    virtual QByteArray GetParamMenu() const { return "styled"; }

    std::unique_ptr<FakeWatcher> watcher;
    std::unique_ptr<StatusNotifierTrayService> service;
    std::unique_ptr<TrayFixture> tray;
    std::unique_ptr<HostClient> host;
};

class ExportedMenuTest : public StatusNotifierTest {
  protected:
    QByteArray GetParamMenu() const override { return "exported"; }
};

TEST_F(StatusNotifierTest, ItemRegistersByItsPathWithTheProgramsProperties)
{
    // The component adds its icon when the icon is set and once more when
    // loading ends; the watcher hears only of the item that stays.
    ASSERT_EQ(watcher->registered.size(), 1u);
    // By its path: a watcher given the well-known name may watch that name
    // and drop the item (GNOME Shell's extension does, now and then). The
    // name is still held, by the connection that registered.
    EXPECT_EQ(watcher->registered.front(), QStringLiteral("/StatusNotifierItem"));
    const QString name = service->itemServiceName(tray->icon->Handle(), 0);
    EXPECT_TRUE(name.startsWith(QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(QCoreApplication::applicationPid())));
    EXPECT_EQ(QDBusConnection::sessionBus().interface()->serviceOwner(name).value(), watcher->senders.front());

    const QVariantMap properties = host->itemProperties();
    EXPECT_EQ(properties.value(QStringLiteral("Id")).toString(), QStringLiteral("vornik-tools"));
    EXPECT_EQ(properties.value(QStringLiteral("Title")).toString(), QStringLiteral("Vornik Tools"));
    EXPECT_EQ(properties.value(QStringLiteral("Category")).toString(), QStringLiteral("ApplicationStatus"));
    EXPECT_EQ(properties.value(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    EXPECT_EQ(properties.value(QStringLiteral("ItemIsMenu")), QVariant(false));
    // The styled menu is the one shown here, so no exported menu is named.
    EXPECT_FALSE(properties.contains(QStringLiteral("Menu")));

    const SniToolTip tip = fromDBus<SniToolTip>(properties.value(QStringLiteral("ToolTip")));
    EXPECT_EQ(tip.title, QStringLiteral("Press right click to open menu"));

    const SniPixmapList pixmaps =
        fromDBus<SniPixmapList>(properties.value(QStringLiteral("IconPixmap")));
    ASSERT_FALSE(pixmaps.isEmpty());
    const SniPixmap& first = pixmaps.front();
    ASSERT_EQ(first.width, 32);
    ASSERT_EQ(first.height, 32);
    ASSERT_EQ(first.bytes.size(), 32 * 32 * 4);
    for (const SniPixmap& pixmap : pixmaps)
        EXPECT_GE(pixmap.width, 32);
    const QImage image = applicationIcon().pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    for (const QPoint at : {QPoint(0, 0), QPoint(16, 16), QPoint(31, 5)}) {
        const QRgb pixel = image.pixel(at);
        const auto* bytes = reinterpret_cast<const unsigned char*>(first.bytes.constData()) + (at.y() * 32 + at.x()) * 4;
        EXPECT_EQ(bytes[0], qAlpha(pixel)) << at.x() << "," << at.y();
        EXPECT_EQ(bytes[1], qRed(pixel));
        EXPECT_EQ(bytes[2], qGreen(pixel));
        EXPECT_EQ(bytes[3], qBlue(pixel));
    }
}

TEST_F(StatusNotifierTest, HostRequestsBecomeTheClicksTheIconTableExpects)
{
    const struct {
        const char* member;
        QList<QVariant> args;
        std::vector<std::string> events;
    } cases[] = {
        // Right press and release at the host's point: the menu opens there.
        {"ContextMenu", {120, 30}, {"down right 120,30", "popup 120,30", "up right 120,30"}},
        // The whole left double-click: the click before it does nothing
        // visible, the double-click opens the tools.
        {"Activate",
         {7, 9},
         {"down left 7,9", "click left 7,9", "up left 7,9", "dblclick", "down left double 7,9", "up left 7,9"}},
        {"SecondaryActivate", {3, 4}, {}},
        {"Scroll", {120, QStringLiteral("vertical")}, {}},
    };
    for (const auto& c : cases) {
        tray->log.clear();
        const QDBusMessage reply = host->item(QString::fromLatin1(c.member), c.args);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << c.member << ": " << qPrintable(reply.errorMessage());
        // A context menu request behind it marks the end of what this one
        // brought; its own events are then taken off.
        ASSERT_EQ(host->item(QStringLiteral("ContextMenu"), {1, 2}).type(), QDBusMessage::ReplyMessage);
        ASSERT_TRUE(waitFor([&] { return !tray->log.empty() && tray->log.back() == "up right 1,2"; })) << c.member;
        std::vector<std::string> events(tray->log.begin(), tray->log.end() - 3);
        EXPECT_EQ(events, c.events) << c.member;
    }
}

TEST_F(StatusNotifierTest, DeletedIconLeavesTheBus)
{
    const QString name = service->itemServiceName(tray->icon->Handle(), 0);
    QDBusConnectionInterface* bus = host->connection().interface();
    ASSERT_TRUE(bus->isServiceRegistered(name).value());
    tray->icon->setActive(false);
    EXPECT_TRUE(waitFor([&] { return !bus->isServiceRegistered(name).value(); }));
}

TEST_F(ExportedMenuTest, MenuIsNamedAndHoldsTheFourItems)
{
    EXPECT_EQ(host->itemProperties().value(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/MenuBar"));

    const DBusMenuLayoutNode root = host->layout();
    EXPECT_EQ(root.id, 0);
    EXPECT_EQ(root.properties.value(QStringLiteral("children-display")).toString(), QStringLiteral("submenu"));
    ASSERT_EQ(root.children.size(), 4);
    const struct {
        int id;
        const char* type;
        const char* label;
        int toggleState; // -1: no check box
    } expected[] = {
        {1, "standard", "_E-mail collect", 1},
        {2, "standard", "_Color picker, size, cut tools [ESC to exit]", -1},
        {3, "separator", "", -1},
        {4, "standard", "E_xit", -1},
    };
    for (int i = 0; i < 4; ++i) {
        const auto node = root.children[i].value<DBusMenuLayoutNode>();
        const auto& want = expected[i];
        EXPECT_EQ(node.id, want.id);
        EXPECT_EQ(node.properties.value(QStringLiteral("type")).toString(), QLatin1String(want.type)) << want.id;
        EXPECT_EQ(node.properties.value(QStringLiteral("label")).toString(), QLatin1String(want.label)) << want.id;
        EXPECT_EQ(node.properties.contains(QStringLiteral("toggle-type")), want.toggleState >= 0) << want.id;
        if (want.toggleState >= 0) {
            EXPECT_EQ(node.properties.value(QStringLiteral("toggle-type")).toString(), QStringLiteral("checkmark"));
            EXPECT_EQ(node.properties.value(QStringLiteral("toggle-state")).toInt(), want.toggleState);
        }
    }

    // Only the asked-for properties, of only the asked-for items.
    const QDBusMessage group = host->menu(QStringLiteral("GetGroupProperties"),
                                          {QVariant::fromValue(QList<int>{4, 9}),
                                           QStringList{QStringLiteral("label")}});
    const auto properties =
        fromDBus<DBusMenuItemPropertiesList>(group.arguments().value(0));
    ASSERT_EQ(properties.size(), 1);
    EXPECT_EQ(properties[0].id, 4);
    EXPECT_EQ(properties[0].properties, (QVariantMap{{QStringLiteral("label"), QStringLiteral("E_xit")}}));
}

TEST_F(ExportedMenuTest, ClicksRunTheMenusHandlersAndTheCheckChangeIsSignalled)
{
    int updates = 0;
    QList<int> updatedIds;
    SignalReceiver receiver;
    receiver.handle = [&](const QDBusMessage& message) {
        ++updates;
        for (const auto& entry :
             fromDBus<DBusMenuItemPropertiesList>(message.arguments().value(0)))
            updatedIds.append(entry.id);
    };
    ASSERT_TRUE(host->connection().connect(QString(), QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
                                           QStringLiteral("ItemsPropertiesUpdated"), &receiver,
                                           SLOT(onSignal(QDBusMessage))));

    auto click = [&](int id) {
        return host->menu(QStringLiteral("Event"), {id, QStringLiteral("clicked"),
                                                    QVariant::fromValue(QDBusVariant(QString())), 0u});
    };
    host->layout();
    ASSERT_EQ(click(1).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(waitFor([&] { return updates > 0; }));
    EXPECT_FALSE(tray->items.menu_emailcollect->Checked);
    EXPECT_EQ(updatedIds, QList<int>{1});
    EXPECT_EQ(host->layout().children[0].value<DBusMenuLayoutNode>().properties.value(QStringLiteral("toggle-state")),
              QVariant(0));

    ASSERT_EQ(click(2).type(), QDBusMessage::ReplyMessage);
    ASSERT_EQ(click(4).type(), QDBusMessage::ReplyMessage);
    // The separator and hovering run nothing; an unknown id is an error.
    ASSERT_EQ(click(3).type(), QDBusMessage::ReplyMessage);
    ASSERT_EQ(host->menu(QStringLiteral("Event"), {2, QStringLiteral("hovered"),
                                                   QVariant::fromValue(QDBusVariant(QString())), 0u})
                  .type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(click(17).type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(waitFor([&] { return tray->log.size() >= 2; }));
    EXPECT_EQ(tray->log, (std::vector<std::string>{"tools", "exit"}));

    // A group of events: the known ones run, the unknown id comes back.
    tray->log.clear();
    DBusMenuEventList events = {{1, QStringLiteral("clicked"), QDBusVariant(0), 0},
                                {42, QStringLiteral("clicked"), QDBusVariant(0), 0}};
    const QDBusMessage group = host->menu(QStringLiteral("EventGroup"), {QVariant::fromValue(events)});
    EXPECT_EQ(fromDBus<QList<int>>(group.arguments().value(0)), QList<int>{42});
    EXPECT_TRUE(waitFor([&] { return tray->items.menu_emailcollect->Checked; }));
    EXPECT_EQ(host->menu(QStringLiteral("AboutToShow"), {0}).arguments().value(0), QVariant(false));
}

// A fake X11 tray that holds whatever it is given.
class FakeX11Tray : public TrayServiceBase {
  public:
    bool shellNotifyIcon(int message, const NotifyIconData& record) override
    {
        const auto key = std::make_pair(record.hWnd, record.uID);
        if (message == NIM_ADD)
            return held.insert(key).second;
        if (message == NIM_DELETE)
            return held.erase(key) > 0;
        return held.count(key) > 0;
    }
    std::set<std::pair<const UtilityWindow*, std::uint32_t>> held;
};

TEST(TraySwitch, IconFollowsTheWatcherAndIsNeverInBothTrays)
{
    qputenv("VORNIK_TRAY_MENU", "styled");
    FakeX11Tray x11;
    std::unique_ptr<StatusNotifierTrayService> sni(StatusNotifierTrayService::create(nullptr));
    ASSERT_TRUE(sni);
    TrayServiceSwitch tray(&x11, sni.get(), SessionFacts{});
    TrayFixture fixture(tray);
    const UtilityWindow* window = fixture.icon->Handle();
    EXPECT_EQ(x11.held.size(), 1u);
    EXPECT_TRUE(sni->itemServiceName(window, 0).isEmpty());

    for (int round = 0; round < 2; ++round) {
        // A watcher appears (the second time: a restarted one): the icon
        // leaves the X11 tray and registers with it.
        auto watcher = std::make_unique<FakeWatcher>(QStringLiteral("switch-watcher"));
        ASSERT_TRUE(waitFor([&] { return watcher->registered.size() == 1; })) << round;
        EXPECT_TRUE(x11.held.empty());
        EXPECT_EQ(watcher->registered.front(), QStringLiteral("/StatusNotifierItem"));
        EXPECT_EQ(QDBusConnection::sessionBus().interface()->serviceOwner(sni->itemServiceName(window, 0)).value(),
                  watcher->senders.front());

        // It goes away: back to the X11 tray, the item off the bus.
        watcher.reset();
        ASSERT_TRUE(waitFor([&] { return x11.held.size() == 1; })) << round;
        EXPECT_TRUE(sni->itemServiceName(window, 0).isEmpty());
        EXPECT_TRUE(fixture.icon->Added());
    }
    qunsetenv("VORNIK_TRAY_MENU");
}

TEST(TraySwitch, ForcedChoiceIgnoresTheWatcher)
{
    FakeWatcher watcher(QStringLiteral("forced-watcher"));
    FakeX11Tray x11;
    std::unique_ptr<StatusNotifierTrayService> sni(StatusNotifierTrayService::create(nullptr));
    ASSERT_TRUE(sni);
    SessionFacts facts;
    facts.forcedTray = "xembed";
    TrayServiceSwitch tray(&x11, sni.get(), facts);
    TrayFixture fixture(tray);
    QCoreApplication::processEvents();
    EXPECT_EQ(x11.held.size(), 1u);
    EXPECT_TRUE(watcher.registered.empty());
}

} // namespace
} // namespace vornik

#include "sni_bus_test.moc"
