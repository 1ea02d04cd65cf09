#pragma once

#include "platform/clipboard.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

namespace vornik {

// The format a password manager adds to a copy it marks as secret.
inline constexpr const char* kSecretHintFormat = "x-kde-passwordManagerHint";

// The format the program adds to its own copies on the X11 clipboard where a
// watcher runs. Xwayland passes an X11 copy on to Wayland programs with its
// formats, so a selection that carries this one is the program's own copy
// coming back: never a change by someone else, and never to be asked of its
// owner, which is the program itself, waiting for the answer.
inline constexpr const char* kOwnCopyFormat = "application/x-vornik-tools-copy";

// Text in the locale's encoding, the form the collector reads.
inline std::string toLocalBytes(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A way of reading the clipboard on request, beside the change notices Qt
// gives: Qt's own read cannot tell an owner that does not answer from an
// empty clipboard.
class ClipboardReader {
public:
    virtual ~ClipboardReader() = default;
    // False where the reader could not connect; the clipboard is then read
    // through Qt.
    virtual bool available() const = 0;
    // Throws Error("Cannot open clipboard") when the owner does not deliver
    // the text within the timeout.
    virtual ClipboardText read(std::chrono::milliseconds timeout) = 0;
};

// A way of watching and reading the clipboard other than the X11 selection,
// for sessions where the X11 selection does not see every copy.
class ClipboardWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads the current text. Throws Error("Cannot open clipboard") when the
    // owner does not deliver it within the timeout.
    virtual ClipboardText read(std::chrono::milliseconds timeout) = 0;

    // Offers text (in the locale's encoding) on the clipboard watched here,
    // besides the X11 clipboard: programs that read only this one get it too.
    virtual void offerText(const std::string& text) = 0;

    // The last text offered is still this clipboard's content, or on its way
    // there: no other copy has replaced it since.
    virtual bool offerStands() const = 0;

signals:
    // Once per new content of the clipboard, emitted outside any callback
    // of the window system's library.
    void changed();
};

} // namespace vornik
