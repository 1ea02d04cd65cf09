#include "platform/freedesktop/screenshotportal.h"

#include "platform/error.h"
#include "platform/freedesktop/portalfile.h"
#include "platform/freedesktop/picturesfolder.h"
#include "platform/freedesktop/portalrequest.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace vornik {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

[[noreturn]] void fail(const QString& what)
{
    throw Error("Cannot capture the screen: " + what.toLocal8Bit().toStdString());
}

// One request to the portal: listens on the request's path for its Response
// and runs the nested loop until it comes, the call fails or time is up.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    PortalRequest(QDBusConnection bus, const QString& path) : m_bus(std::move(bus)) { listen(path); }
    ~PortalRequest() override { stopListening(); }

    // The portal predates request paths known in advance and named another
    // one: follow that one. An answer already sent there is lost, which is
    // why the path is normally known before the call.
    void follow(const QString& path)
    {
        if (path == m_path)
            return;
        stopListening();
        listen(path);
    }

    void failWith(const QString& reason)
    {
        if (!finished()) {
            m_failure = reason;
            m_loop.quit();
        }
    }

    // Waits until the request ends; false when time ran out first.
    bool wait(int timeoutMs)
    {
        if (finished())
            return true;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        limit.start(timeoutMs);
        m_loop.exec(QEventLoop::ExcludeUserInputEvents);
        return finished();
    }

    bool finished() const { return m_response.has_value() || !m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }
    std::optional<uint> response() const { return m_response; }
    const QVariantMap& results() const { return m_results; }

public slots:
    void onResponse(uint response, const QVariantMap& results)
    {
        if (finished())
            return;
        m_response = response;
        m_results = results;
        m_loop.quit();
    }

private:
    void listen(const QString& path)
    {
        m_path = path;
        m_listening = m_bus.connect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                                    SLOT(onResponse(uint, QVariantMap)));
        if (!m_listening)
            failWith(QStringLiteral("cannot listen for the screenshot portal's answer (%1)")
                         .arg(m_bus.lastError().message()));
    }
    void stopListening()
    {
        if (m_listening)
            m_bus.disconnect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                             SLOT(onResponse(uint, QVariantMap)));
        m_listening = false;
    }

    QDBusConnection m_bus;
    QString m_path;
    bool m_listening = false;
    QEventLoop m_loop;
    std::optional<uint> m_response;
    QVariantMap m_results;
    QString m_failure;
};

// A token no earlier request of this connection used.
QString newHandleToken()
{
    static unsigned serial = 0;
    return QStringLiteral("vornik_%1_%2").arg(++serial).arg(QRandomGenerator::global()->generate());
}

// The primary screen's place in a picture of all screens. Qt keeps a
// screen's top-left corner in device pixels and divides only its size by the
// scale, so the device rectangles are rebuilt from both.
OutputRect primaryScreenInPicture(int width, int height)
{
    std::vector<OutputRect> outputs;
    std::size_t primary = 0;
    const QScreen* wanted = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const double dpr = screen->devicePixelRatio();
        if (screen == wanted)
            primary = outputs.size();
        outputs.push_back({logical.x(), logical.y(), qRound(logical.width() * dpr), qRound(logical.height() * dpr)});
    }
    return outputInPicture(width, height, outputs, primary);
}

} // namespace

bool ScreenshotPortal::offeredOnSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kScreenshotInterface << QStringLiteral("version");
    // Started on demand, the portal takes a moment to come up.
    const QDBusMessage reply = bus.call(get, QDBus::Block, 10000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

namespace {

// What one screenshot request came to.
struct PortalAnswer {
    uint response = 2;
    QVariantMap results;
};

// Sends one request for a picture of the screen and waits for the answer;
// a request that cannot be made, or is not answered within `timeoutMs`, is
// raised as a failure.
PortalAnswer requestPicture(QDBusConnection& bus, int timeoutMs)
{
    const QString token = newHandleToken();
    const QString expected =
        QString::fromStdString(portalRequestPath(bus.baseService().toStdString(), token.toStdString()));
    // Listening starts before the call: the portal may answer on the
    // request's path before its reply to the call arrives.
    PortalRequest request(bus, expected);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    call << QString() << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("interactive"), false}};
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, timeoutMs));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &request, [&request](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError())
            request.failWith(
                QStringLiteral("the screenshot portal cannot be reached (%1)").arg(reply.error().message()));
        else
            request.follow(reply.value().path());
    });

    if (!request.wait(timeoutMs))
        fail(QStringLiteral("the screenshot portal did not answer within %1 seconds").arg(timeoutMs / 1000.0));
    if (!request.failure().isEmpty())
        fail(request.failure());
    return {*request.response(), request.results()};
}

} // namespace

bool ScreenshotPortal::capture(Bitmap& into)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        fail(QStringLiteral("there is no session bus to reach the screenshot portal"));

    const std::time_t requestedAt = std::time(nullptr);
    PortalAnswer answer = requestPicture(bus, m_timeoutMs);
    if (answer.response == 1u) {
        // KDE's portal saves every picture in the user's pictures folder
        // and refuses, without a word, where that folder does not exist, as
        // on a fresh account. Such a refusal is answered by making the
        // folder and asking once more.
        const std::string pictures = userPicturesFolder();
        struct stat info {};
        if (!pictures.empty() && ::stat(pictures.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
            const std::string error = makeFolderPath(pictures);
            if (!error.empty())
                fail(QStringLiteral("the screenshot portal refused to take a picture, and the pictures folder \"%1\" "
                                    "it may need cannot be made (%2)")
                         .arg(QString::fromStdString(pictures), QString::fromLocal8Bit(error)));
            answer = requestPicture(bus, m_timeoutMs);
        }
    }
    if (answer.response == 1u)
        fail(QStringLiteral("the screenshot portal refused to take a picture"));
    if (answer.response != 0u)
        fail(QStringLiteral("the screenshot portal could not take a picture"));

    const QUrl uri(answer.results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        fail(QStringLiteral("the screenshot portal gave no picture file"));
    const QString path = uri.toLocalFile();
    const PortalPictureFile file = takePortalPicture(path.toStdString(), requestedAt);
    if (!file.error.empty())
        fail(QStringLiteral("cannot read the picture \"%1\" (%2)").arg(path, QString::fromLocal8Bit(file.error)));
    QImage picture;
    if (!picture.loadFromData(QByteArrayView(file.bytes.data(), static_cast<qsizetype>(file.bytes.size()))))
        fail(QStringLiteral("the picture \"%1\" is not an image the program can read").arg(path));
    // Taken as opaque blue, green, red bytes, the bitmap's own layout.
    picture.convertTo(QImage::Format_RGB32);

    const OutputRect area = primaryScreenInPicture(picture.width(), picture.height());
    if (area.empty())
        fail(QStringLiteral("the picture does not show the primary screen"));
    Bitmap bitmap(area.width, area.height, 32);
    for (int y = 0; y < area.height; ++y)
        std::memcpy(bitmap.scanLine(y), picture.constScanLine(area.y + y) + static_cast<std::ptrdiff_t>(area.x) * 4,
                    static_cast<std::size_t>(area.width) * 4);
    into = std::move(bitmap);
    return true;
}

} // namespace vornik

#include "screenshotportal.moc"
