#pragma once

#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

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

// A session bus of the test binary's own, and the application object
// (QGuiApplication or QApplication) on it, for the whole binary. `ready`
// runs once both are there.
template <typename Application>
class PrivateBusEnvironment : public ::testing::Environment {
public:
    explicit PrivateBusEnvironment(std::string programName, std::function<void()> ready = {})
        : m_programName(std::move(programName)), m_ready(std::move(ready))
    {
    }

    void SetUp() override
    {
        m_daemon = startPrivateSessionBus();
        ASSERT_TRUE(m_daemon) << "dbus-daemon did not start";
        m_argv[0] = m_programName.data();
        m_application = std::make_unique<Application>(m_argc, m_argv);
        if (m_ready)
            m_ready();
    }
    void TearDown() override
    {
        m_application.reset();
        m_daemon->kill();
        m_daemon->waitForFinished(5000);
    }

private:
    std::string m_programName;
    std::function<void()> m_ready;
    // Qt keeps references to both for the life of the application object.
    int m_argc = 1;
    char* m_argv[2] = {nullptr, nullptr};
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<Application> m_application;
};

} // namespace vornik::testing
