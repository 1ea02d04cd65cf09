#pragma once

#include <QApplication>

#include <exception>

namespace vornik {

// The application object. Its notify() is the one boundary at which
// exceptions escaping any event handler are caught and shown.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The default exception display: a message box with the application
    // title as caption, the error icon and one OK button.
    void showException(const std::exception& error);
};

// The message as the default display shows it: with a full stop appended
// when its last character sorts after ".".
std::string exceptionDisplayText(const std::string& message);

} // namespace vornik
