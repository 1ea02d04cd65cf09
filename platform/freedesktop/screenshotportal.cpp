#include "platform/freedesktop/screenshotportal.h"

#include "platform/error.h"
#include "platform/freedesktop/picturesfolder.h"
#include "platform/freedesktop/portalfile.h"
#include "platform/freedesktop/portalrequest.h"
#include "platform/freedesktop/screenshotpermission.h"
#include "platform/qt/localtext.h"
#include "platform/wayland/outputs.h"
#include "platform/x11/windowclass.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <memory>
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
    throw Error("Cannot capture the screen: " + toLocalBytes(what));
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

// The primary screen's size in its own device pixels, as the compositor
// tells Wayland clients; empty where it does not, or where the screen's
// place is none of its outputs'. Only the program's windows on Xwayland
// have the compositor's outputs for screens.
QSize primaryScreenDeviceSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    // Qt keeps an X11 screen's top-left corner as the X server has it.
    const QPoint at = screen->geometry().topLeft();
    const OutputRect size = deviceSizeOfOutputAt(waylandOutputs(), at.x(), at.y());
    return {size.width, size.height};
}

// A picture of an output brought to the output's own size. Enlarged a whole
// number of times each way, as beside an output of twice its scale, each
// pixel becomes the rounded mean of the block it was spread over, which
// gives the output's pixel back wherever the enlargement blended it
// linearly with its neighbours; other sizes are scaled smoothly.
QImage toDeviceSize(const QImage& picture, QSize device)
{
    const int k = picture.width() / device.width();
    if (k < 2 || picture.width() != k * device.width() || picture.height() != k * device.height())
        return picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    QImage out(device, QImage::Format_RGB32);
    const unsigned count = static_cast<unsigned>(k * k);
    for (int y = 0; y < device.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < device.width(); ++x) {
            unsigned r = 0, g = 0, b = 0;
            for (int j = 0; j < k; ++j) {
                const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y * k + j)) + x * k;
                for (int i = 0; i < k; ++i) {
                    r += static_cast<unsigned>(qRed(in[i]));
                    g += static_cast<unsigned>(qGreen(in[i]));
                    b += static_cast<unsigned>(qBlue(in[i]));
                }
            }
            row[x] = qRgb(static_cast<int>((r + count / 2) / count), static_cast<int>((g + count / 2) / count),
                          static_cast<int>((b + count / 2) / count));
        }
    }
    return out;
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

namespace {

// The permission store's answer for the app id.
StoredScreenshotPermission storedPermission(QDBusConnection& bus, const std::string& appId)
{
    QDBusMessage lookup = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    const QDBusMessage reply = bus.call(lookup, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound")
                   ? StoredScreenshotPermission::Unset
                   : StoredScreenshotPermission::Unknown;
    if (reply.arguments().isEmpty())
        return StoredScreenshotPermission::Unknown;
    const QVariant table = reply.arguments().constFirst();
    QMap<QString, QStringList> entries;
    if (table.canConvert<QDBusArgument>())
        table.value<QDBusArgument>() >> entries;
    const auto found = entries.constFind(QString::fromStdString(appId));
    if (found == entries.constEnd() || found->isEmpty())
        return StoredScreenshotPermission::Unset;
    return found->constFirst() == QLatin1String("yes") ? StoredScreenshotPermission::Yes
                                                      : StoredScreenshotPermission::No;
}

QString allowLater(const std::string& appId)
{
    return QStringLiteral("To allow it, run: %1").arg(QString::fromStdString(allowScreenshotsCommand(appId)));
}

// The window that holds the focus while GNOME asks: the shell shows its
// dialog for the focused app only, and knows the window as the app of the
// id through its X11 class (and the GTK application id mutter also reads).
class ConsentWindow {
public:
    explicit ConsentWindow(const std::string& appId)
    {
        m_widget.setWindowTitle(QStringLiteral("Screenshot permission - Vornik Tools"));
        m_widget.setWindowFlag(Qt::WindowStaysOnTopHint);
        auto* layout = new QVBoxLayout(&m_widget);
        auto* text = new QLabel(QStringLiteral("Vornik Tools needs your permission to take screenshots.\n"
                                               "GNOME asks for it now."));
        layout->addWidget(text);
        m_widget.adjustSize();
        m_widget.winId(); // the native window, to name its class before it is shown
        nameX11WindowClass(m_widget, appId);
        m_widget.show();
        m_widget.raise();
        m_widget.activateWindow();
        if (QWindow* window = m_widget.windowHandle())
            window->requestActivate();
    }

    // Waits until the window has the focus; false when it did not get it
    // within `timeoutMs`.
    bool waitForFocus(int timeoutMs)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (QGuiApplication::focusWindow() != m_widget.windowHandle() || !m_widget.windowHandle()) {
            if (elapsed.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
            QThread::msleep(10);
        }
        return true;
    }

private:
    QWidget m_widget;
};

} // namespace

bool ScreenshotPortal::capture(Bitmap& into)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        fail(QStringLiteral("there is no session bus to reach the screenshot portal"));

    // GNOME asks a program with an app id only while it has the focus.
    const std::string appId = sessionIsGnome() ? (m_appId ? m_appId() : ownPortalAppId()) : std::string();
    std::unique_ptr<ConsentWindow> consent;
    int timeoutMs = m_timeoutMs;
    if (!appId.empty()) {
        switch (storedPermission(bus, appId)) {
        case StoredScreenshotPermission::No:
            fail(QStringLiteral("GNOME does not allow Vornik Tools to take screenshots. ") + allowLater(appId));
        case StoredScreenshotPermission::Yes:
            break;
        case StoredScreenshotPermission::Unset:
        case StoredScreenshotPermission::Unknown:
            consent = std::make_unique<ConsentWindow>(appId);
            if (consent->waitForFocus(3000))
                timeoutMs = std::max(timeoutMs, kConsentTimeoutMs);
            break;
        }
    }

    const std::time_t requestedAt = std::time(nullptr);
    PortalAnswer answer;
    try {
        answer = requestPicture(bus, timeoutMs);
    } catch (const Error&) {
        if (!consent)
            throw;
        // GNOME did not put the question (the shell refused to show its
        // dialog, and the portal then never answers).
        fail(QStringLiteral("GNOME did not ask whether Vornik Tools may take screenshots. ") + allowLater(appId));
    }
    consent.reset();
    if (!appId.empty() && answer.response != 0u) {
        if (storedPermission(bus, appId) == StoredScreenshotPermission::No)
            fail(QStringLiteral("GNOME does not allow Vornik Tools to take screenshots. ") + allowLater(appId));
    }
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
                         .arg(QString::fromStdString(pictures), fromLocalBytes(error)));
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
        fail(QStringLiteral("cannot read the picture \"%1\" (%2)").arg(path, fromLocalBytes(file.error)));
    QImage picture;
    if (!picture.loadFromData(QByteArrayView(file.bytes.data(), static_cast<qsizetype>(file.bytes.size()))))
        fail(QStringLiteral("the picture \"%1\" is not an image the program can read").arg(path));
    // Taken as opaque blue, green, red bytes, the bitmap's own layout.
    picture.convertTo(QImage::Format_RGB32);

    const OutputRect area = primaryScreenInPicture(picture.width(), picture.height());
    if (area.empty())
        fail(QStringLiteral("the picture does not show the primary screen"));
    QImage screen = picture.copy(area.x, area.y, area.width, area.height);
    // The portal of a wlroots compositor pictures every output at the
    // largest output's scale; an output of a smaller scale is enlarged in it
    // (twice each way beside one at scale 2), and its part is brought back
    // to the output's own pixels, which are what the readouts speak of.
    const QSize device = primaryScreenDeviceSize();
    if (!device.isEmpty() && device != screen.size())
        screen = toDeviceSize(screen, device);
    Bitmap bitmap(screen.width(), screen.height(), 32);
    for (int y = 0; y < screen.height(); ++y)
        std::memcpy(bitmap.scanLine(y), screen.constScanLine(y), static_cast<std::size_t>(screen.width()) * 4);
    into = std::move(bitmap);
    return true;
}

} // namespace vornik

#include "screenshotportal.moc"
