#pragma once

#include "platform/notifyiconservice.h"

#include <QIcon>
#include <QPointer>
#include <QString>

#include <cstdint>

namespace vornik {

// What a tray service keeps of one icon from the records it is given.
struct TrayIconState {
    QPointer<UtilityWindow> window;
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t callbackMessage = 0;
    QIcon icon;
    QString tip;

    // Takes the parts of an add or modify record that its flags name.
    void take(const NotifyIconData& record);
};

// What every tray backend shares: the pointer, the keyboard, focus and
// grabs as Qt reports and drives them.
class TrayServiceBase : public NotifyIconService {
  public:
    QPoint cursorPos() override;
    KeyState keyState() override;
    LRESULT defWindowProc(UtilityWindow* window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void setForegroundWindow(UtilityWindow* window) override;
    void cancelMouseMode() override;
    void processMessages() override;
};

} // namespace vornik
