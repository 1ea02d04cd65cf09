#include "platform/clipboard.h"

#include "platform/clipboardwatcher.h"
#include "platform/error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <vector>

namespace vornik {

namespace {

constexpr const char* kSecretHintFormat = "x-kde-passwordManagerHint";

std::string toLocalBytes(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

// Reads the CLIPBOARD selection over a connection of its own, so that a read
// can give up after a timeout instead of waiting as long as the owner likes.
// Qt's own clipboard waits up to five seconds and then reports an empty
// clipboard, which cannot be told apart from one without text.
class Clipboard::X11Reader {
public:
    X11Reader()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(m_display, m_window, PropertyChangeMask);
        m_clipboard = atom("CLIPBOARD");
        m_targets = atom("TARGETS");
        m_utf8 = atom("UTF8_STRING");
        m_textPlainUtf8 = atom("text/plain;charset=utf-8");
        m_incr = atom("INCR");
        m_property = atom("VORNIK_CLIPBOARD");
        m_secretHint = atom(kSecretHintFormat);
    }

    ~X11Reader()
    {
        if (m_display) {
            XDestroyWindow(m_display, m_window);
            XCloseDisplay(m_display);
        }
    }

    bool available() const { return m_display != nullptr; }

    ClipboardText read(std::chrono::milliseconds timeout)
    {
        ClipboardText result;
        if (XGetSelectionOwner(m_display, m_clipboard) == None)
            return result;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::vector<Atom> targets;
        std::string bytes;
        if (!convert(m_targets, deadline, bytes))
            throw Error(kCannotOpenClipboard);
        targets.resize(bytes.size() / sizeof(Atom));
        std::copy_n(bytes.data(), targets.size() * sizeof(Atom), reinterpret_cast<char*>(targets.data()));
        const auto offers = [&](Atom target) { return std::find(targets.begin(), targets.end(), target) != targets.end(); };
        result.secret = offers(m_secretHint);
        if (result.secret)
            return result;
        Atom wanted = None;
        for (Atom candidate : {m_utf8, m_textPlainUtf8, Atom(XA_STRING)})
            if (offers(candidate)) {
                wanted = candidate;
                break;
            }
        if (wanted == None)
            return result;
        if (!convert(wanted, deadline, bytes))
            throw Error(kCannotOpenClipboard);
        // The text ends at its first zero byte, as a C string on the clipboard would.
        bytes.resize(std::min(bytes.size(), bytes.find('\0')));
        const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
        result.text = toLocalBytes(wanted == XA_STRING ? QString::fromLatin1(raw) : QString::fromUtf8(raw));
        return result;
    }

private:
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    // Waits for an event matching the predicate until the deadline.
    template <typename Predicate>
    bool waitFor(XEvent& event, std::chrono::steady_clock::time_point deadline, Predicate matches)
    {
        for (;;) {
            while (XPending(m_display)) {
                XNextEvent(m_display, &event);
                if (matches(event))
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
            poll(&descriptor, 1, static_cast<int>(left.count()));
        }
    }

    // Asks the owner for the selection in the given target and collects the
    // answer, also when it comes in pieces (INCR). False on timeout.
    bool convert(Atom target, std::chrono::steady_clock::time_point deadline, std::string& out)
    {
        out.clear();
        XDeleteProperty(m_display, m_window, m_property);
        XConvertSelection(m_display, m_clipboard, target, m_property, m_window, CurrentTime);
        XFlush(m_display);
        XEvent event;
        if (!waitFor(event, deadline, [&](const XEvent& e) {
                return e.type == SelectionNotify && e.xselection.requestor == m_window;
            }))
            return false;
        if (event.xselection.property == None)
            return true; // refused: nothing of that kind
        Atom type = None;
        if (!takeProperty(out, type))
            return true;
        if (type != m_incr)
            return true;
        // Large data arrives in chunks: each deletion of the property asks for
        // the next one, and an empty chunk ends the transfer.
        out.clear();
        for (;;) {
            if (!waitFor(event, deadline, [&](const XEvent& e) {
                    return e.type == PropertyNotify && e.xproperty.window == m_window &&
                           e.xproperty.atom == m_property && e.xproperty.state == PropertyNewValue;
                }))
                return false;
            std::string chunk;
            if (!takeProperty(chunk, type) || chunk.empty())
                return true;
            out += chunk;
        }
    }

    // Reads and deletes the transfer property.
    bool takeProperty(std::string& out, Atom& type)
    {
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, m_window, m_property, 0, 0x1FFFFFFF, True, AnyPropertyType, &type, &format,
                               &count, &remaining, &data) != Success)
            return false;
        if (data) {
            // Format-32 data comes as longs in client memory, whatever their size.
            const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
            out.append(reinterpret_cast<const char*>(data), count * unit);
            XFree(data);
        }
        return true;
    }

    Display* m_display = nullptr;
    Window m_window = 0;
    Atom m_clipboard = None, m_targets = None, m_utf8 = None, m_textPlainUtf8 = None, m_incr = None,
         m_property = None, m_secretHint = None;
};

Clipboard::Clipboard(QObject* parent) : QObject(parent)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        m_watcher = openClipboardWatcher();
        if (m_watcher) {
            connect(m_watcher.get(), &ClipboardWatcher::changed, this, &Clipboard::changed, Qt::QueuedConnection);
            return;
        }
        m_reader = std::make_unique<X11Reader>();
    }
    // Qt announces a change from inside its handling of the X event, outside
    // any event delivery of the application object. Queued, the notice
    // arrives as an event of its own, so that a failure in the collection
    // pass reaches the application's exception display instead of ending the
    // program.
    connect(
        QGuiApplication::clipboard(), &QClipboard::changed, this,
        [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                emit changed();
        },
        Qt::QueuedConnection);
}

Clipboard::~Clipboard() = default;

ClipboardText Clipboard::read()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_watcher && !clipboard->ownsClipboard())
        return m_watcher->read(m_timeout);
    // While this program owns the clipboard it would have to answer its own
    // request from inside the wait, so the content is read from Qt directly.
    if (!m_reader || !m_reader->available() || clipboard->ownsClipboard()) {
        ClipboardText result;
        const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
        if (!data)
            return result;
        result.secret = data->hasFormat(QString::fromLatin1(kSecretHintFormat));
        if (!result.secret && data->hasText())
            result.text = toLocalBytes(data->text().section(QChar(0), 0, 0));
        return result;
    }
    return m_reader->read(m_timeout);
}

void Clipboard::writeText(const std::string& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())), QClipboard::Clipboard);
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !clipboard->ownsClipboard())
        throw Error(kCannotOpenClipboard);
}

} // namespace vornik
