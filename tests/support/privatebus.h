#pragma once

#include <QProcess>

#include <memory>

namespace vornik::testing {

// Starts dbus-daemon and points the process's session bus at it; call before
// the application object is made (Qt reads the address once).
inline std::unique_ptr<QProcess> startPrivateSessionBus()
{
    auto daemon = std::make_unique<QProcess>();
    daemon->start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!daemon->waitForStarted(10000))
        return nullptr;
    while (!daemon->canReadLine())
        if (!daemon->waitForReadyRead(10000))
            return nullptr;
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon->readLine().trimmed());
    return daemon;
}

} // namespace vornik::testing
