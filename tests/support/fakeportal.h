#pragma once

// A desktop portal of the tests' own, on a session bus of their own, that
// answers screenshot requests as it is told: the real portal cannot be made
// to refuse or fail on demand.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include "privatebus.h"

#include <gtest/gtest.h>

#include <memory>

namespace vornik::testing {

class FakeScreenshotPortal : public QDBusVirtualObject {
public:
    enum class Answer {
        Picture,      // response 0 with `uri`
        Refuse,       // response 1
        Fail,         // response 2
        Silent,       // a handle, and never a response
        Error,        // an error reply to the call
        PictureFirst, // response 0 sent before the reply to the call
        PictureLate,  // response 0 a moment after the reply
        NeedsFolder,  // response 0 where `neededFolder` exists, else 1 (KDE's portal)
    };

    FakeScreenshotPortal()
        : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
    {
        m_connection.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), this);
        EXPECT_TRUE(m_connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }
    ~FakeScreenshotPortal() override
    {
        m_connection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    Answer answer = Answer::Picture;
    QString uri;
    QString neededFolder;
    int requests = 0;
    QVariantMap lastOptions;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.portal.Screenshot") ||
            message.member() != QLatin1String("Screenshot"))
            return false;
        ++requests;
        const QVariant options = message.arguments().value(1);
        lastOptions = options.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(options.value<QDBusArgument>())
                                                          : options.toMap();
        if (answer == Answer::Error) {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                                     QStringLiteral("no screenshots today")));
            return true;
        }
        // The path the portal's documentation promises from the caller's
        // name and the token.
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, lastOptions.value(QStringLiteral("handle_token")).toString());
        if (answer == Answer::PictureFirst)
            respond(connection, path, 0);
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        if (answer == Answer::Picture)
            respond(connection, path, 0);
        else if (answer == Answer::PictureLate)
            QTimer::singleShot(300, [this, connection, path] { respond(connection, path, 0); });
        else if (answer == Answer::NeedsFolder)
            respond(connection, path, QFileInfo(neededFolder).isDir() ? 0 : 1);
        else if (answer == Answer::Refuse)
            respond(connection, path, 1);
        else if (answer == Answer::Fail)
            respond(connection, path, 2);
        return true;
    }

private:
    void respond(const QDBusConnection& connection, const QString& path, uint code)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        QVariantMap results;
        if (code == 0)
            results.insert(QStringLiteral("uri"), uri);
        signal << code << results;
        connection.send(signal);
    }

    QDBusConnection m_connection;
};

} // namespace vornik::testing
