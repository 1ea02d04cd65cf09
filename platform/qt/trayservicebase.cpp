#include "platform/qt/trayservicebase.h"

#include "platform/qt/localtext.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>

#include <cstring>
#include <string_view>

namespace vornik {

NotifyIconService::KeyState TrayServiceBase::keyState() {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
            modifiers.testFlag(Qt::AltModifier)};
}

QPoint TrayServiceBase::cursorPos() {
    return QCursor::pos();
}

LRESULT TrayServiceBase::defWindowProc(UtilityWindow*, UINT, WPARAM, LPARAM) {
    return 0;
}

void TrayServiceBase::setForegroundWindow(UtilityWindow* window) {
    // The utility window is never mapped, and the X server gives the input
    // focus only to viewable windows; activating it would fail with an error
    // from the server. Qt's pop-up menus take the keyboard with a grab of
    // their own, so nothing needs the focus moved here while it is hidden.
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

void TrayServiceBase::cancelMouseMode() {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
}

void TrayServiceBase::processMessages() {
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
        tip = fromLocalBytes(std::string_view(record.szTip, strnlen(record.szTip, sizeof record.szTip)));
}

} // namespace vornik
