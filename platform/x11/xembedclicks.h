#pragma once

#include "platform/notifyiconservice.h"

#include <cstdint>

namespace vornik {

// Turns the presses, releases and moves that the X server reports on a tray
// icon window into the mouse messages a notification-area callback carries:
// a second press of the same button soon after and near the first is
// reported as a double-click instead of a press, and is never itself the
// first half of another double-click. Releases are always reported.
class TrayClickTranslator {
  public:
    enum class Button { Left, Right, Middle };

    TrayClickTranslator(std::uint32_t doubleClickMs, int doubleClickDistance)
        : m_intervalMs(doubleClickMs), m_distance(doubleClickDistance) {}

    // timeMs is the server's time stamp of the event; x, y its position.
    UINT press(Button button, std::uint32_t timeMs, int x, int y);
    UINT release(Button button);
    UINT move();

  private:
    std::uint32_t m_intervalMs;
    int m_distance;
    bool m_havePress = false;
    bool m_lastWasDouble = false;
    Button m_lastButton = Button::Left;
    std::uint32_t m_lastTime = 0;
    int m_lastX = 0, m_lastY = 0;
};

} // namespace vornik
