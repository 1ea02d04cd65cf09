#include "platform/notifyicon.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace vornik {

namespace {

std::vector<UtilityWindow*>& utilityWindows() {
    static std::vector<UtilityWindow*> windows;
    return windows;
}

} // namespace

HICON invalidIconHandle() {
    static const QIcon* const handle = reinterpret_cast<const QIcon*>(static_cast<std::intptr_t>(-1));
    return handle;
}

UtilityWindow::UtilityWindow(WindowProc procedure)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_procedure(std::move(procedure)) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DontShowOnScreen, true);
    resize(0, 0);
    utilityWindows().push_back(this);
}

UtilityWindow::~UtilityWindow() {
    auto& windows = utilityWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

LRESULT UtilityWindow::sendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_procedure ? m_procedure(message, wParam, lParam) : 0;
}

void UtilityWindow::postMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The window may be gone by the time the queue reaches the message; a
    // guarded pointer drops it then, as the window system drops messages to
    // a destroyed window.
    QPointer<UtilityWindow> target(this);
    QMetaObject::invokeMethod(
        this,
        [target, message, wParam, lParam] {
            if (target)
                target->sendMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

void UtilityWindow::broadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (UtilityWindow* window : utilityWindows())
        window->postMessage(message, wParam, lParam);
}

NotifyIconService::KeyState DesktopServiceBase::keyState() {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
            modifiers.testFlag(Qt::AltModifier)};
}

QPoint DesktopServiceBase::cursorPos() {
    return QCursor::pos();
}

LRESULT DesktopServiceBase::defWindowProc(UtilityWindow*, UINT, WPARAM, LPARAM) {
    return 0;
}

void DesktopServiceBase::setForegroundWindow(UtilityWindow* window) {
    // The utility window is never mapped, and the X server gives the input
    // focus only to viewable windows; activating it would fail with an error
    // from the server. Qt's pop-up menus take the keyboard with a grab of
    // their own, so nothing needs the focus moved here while it is hidden.
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

void DesktopServiceBase::cancelMouseMode() {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
}

void DesktopServiceBase::processMessages() {
    QCoreApplication::processEvents();
}

void TrayIconState::take(const NotifyIconData& record)
{
    window = record.hWnd;
    id = record.uID;
    flags |= record.uFlags;
    if (record.uFlags & NIF_MESSAGE)
        callbackMessage = record.uCallbackMessage;
    if (record.uFlags & NIF_ICON)
        icon = record.hIcon && record.hIcon != invalidIconHandle() ? *record.hIcon : QIcon();
    if (record.uFlags & NIF_TIP)
        tip = QString::fromLocal8Bit(record.szTip, static_cast<qsizetype>(strnlen(record.szTip, sizeof record.szTip)));
}

} // namespace vornik
