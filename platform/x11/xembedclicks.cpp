#include "platform/x11/xembedclicks.h"

#include <cstdlib>

namespace vornik {

namespace {

UINT messageFor(TrayClickTranslator::Button button, UINT left, UINT right, UINT middle) {
    switch (button) {
    case TrayClickTranslator::Button::Left:
        return left;
    case TrayClickTranslator::Button::Right:
        return right;
    case TrayClickTranslator::Button::Middle:
        return middle;
    }
    return 0;
}

} // namespace

UINT TrayClickTranslator::press(Button button, std::uint32_t timeMs, int x, int y) {
    // Server time stamps wrap around after about 49 days; unsigned
    // subtraction keeps the interval right across the wrap.
    const bool isDouble = m_havePress && !m_lastWasDouble && button == m_lastButton &&
                          timeMs - m_lastTime <= m_intervalMs && std::abs(x - m_lastX) <= m_distance &&
                          std::abs(y - m_lastY) <= m_distance;
    m_havePress = true;
    m_lastWasDouble = isDouble;
    m_lastButton = button;
    m_lastTime = timeMs;
    m_lastX = x;
    m_lastY = y;
    if (isDouble)
        return messageFor(button, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK);
    return messageFor(button, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN);
}

UINT TrayClickTranslator::release(Button button) {
    return messageFor(button, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP);
}

UINT TrayClickTranslator::move() {
    return WM_MOUSEMOVE;
}

} // namespace vornik
