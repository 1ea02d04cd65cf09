#pragma once

#include "platform/clipboard.h"

#include <QObject>

#include <chrono>
#include <string>

namespace vornik {

// The format a password manager adds to a copy it marks as secret.
inline constexpr const char* kSecretHintFormat = "x-kde-passwordManagerHint";

// The format the program adds to its own copies on the X11 clipboard where
// the compositor's clipboard is watched beside it. Xwayland passes an X11
// copy on to Wayland programs with its formats, so a selection that carries
// this one is the program's own copy coming back: never a change by someone
// else, and never to be asked of its owner, which is the program itself,
// waiting for the answer.
inline constexpr const char* kOwnCopyFormat = "application/x-vornik-tools-copy";

// One way of watching, reading and writing the desktop clipboard: Qt's own
// (qt/qtclipboard.h), the X11 selection read over a connection of its own
// (x11/x11clipboard.h), or the compositor's data control on a Wayland
// session (wayland/datacontrolclipboard.h). Clipboard runs on the one that
// openClipboardService (backends.cpp) chose for the session.
class ClipboardService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads the current text. Throws Error("Cannot open clipboard") when the
    // owner does not deliver it within the timeout.
    virtual ClipboardText read(std::chrono::milliseconds timeout) = 0;

    // Puts text (in the locale's encoding) on the clipboard. Throws
    // Error("Cannot open clipboard") when the clipboard cannot be taken over.
    virtual void writeText(const std::string& text) = 0;

    // Clipboard hands on each changed() between these two calls. A backend
    // that keeps what every change put on the clipboard (a compositor's
    // offers stay readable after a newer copy replaced them) has read() give
    // the text of the change being handed on, so that copies in quick
    // succession are each read, not the last one several times. Elsewhere
    // read() gives the current content.
    virtual void beginDelivery() {}
    virtual void endDelivery() {}
    // Whether changes will be read as they are handed on. A backend that
    // asks for each change's text when it comes asks only while they are.
    virtual void setChangesRead(bool) {}

signals:
    // Once per new content of the clipboard, on the user-interface thread,
    // outside any callback of the window system's library.
    void changed();
};

} // namespace vornik
