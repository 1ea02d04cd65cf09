#pragma once

#include "platform/clipboardservice.h"
#include "platform/posix/uniquefd.h"

#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vornik {

// Watches the clipboard of a Wayland session through the compositor's data
// control protocol (ext_data_control_v1, or the older
// zwlr_data_control_unstable_v1), over a Wayland connection of its own. Unlike
// Xwayland, data control is told of every new selection, whichever window has
// the focus. Copies go to both clipboards, the compositor's and the X11 one
// (see writeText).
//
// The connection's events are read on a thread of their own, which asks the
// owner of each new selection for its text the moment it is announced: an
// owner whose selection a newer copy replaces (wl-copy, a script's copies in
// a row) may stop serving it at once, and the user-interface thread may be
// busy with the previous copy, or a frame, just then.
class DataControlClipboard : public ClipboardService {
    Q_OBJECT
public:
    // None when there is no Wayland compositor to connect to, or it offers
    // neither protocol or no seat.
    static std::unique_ptr<DataControlClipboard> open();
    ~DataControlClipboard() override;

    ClipboardText read(std::chrono::milliseconds timeout) override;
    void writeText(const std::string& text) override;
    void beginDelivery() override;
    void endDelivery() override;
    void setChangesRead(bool read) override;

    class Connection;

    // A selection by someone else, its transfer asked for the moment the
    // compositor announced it: the owner of a selection that a newer copy
    // replaces may stop serving it at once.
    struct Change {
        bool secret = false;
        // The text type asked for; empty when none is offered.
        std::string type;
        // The transfer was asked for; its reading end, not open where no
        // pipe could be made.
        bool asked = false;
        UniqueFd transfer;
        // What the transfer gave, once read.
        std::optional<ClipboardText> text;
    };

private:
    explicit DataControlClipboard(std::unique_ptr<Connection> connection);
    // The event thread's loop, until the connection fails or m_wake is written.
    void watchEvents();
    // Hands on, on the user-interface thread, the changes the event thread
    // took in.
    void handOnArrived();
    // Offers the text on the compositor's clipboard.
    void offerText(const std::string& text);
    void takeX11Clipboard();
    // Reads and drops what an owner still writes into a transfer that is not
    // read, so that it does not write into a closed pipe (a SIGPIPE for an
    // owner that does not ignore it).
    void drain(int fd);
    // Reads one transfer to its end.
    static ClipboardText finishTransfer(int fd, const std::string& type, std::chrono::milliseconds timeout);

    std::unique_ptr<Connection> m_connection;
    // Guards the connection's state (its selection, its own offer, what the
    // event thread took in) and its requests, between the two threads.
    std::mutex m_lock;
    std::vector<Change> m_arrived;
    int m_wake[2] = {-1, -1};
    std::thread m_events;
    // Changes announced and not yet handed on, the oldest first. The one
    // being handed on is the first, or, where a handing on runs inside
    // another's (a modal loop), the one after the outer one's.
    std::deque<Change> m_changes;
    std::size_t m_deliveries = 0;
    // The text of the program's last copy, in the locale's encoding.
    std::string m_lastCopy;
    // The text of the program's last copy while the X11 clipboard still
    // waits for it, and how long it waits at most.
    std::optional<QString> m_pendingX11Copy;
    QTimer m_x11CopyDeadline;
};

} // namespace vornik
