#include "platform/wayland/datacontrolclipboard.h"

#include "platform/error.h"
#include "platform/qt/localtext.h"
#include "platform/wayland/textoffers.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMimeData>
#include <QSocketNotifier>
#include <QString>

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vornik {

namespace {

// The two protocols have the same requests and events under different names;
// each of these binds the generated functions of one of them.
struct ExtProtocol {
    using Manager = ext_data_control_manager_v1;
    using Device = ext_data_control_device_v1;
    using Offer = ext_data_control_offer_v1;
    using DeviceListener = ext_data_control_device_v1_listener;
    using OfferListener = ext_data_control_offer_v1_listener;
    using Source = ext_data_control_source_v1;
    using SourceListener = ext_data_control_source_v1_listener;
    static const wl_interface* managerInterface() { return &ext_data_control_manager_v1_interface; }
    static Device* getDevice(Manager* m, wl_seat* seat) { return ext_data_control_manager_v1_get_data_device(m, seat); }
    static void destroy(Manager* m) { ext_data_control_manager_v1_destroy(m); }
    static void destroy(Device* d) { ext_data_control_device_v1_destroy(d); }
    static void destroy(Offer* o) { ext_data_control_offer_v1_destroy(o); }
    static void listen(Device* d, const DeviceListener* l, void* data) { ext_data_control_device_v1_add_listener(d, l, data); }
    static void listen(Offer* o, const OfferListener* l, void* data) { ext_data_control_offer_v1_add_listener(o, l, data); }
    static void receive(Offer* o, const char* type, int fd) { ext_data_control_offer_v1_receive(o, type, fd); }
    static Source* createSource(Manager* m) { return ext_data_control_manager_v1_create_data_source(m); }
    static void offer(Source* s, const char* type) { ext_data_control_source_v1_offer(s, type); }
    static void destroy(Source* s) { ext_data_control_source_v1_destroy(s); }
    static void listen(Source* s, const SourceListener* l, void* data) { ext_data_control_source_v1_add_listener(s, l, data); }
    static void setSelection(Device* d, Source* s) { ext_data_control_device_v1_set_selection(d, s); }
};

struct WlrProtocol {
    using Manager = zwlr_data_control_manager_v1;
    using Device = zwlr_data_control_device_v1;
    using Offer = zwlr_data_control_offer_v1;
    using DeviceListener = zwlr_data_control_device_v1_listener;
    using OfferListener = zwlr_data_control_offer_v1_listener;
    using Source = zwlr_data_control_source_v1;
    using SourceListener = zwlr_data_control_source_v1_listener;
    static const wl_interface* managerInterface() { return &zwlr_data_control_manager_v1_interface; }
    static Device* getDevice(Manager* m, wl_seat* seat) { return zwlr_data_control_manager_v1_get_data_device(m, seat); }
    static void destroy(Manager* m) { zwlr_data_control_manager_v1_destroy(m); }
    static void destroy(Device* d) { zwlr_data_control_device_v1_destroy(d); }
    static void destroy(Offer* o) { zwlr_data_control_offer_v1_destroy(o); }
    static void listen(Device* d, const DeviceListener* l, void* data) { zwlr_data_control_device_v1_add_listener(d, l, data); }
    static void listen(Offer* o, const OfferListener* l, void* data) { zwlr_data_control_offer_v1_add_listener(o, l, data); }
    static void receive(Offer* o, const char* type, int fd) { zwlr_data_control_offer_v1_receive(o, type, fd); }
    static Source* createSource(Manager* m) { return zwlr_data_control_manager_v1_create_data_source(m); }
    static void offer(Source* s, const char* type) { zwlr_data_control_source_v1_offer(s, type); }
    static void destroy(Source* s) { zwlr_data_control_source_v1_destroy(s); }
    static void listen(Source* s, const SourceListener* l, void* data) { zwlr_data_control_source_v1_add_listener(s, l, data); }
    static void setSelection(Device* d, Source* s) { zwlr_data_control_device_v1_set_selection(d, s); }
};

// What the receiving side of one transfer got.
enum class Transfer { Complete, TimedOut, Failed };

Transfer readAll(int fd, std::chrono::steady_clock::time_point deadline, std::string& out)
{
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Transfer::TimedOut;
        pollfd descriptor{fd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Transfer::Failed;
        if (ready == 0)
            continue;
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count < 0)
            return Transfer::Failed;
        if (count == 0)
            return Transfer::Complete;
        out.append(buffer, static_cast<std::size_t>(count));
    }
}

// The types the program's own copy is offered in, the preferred first.
constexpr std::array<std::string_view, 5> kOwnTypes = {
    "text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"};

// The selection is the program's own X11 copy, passed on by Xwayland.
bool offersOwnCopy(const std::vector<std::string>& types)
{
    return std::ranges::find(types, std::string_view(kOwnCopyFormat)) != types.end();
}

// Writes the whole text into a reader's pipe; a reader that goes away early
// only ends the transfer.
void writeAll(int fd, std::string_view text)
{
    // The descriptor may come non-blocking; a short text fits a pipe's buffer
    // and a longer one waits for the reader, as a blocking write would.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

// The Wayland side: the connection, the seat, and the data device of
// whichever protocol the compositor offers, with the offers it announced.
class DataControlClipboard::Connection {
public:
    virtual ~Connection() = default;
    virtual wl_display* display() const = 0;
    // The types of the current selection; false when the clipboard is empty.
    virtual bool selectionTypes(std::vector<std::string>& types) const = 0;
    // Asks the current selection's owner for its text, as new selections
    // are asked while changes are read, whether they are or not.
    virtual DataControlClipboard::Change askForCurrentText() = 0;
    // New selections by others since the last call, each transfer asked for.
    virtual std::vector<DataControlClipboard::Change> takeNewSelections() = 0;
    // Whether the text of each new selection is asked for when it comes.
    virtual void setAskForText(bool ask) = 0;
    // Makes the UTF-8 text the selection, offered by this connection until
    // another selection replaces it.
    virtual void offerText(std::string utf8) = 0;
    // This connection's own offer is the selection.
    virtual bool ownSelectionIsCurrent() const = 0;
    // This connection's own offer has not been replaced, whether or not the
    // compositor has confirmed it yet.
    virtual bool ownOfferStands() const = 0;
};

namespace {

template <typename Protocol>
class ProtocolConnection : public DataControlClipboard::Connection {
public:
    ProtocolConnection(wl_display* display, wl_registry* registry, wl_seat* seat, typename Protocol::Manager* manager)
        : m_display(display), m_registry(registry), m_seat(seat), m_manager(manager)
    {
        m_device = Protocol::getDevice(m_manager, m_seat);
        Protocol::listen(m_device, &kDeviceListener, this);
    }

    ~ProtocolConnection() override
    {
        for (auto& [offer, types] : m_announced)
            Protocol::destroy(offer);
        if (m_source)
            Protocol::destroy(m_source);
        if (m_selection)
            Protocol::destroy(m_selection);
        if (m_device)
            Protocol::destroy(m_device);
        Protocol::destroy(m_manager);
        wl_seat_destroy(m_seat);
        wl_registry_destroy(m_registry);
        wl_display_disconnect(m_display);
    }

    wl_display* display() const override { return m_display; }

    bool selectionTypes(std::vector<std::string>& types) const override
    {
        if (!m_selection)
            return false;
        types = m_selectionTypes;
        return true;
    }

    DataControlClipboard::Change askForCurrentText() override { return askForText(m_selection, true); }

    std::vector<DataControlClipboard::Change> takeNewSelections() override { return std::exchange(m_newSelections, {}); }

    void setAskForText(bool ask) override { m_askForText = ask; }

    void offerText(std::string utf8) override
    {
        if (!m_device)
            return;
        if (m_source)
            Protocol::destroy(m_source);
        m_source = Protocol::createSource(m_manager);
        Protocol::listen(m_source, &kSourceListener, this);
        for (const std::string_view type : kOwnTypes)
            Protocol::offer(m_source, std::string(type).c_str());
        Protocol::setSelection(m_device, m_source);
        m_sourceText = std::move(utf8);
        m_ownSelectionPending = true;
    }

    bool ownSelectionIsCurrent() const override { return m_source && !m_ownSelectionPending; }

    bool ownOfferStands() const override { return m_source != nullptr; }

private:
    using Offer = typename Protocol::Offer;
    using Device = typename Protocol::Device;

    // Each offer is announced first, then lists its types, then is made the
    // selection (or the primary selection, which is not watched).
    static void onDataOffer(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        self->m_announced[offer];
        Protocol::listen(offer, &kOfferListener, self);
    }

    static void onOfferType(void* data, Offer* offer, const char* type)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        const auto found = self->m_announced.find(offer);
        if (found != self->m_announced.end())
            found->second.emplace_back(type);
    }

    static void onSelection(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        if (self->m_selection)
            Protocol::destroy(self->m_selection);
        self->m_selection = offer;
        self->m_selectionTypes.clear();
        if (offer) {
            const auto found = self->m_announced.find(offer);
            if (found != self->m_announced.end()) {
                self->m_selectionTypes = std::move(found->second);
                self->m_announced.erase(found);
            }
        }
        // The program's own copy is a change like any other, announced once
        // when the compositor confirms it. Xwayland passes on the same copy
        // from the X11 clipboard, which the program wrote too, before or after
        // that confirmation: not a change of its own. What the compositor
        // announced between the copy and the confirmation is that as well.
        // (A copy by someone else in that moment replaces ours, which cancels
        // our offer, and is counted below.)
        if (offersOwnCopy(self->m_selectionTypes))
            return;
        if (self->m_ownSelectionPending && self->m_source) {
            if (!std::ranges::equal(self->m_selectionTypes, kOwnTypes))
                return;
            self->m_ownSelectionPending = false;
        }
        self->m_newSelections.push_back(self->askForText(offer, self->m_askForText));
    }

    // Asks the owner of a selection for its text at once (only whether it
    // has one, unless `ask`), into a pipe read when the change is handed on.
    DataControlClipboard::Change askForText(Offer* offer, bool ask)
    {
        DataControlClipboard::Change change;
        change.secret = offerMarksSecret(m_selectionTypes);
        const std::optional<std::string> type = offer ? chooseTextOffer(m_selectionTypes) : std::nullopt;
        if (change.secret || !type)
            return change;
        change.type = *type;
        if (!ask)
            return change;
        change.asked = true;
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            return change;
        // libwayland sends a copy of the writing end with the request; the
        // owner's copy is then the only one, and its closing ends the data.
        Protocol::receive(offer, type->c_str(), pipe[1]);
        ::close(pipe[1]);
        change.transfer.reset(pipe[0]);
        return change;
    }

    // Another program asks for our selection: the text, whatever the type
    // (all our types are text, and UTF-8 is a superset of the others' ASCII).
    static void onSend(void* data, typename Protocol::Source*, const char*, std::int32_t fd)
    {
        const auto* self = static_cast<ProtocolConnection*>(data);
        writeAll(fd, self->m_sourceText);
        ::close(fd);
    }

    static void onCancelled(void* data, typename Protocol::Source* source)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        Protocol::destroy(source);
        if (self->m_source == source) {
            self->m_source = nullptr;
            self->m_ownSelectionPending = false;
        }
    }

    static void onPrimarySelection(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        if (offer && self->m_announced.erase(offer))
            Protocol::destroy(offer);
    }

    // The seat went away; the clipboard reads as empty from then on.
    static void onFinished(void* data, Device*)
    {
        auto* self = static_cast<ProtocolConnection*>(data);
        Protocol::destroy(self->m_device);
        self->m_device = nullptr;
        if (self->m_selection)
            Protocol::destroy(self->m_selection);
        self->m_selection = nullptr;
        self->m_selectionTypes.clear();
    }

    static constexpr typename Protocol::DeviceListener kDeviceListener = {
        onDataOffer, onSelection, onFinished, onPrimarySelection};
    static constexpr typename Protocol::OfferListener kOfferListener = {onOfferType};
    static constexpr typename Protocol::SourceListener kSourceListener = {onSend, onCancelled};

    wl_display* m_display;
    wl_registry* m_registry;
    wl_seat* m_seat;
    typename Protocol::Manager* m_manager;
    Device* m_device = nullptr;
    std::map<Offer*, std::vector<std::string>> m_announced;
    Offer* m_selection = nullptr;
    std::vector<std::string> m_selectionTypes;
    std::vector<DataControlClipboard::Change> m_newSelections;
    bool m_askForText = false;
    typename Protocol::Source* m_source = nullptr;
    std::string m_sourceText;
    bool m_ownSelectionPending = false;
};

// The globals of interest, as the registry lists them.
struct Globals {
    wl_registry* registry = nullptr;
    std::uint32_t seat = 0;
    std::uint32_t ext = 0;
    std::uint32_t wlr = 0;
};

void onGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    const std::string_view kind = interface;
    // The first seat is the user's; a headless or nested session has one.
    if (kind == wl_seat_interface.name && !globals->seat)
        globals->seat = name;
    else if (kind == ext_data_control_manager_v1_interface.name)
        globals->ext = name;
    else if (kind == zwlr_data_control_manager_v1_interface.name)
        globals->wlr = name;
}

void onGlobalRemoved(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemoved};

template <typename Protocol>
std::unique_ptr<DataControlClipboard::Connection> bindProtocol(wl_display* display, Globals& globals, std::uint32_t name)
{
    auto* seat = static_cast<wl_seat*>(wl_registry_bind(globals.registry, globals.seat, &wl_seat_interface, 1));
    // Version 1 of either manager: the primary selection is of no interest.
    auto* manager = static_cast<typename Protocol::Manager*>(
        wl_registry_bind(globals.registry, name, Protocol::managerInterface(), 1));
    return std::make_unique<ProtocolConnection<Protocol>>(display, globals.registry, seat, manager);
}

} // namespace

std::unique_ptr<DataControlClipboard> DataControlClipboard::open()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    Globals globals;
    globals.registry = wl_display_get_registry(display);
    wl_registry_add_listener(globals.registry, &kRegistryListener, &globals);
    if (wl_display_roundtrip(display) < 0 || !globals.seat || (!globals.ext && !globals.wlr)) {
        wl_registry_destroy(globals.registry);
        wl_display_disconnect(display);
        return nullptr;
    }
    std::unique_ptr<Connection> connection = globals.ext ? bindProtocol<ExtProtocol>(display, globals, globals.ext)
                                                         : bindProtocol<WlrProtocol>(display, globals, globals.wlr);
    // The compositor answers the new device with the current selection. That
    // one is the content at start, not a change.
    if (wl_display_roundtrip(display) < 0)
        return nullptr;
    connection->takeNewSelections();
    return std::unique_ptr<DataControlClipboard>(new DataControlClipboard(std::move(connection)));
}

DataControlClipboard::DataControlClipboard(std::unique_ptr<Connection> connection) : m_connection(std::move(connection))
{
    // The X11 clipboard takes the program's copy only once Xwayland has
    // taken it over for the Wayland selection the copy made (see
    // writeText). Qt tells of that owner change once it has read the
    // server's notice, and so with a time of the server no earlier than
    // that change, which its claim then carries.
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && m_pendingX11Copy)
            takeX11Clipboard();
    });
    // Where nothing passes the Wayland selection on to X11, the X11
    // clipboard takes the copy after a while all the same.
    m_x11CopyDeadline.setSingleShot(true);
    m_x11CopyDeadline.setInterval(1000);
    connect(&m_x11CopyDeadline, &QTimer::timeout, this, [this] {
        if (m_pendingX11Copy)
            takeX11Clipboard();
    });
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        throw Error(kCannotOpenClipboard);
    m_events = std::thread([this] { watchEvents(); });
}

DataControlClipboard::~DataControlClipboard()
{
    const char stop = 0;
    while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
    }
    m_events.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void DataControlClipboard::watchEvents()
{
    wl_display* display = m_connection->display();
    for (;;) {
        {
            const std::lock_guard lock(m_lock);
            while (wl_display_prepare_read(display) != 0)
                wl_display_dispatch_pending(display);
            wl_display_flush(display);
        }
        std::array<pollfd, 2> ready = {pollfd{wl_display_get_fd(display), POLLIN, 0}, pollfd{m_wake[0], POLLIN, 0}};
        if (::poll(ready.data(), ready.size(), -1) < 0 && errno == EINTR) {
            wl_display_cancel_read(display);
            continue;
        }
        if (ready[1].revents) {
            wl_display_cancel_read(display);
            return;
        }
        // The compositor went away: the clipboard keeps what it last read.
        if (wl_display_read_events(display) < 0)
            return;
        const std::lock_guard lock(m_lock);
        wl_display_dispatch_pending(display);
        // The transfers the new selections asked for.
        wl_display_flush(display);
        std::vector<Change> arrived = m_connection->takeNewSelections();
        if (arrived.empty())
            continue;
        for (Change& change : arrived)
            m_arrived.push_back(std::move(change));
        QMetaObject::invokeMethod(this, &DataControlClipboard::handOnArrived, Qt::QueuedConnection);
    }
}

void DataControlClipboard::handOnArrived()
{
    std::vector<Change> arrived;
    {
        const std::lock_guard lock(m_lock);
        arrived = std::exchange(m_arrived, {});
    }
    // Announced on the program's own thread and stack, so that whatever the
    // receivers do (and throw) happens there.
    for (Change& change : arrived) {
        m_changes.push_back(std::move(change));
        emit changed();
    }
}

void DataControlClipboard::beginDelivery()
{
    ++m_deliveries;
}

void DataControlClipboard::endDelivery()
{
    if (m_deliveries <= m_changes.size()) {
        const auto handed = m_changes.begin() + static_cast<std::ptrdiff_t>(m_deliveries - 1);
        // Nobody read it (collecting is off).
        if (handed->transfer.valid())
            drain(handed->transfer.release());
        m_changes.erase(handed);
    }
    --m_deliveries;
}

void DataControlClipboard::setChangesRead(bool read)
{
    const std::lock_guard lock(m_lock);
    m_connection->setAskForText(read);
}

void DataControlClipboard::drain(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    auto* deadline = new QTimer(notifier);
    const auto finish = [notifier, deadline, fd] {
        deadline->stop();
        notifier->setEnabled(false);
        ::close(fd);
        notifier->deleteLater();
    };
    connect(notifier, &QSocketNotifier::activated, notifier, [fd, finish] {
        char buffer[65536];
        ssize_t count;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
        }
        if (count == 0 || (errno != EAGAIN && errno != EINTR))
            finish();
    });
    // An owner that never ends its data is left to find the pipe closed.
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, notifier, finish);
    deadline->start(10000);
}

void DataControlClipboard::offerText(const std::string& text)
{
    m_lastCopy = text;
    const QByteArray utf8 = fromLocalBytes(text).toUtf8();
    const std::lock_guard lock(m_lock);
    m_connection->offerText(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    wl_display_flush(m_connection->display());
}

void DataControlClipboard::writeText(const std::string& text)
{
    // Both clipboards get the copy, one after the other. Xwayland passes a
    // new Wayland selection on to X11 by taking the X11 clipboard, and an X11
    // copy on to Wayland by asking the X11 owner for its formats; an X11 copy
    // made first, answered after Xwayland took the X11 clipboard for the
    // Wayland one, left Xwayland offering a copy of its own, which it cannot
    // read. So the Wayland selection comes first, and the X11 clipboard
    // takes the copy only once Xwayland has taken it (or nothing did). X11
    // programs then read the program itself, which Xwayland allows whichever
    // window has the focus; the Wayland selection stays the program's offer,
    // or becomes Xwayland's copy of the X11 one, which it reads from the
    // program.
    offerText(text);
    m_pendingX11Copy = fromLocalBytes(text);
    m_x11CopyDeadline.start();
}

void DataControlClipboard::takeX11Clipboard()
{
    m_x11CopyDeadline.stop();
    const QString text = *std::exchange(m_pendingX11Copy, std::nullopt);
    // A copy made by someone else since then replaced the program's own: it
    // is theirs to offer.
    {
        const std::lock_guard lock(m_lock);
        if (!m_connection->ownOfferStands())
            return;
    }
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QString::fromLatin1(kOwnCopyFormat), QByteArrayLiteral("1"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

ClipboardText DataControlClipboard::read(std::chrono::milliseconds timeout)
{
    // The change being handed on is read from the transfer asked for when it
    // came, whatever has replaced it since.
    // (Asked for only while changes are read; otherwise the current content
    // is all there is.)
    if (m_deliveries > 0 && m_deliveries <= m_changes.size()) {
        Change& change = m_changes[m_deliveries - 1];
        if (!change.text && (change.secret || change.type.empty()))
            change.text = ClipboardText{{}, change.secret};
        else if (!change.text && change.asked)
            change.text = finishTransfer(change.transfer.release(), change.type, timeout);
        if (change.text)
            return *change.text;
    }
    Change current;
    {
        const std::lock_guard lock(m_lock);
        std::vector<std::string> types;
        const bool selected = m_connection->selectionTypes(types);
        // The program's own copy, offered here or passed on by Xwayland from
        // the X11 clipboard: it is the text last copied.
        if (m_connection->ownSelectionIsCurrent() || (selected && offersOwnCopy(types)))
            return ClipboardText{m_lastCopy, false};
        if (!selected)
            return {};
        current = m_connection->askForCurrentText();
        wl_display_flush(m_connection->display());
    }
    if (!current.asked)
        return ClipboardText{{}, current.secret};
    return finishTransfer(current.transfer.release(), current.type, timeout);
}

ClipboardText DataControlClipboard::finishTransfer(int fd, const std::string& type, std::chrono::milliseconds timeout)
{
    if (fd < 0)
        throw Error(kCannotOpenClipboard);
    std::string bytes;
    const Transfer transfer = readAll(fd, std::chrono::steady_clock::now() + timeout, bytes);
    ::close(fd);
    if (transfer != Transfer::Complete)
        throw Error(kCannotOpenClipboard);
    // The text ends at its first zero byte, as a C string on the clipboard would.
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    ClipboardText result;
    result.text = toLocalBytes(textTypeIsLatin1(type) ? QString::fromLatin1(raw) : QString::fromUtf8(raw));
    return result;
}

} // namespace vornik
