// The panel's StatusNotifierWatcher and nothing else, for sessions that have
// no panel: it owns org.kde.StatusNotifierWatcher on the session bus, says a
// host is registered, keeps the items that register (as "sender/path", the
// way kded5 lists them) and drops an item when its connection goes away. A
// test calls the items itself as a panel would on a click.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

const QString kInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");

class Watcher : public QDBusVirtualObject {
public:
    Watcher()
    {
        m_senders.setConnection(QDBusConnection::sessionBus());
        m_senders.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(&m_senders, &QDBusServiceWatcher::serviceUnregistered, [this](const QString& sender) {
            for (qsizetype i = m_items.size() - 1; i >= 0; --i)
                if (m_items[i].startsWith(sender + QLatin1Char('/')) || m_items[i] == sender) {
                    emitSignal(QStringLiteral("StatusNotifierItemUnregistered"), m_items[i]);
                    m_items.removeAt(i);
                }
            m_senders.removeWatchedService(sender);
        });
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QString member = message.member();
        if (message.interface() == kInterface && member == QLatin1String("RegisterStatusNotifierItem")) {
            // An item names its path, or a service that holds /StatusNotifierItem.
            const QString what = message.arguments().value(0).toString();
            const QString item = what.startsWith(QLatin1Char('/')) ? message.service() + what : what;
            if (!m_items.contains(item)) {
                m_items.append(item);
                m_senders.addWatchedService(what.startsWith(QLatin1Char('/')) ? message.service() : what);
                emitSignal(QStringLiteral("StatusNotifierItemRegistered"), item);
            }
            connection.send(message.createReply());
            return true;
        }
        if (message.interface() == kInterface && member == QLatin1String("RegisterStatusNotifierHost")) {
            connection.send(message.createReply());
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            const QVariantMap all = properties();
            if (member == QLatin1String("GetAll")) {
                connection.send(message.createReply(QVariant::fromValue(all)));
                return true;
            }
            if (member == QLatin1String("Get")) {
                const QString name = message.arguments().value(1).toString();
                if (!all.contains(name)) {
                    connection.send(message.createErrorReply(QDBusError::UnknownProperty, name));
                    return true;
                }
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(all.value(name)))));
                return true;
            }
        }
        return false;
    }

private:
    QVariantMap properties() const
    {
        return {{QStringLiteral("RegisteredStatusNotifierItems"), m_items},
                {QStringLiteral("IsStatusNotifierHostRegistered"), true},
                {QStringLiteral("ProtocolVersion"), 0}};
    }

    void emitSignal(const QString& name, const QString& item)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
        signal << item;
        QDBusConnection::sessionBus().send(signal);
    }

    QDBusServiceWatcher m_senders;
    QStringList m_items;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerVirtualObject(kPath, &watcher) || !bus.registerService(kInterface)) {
        std::fprintf(stderr, "sni_watcher: cannot take %s: %s\n", qPrintable(kInterface),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("watching\n");
    std::fflush(stdout);
    return app.exec();
}
