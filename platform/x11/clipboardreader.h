#pragma once

#include "platform/clipboardwatcher.h"

#include <memory>

namespace vornik {

// The CLIPBOARD selection of the X server, read over a connection of its own
// so that a read can give up after the timeout. Check available(): without a
// display the reader cannot read at all.
std::unique_ptr<ClipboardReader> openX11ClipboardReader();

} // namespace vornik
