#include "platform/qt/utilitywindow.h"

#include <QMetaObject>
#include <QPointer>
#include <QScopeGuard>

#include <algorithm>
#include <utility>
#include <vector>

namespace vornik {

namespace {

std::vector<UtilityWindow*>& utilityWindows() {
    static std::vector<UtilityWindow*> windows;
    return windows;
}

} // namespace

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
    post(message, wParam, lParam, std::nullopt);
}

void UtilityWindow::postMessage(UINT message, WPARAM wParam, LPARAM lParam, QPoint at) {
    post(message, wParam, lParam, at);
}

void UtilityWindow::post(UINT message, WPARAM wParam, LPARAM lParam, std::optional<QPoint> at) {
    // The window may be gone by the time the queue reaches the message; a
    // guarded pointer drops it then, as the window system drops messages to
    // a destroyed window.
    QPointer<UtilityWindow> target(this);
    QMetaObject::invokeMethod(
        this,
        [target, message, wParam, lParam, at] {
            if (!target)
                return;
            // A handler may run a nested event loop (a menu does) that
            // handles further messages; each sees its own point.
            const auto restore = qScopeGuard([target, outer = std::exchange(target->m_messagePoint, at)] {
                if (target)
                    target->m_messagePoint = outer;
            });
            target->sendMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

void UtilityWindow::broadcastMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (UtilityWindow* window : utilityWindows())
        window->postMessage(message, wParam, lParam);
}

} // namespace vornik
