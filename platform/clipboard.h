#pragma once

#include <QObject>

#include <chrono>
#include <memory>
#include <string>

namespace vornik {

class ClipboardService;

// What a look at the clipboard found.
struct ClipboardText {
    // The text in the locale's single-byte encoding; empty when the clipboard
    // holds no text.
    std::string text;
    // A password manager marked the content as secret.
    bool secret = false;
};

// The desktop clipboard (the CLIPBOARD selection, not PRIMARY). It tells of
// every change of its content through changed(), on the user-interface
// thread, and reads and writes plain text.
class Clipboard : public QObject {
    Q_OBJECT
public:
    explicit Clipboard(QObject* parent = nullptr);
    ~Clipboard() override;

    // Reads the current text. Throws Error("Cannot open clipboard") when the
    // owner of the clipboard does not answer within the timeout.
    ClipboardText read();

    // Puts text on the clipboard. Throws Error("Cannot open clipboard") when
    // the clipboard cannot be taken over.
    void writeText(const std::string& text);

    // Whether the receivers of changed() read the clipboard (off: the
    // owners of new copies are not asked for their text beforehand).
    void setChangesRead(bool read);

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

signals:
    void changed();

private:
    // The session's way of reaching the clipboard (see platform/backends.cpp).
    std::unique_ptr<ClipboardService> m_service;
    std::chrono::milliseconds m_timeout{2000};
};

} // namespace vornik
