#pragma once

class QWindow;

namespace vornik {

// Asks the window manager once more to show a mapped window full screen. A
// manager may miss the request a window carries when it is mapped (sway
// does, now and then, for a window hidden and shown again soon after); where
// it did not, the request changes nothing.
void requestFullScreen(QWindow& window);

} // namespace vornik
