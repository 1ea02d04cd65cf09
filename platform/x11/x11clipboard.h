#pragma once

#include "platform/clipboardservice.h"

#include <memory>

namespace vornik {

// The CLIPBOARD selection of the X server: Qt's change notices and write,
// and a read over a connection of its own, so that a read can give up after
// the timeout. Without a display to connect to, and while the program owns
// the clipboard, it reads through Qt.
std::unique_ptr<ClipboardService> openX11Clipboard();

} // namespace vornik
