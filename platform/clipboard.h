#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace vornik {

class ClipboardReader;
class ClipboardWatcher;

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

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

signals:
    void changed();

private:
    void takeX11Clipboard();

    std::unique_ptr<ClipboardReader> m_reader;
    // Where the session calls for another way of watching (platform/clipboardwatcher.h).
    std::unique_ptr<ClipboardWatcher> m_watcher;
    std::chrono::milliseconds m_timeout{2000};
    // Where a watcher runs: the text of the program's last copy while the
    // X11 clipboard still waits for it, and how long it waits at most.
    std::optional<QString> m_pendingX11Copy;
    QTimer m_x11CopyDeadline;
};

} // namespace vornik
