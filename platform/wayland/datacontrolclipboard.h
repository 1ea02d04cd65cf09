#pragma once

#include "platform/clipboardwatcher.h"

#include <memory>

namespace vornik {

// Watches the clipboard of a Wayland session through the compositor's data
// control protocol (ext_data_control_v1, or the older
// zwlr_data_control_unstable_v1), over a Wayland connection of its own. Unlike
// Xwayland, data control is told of every new selection, whichever window has
// the focus.
class DataControlClipboard : public ClipboardWatcher {
    Q_OBJECT
public:
    // None when there is no Wayland compositor to connect to, or it offers
    // neither protocol or no seat.
    static std::unique_ptr<DataControlClipboard> open();
    ~DataControlClipboard() override;

    ClipboardText read(std::chrono::milliseconds timeout) override;
    void offerText(const std::string& text) override;
    bool offerStands() const override;

    class Connection;

private:
    explicit DataControlClipboard(std::unique_ptr<Connection> connection);
    void dispatch();

    std::unique_ptr<Connection> m_connection;
    // The text of the program's last copy, in the locale's encoding.
    std::string m_lastCopy;
};

} // namespace vornik
