#include "app/application.h"

#include "platform/qt/messageboxes.h"

#include <cstdio>

namespace vornik {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // The title captions the program's message boxes. It is not Qt's display
    // name, which Qt would append to every window's caption.
    setApplicationName(QStringLiteral("vornik-tools"));
    // The program lives in the tray: hiding or closing its windows must not end it.
    setQuitOnLastWindowClosed(false);
}

Application::~Application() = default;

Application* Application::instance()
{
    return qobject_cast<Application*>(QCoreApplication::instance());
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
    }
    return false;
}

std::string Application::title() const
{
    return m_title;
}

void Application::showException(const std::exception& error)
{
    const std::string text = exceptionDisplayText(error.what());
    // Also on the standard error, where a session's log keeps it after the
    // box is gone.
    std::fprintf(stderr, "%s: %s\n", title().c_str(), text.c_str());
    errorBox(title(), text);
}

std::string exceptionDisplayText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void showDefaultException(const std::exception& error)
{
    if (Application* application = Application::instance())
        application->showException(error);
    else
        errorBox(kApplicationTitle, exceptionDisplayText(error.what()));
}

} // namespace vornik
