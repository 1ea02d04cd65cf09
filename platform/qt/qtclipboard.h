#pragma once

#include "platform/clipboardservice.h"

namespace vornik {

// The clipboard as Qt sees it: its change notices, its read and its write.
// Alone it serves the tests' platforms, which have no X server; the X11
// backend builds on it.
class QtClipboard : public ClipboardService {
    Q_OBJECT
public:
    explicit QtClipboard(QObject* parent = nullptr);

    // Qt's read cannot tell an owner that does not answer from an empty
    // clipboard, so it never throws.
    ClipboardText read(std::chrono::milliseconds timeout) override;
    void writeText(const std::string& text) override;
};

} // namespace vornik
