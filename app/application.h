#pragma once

#include <QApplication>

#include <exception>
#include <functional>
#include <string>

namespace vornik {

inline constexpr const char* kApplicationTitle = "Vornik Tools";

// The application object. Its notify() is the one boundary at which an
// exception escaping any event handler is caught and shown; the event loop
// then goes on with the state as it was.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // The application title, used as the caption of its message boxes.
    std::string title() const;

    // The default exception display.
    void showException(const std::exception& error);

    static Application* instance();

private:
    std::string m_title = kApplicationTitle;
};

// The message as the default display shows it: with a full stop appended
// when its last character sorts after ".".
std::string exceptionDisplayText(const std::string& message);

// Shows an exception the way the application object does; usable from code
// that catches exceptions itself (such as the main window's creation).
void showDefaultException(const std::exception& error);

} // namespace vornik
