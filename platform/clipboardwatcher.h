#pragma once

#include "platform/clipboard.h"

#include <QObject>

#include <chrono>
#include <memory>

namespace vornik {

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

signals:
    // Once per new content of the clipboard, emitted outside any callback
    // of the window system's library.
    void changed();
};

enum class ClipboardBackend { X11, WaylandDataControl };

// The clipboard backend to try. VORNIK_CLIPBOARD ("x11" or "wayland") forces
// one, for tests; otherwise a Wayland session watches through data control,
// because Xwayland learns of a native program's copy only while one of its
// own windows has the focus.
ClipboardBackend chooseClipboardBackend(std::string_view forced, bool waylandSession);

// The watcher the session calls for, or none where the X11 selection is to
// be used (also where data control was chosen but the compositor does not
// offer it).
std::unique_ptr<ClipboardWatcher> openClipboardWatcher();

} // namespace vornik
