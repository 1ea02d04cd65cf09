#include "platform/x11/x11clipboard.h"

#include "platform/error.h"
#include "platform/qt/qtclipboard.h"
#include "platform/qt/localtext.h"
#include "platform/x11/texttargets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <iconv.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace vornik {

namespace {

bool canConvertToUtf8(const std::string& charset)
{
    const iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(converter);
    return true;
}

// Bytes in the named charset as UTF-8. A byte sequence that is no character
// of the charset becomes a question mark, and an incomplete one at the end
// is left out, as a text converter for display would do.
QByteArray charsetToUtf8(const std::string& bytes, const std::string& charset)
{
    QByteArray out;
    const iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return out;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* next = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(converter, &in, &inLeft, &next, &outLeft);
        out.append(buffer, next - buffer);
        if (done != static_cast<std::size_t>(-1))
            break;
        if (errno == EILSEQ) {
            out.append('?');
            ++in;
            --inLeft;
        } else if (errno != E2BIG) {
            break;
        }
    }
    iconv_close(converter);
    return out;
}

// Reads the CLIPBOARD selection over a connection of its own, so that a read
// can give up after a timeout instead of waiting as long as the owner likes.
// Qt's own clipboard waits up to five seconds and then reports an empty
// clipboard, which cannot be told apart from one without text.
//
// An owner may still answer after a read gave up. Each read therefore asks
// from a window of its own, destroyed when the read ends, so that a late
// answer finds no window to write to, and takes only the notice that matches
// its request in window, selection, target, property and time; whatever an
// earlier read left queued is dropped.
class X11Reader {
public:
    X11Reader()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return;
        m_clipboard = atom("CLIPBOARD");
        m_targets = atom("TARGETS");
        m_utf8 = atom("UTF8_STRING");
        m_incr = atom("INCR");
        m_property = atom("VORNIK_CLIPBOARD");
        m_secretHint = atom(kSecretHintFormat);
    }

    ~X11Reader()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    X11Reader(const X11Reader&) = delete;
    X11Reader& operator=(const X11Reader&) = delete;

    // False where the reader could not connect.
    bool available() const { return m_display != nullptr; }

    // Throws Error("Cannot open clipboard") when the owner does not deliver
    // the text within the timeout.
    ClipboardText read(std::chrono::milliseconds timeout)
    {
        ClipboardText result;
        if (XGetSelectionOwner(m_display, m_clipboard) == None)
            return result;
        m_deadline = std::chrono::steady_clock::now() + timeout;
        const RequestWindow window(*this);
        if (!fetchTimestamp())
            throw Error(kCannotOpenClipboard);
        Answer answer;
        if (!convert(m_targets, answer))
            throw Error(kCannotOpenClipboard);
        Atom wanted = None;
        if (answer.refused || answer.format != 32) {
            // An owner that cannot list its targets is asked for the two
            // text forms every X11 program knows, in turn.
            for (Atom target : {m_utf8, Atom(XA_STRING)}) {
                if (!convert(target, answer))
                    throw Error(kCannotOpenClipboard);
                if (!answer.refused) {
                    wanted = target;
                    break;
                }
            }
            if (wanted == None)
                return result;
        } else {
            std::vector<Atom> targets(answer.bytes.size() / sizeof(long));
            for (std::size_t i = 0; i < targets.size(); ++i) {
                long value = 0;
                std::memcpy(&value, answer.bytes.data() + i * sizeof(long), sizeof(long));
                targets[i] = static_cast<Atom>(value);
            }
            result.secret = std::find(targets.begin(), targets.end(), m_secretHint) != targets.end();
            if (result.secret)
                return result;
            wanted = chooseTarget(targets);
            if (wanted == None)
                return result;
            if (!convert(wanted, answer))
                throw Error(kCannotOpenClipboard);
            if (answer.refused)
                return result;
        }
        const QString text = decode(answer, atomName(wanted));
        // The text ends at its first zero character, as a C string on the clipboard would.
        result.text = toLocalBytes(text.section(QChar(0), 0, 0));
        return result;
    }

private:
    // What an owner answered to one request.
    struct Answer {
        bool refused = true;
        Atom type = None;
        int format = 0;
        std::string bytes;
    };

    // The window a read asks from, alive for that read only.
    class RequestWindow {
    public:
        explicit RequestWindow(X11Reader& reader) : m_reader(reader)
        {
            Display* display = reader.m_display;
            reader.m_window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
            XSelectInput(display, reader.m_window, PropertyChangeMask);
        }
        ~RequestWindow()
        {
            XDestroyWindow(m_reader.m_display, m_reader.m_window);
            XFlush(m_reader.m_display);
            m_reader.m_window = None;
        }
        RequestWindow(const RequestWindow&) = delete;
        RequestWindow& operator=(const RequestWindow&) = delete;

    private:
        X11Reader& m_reader;
    };

    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    std::string atomName(Atom value)
    {
        char* name = value == None ? nullptr : XGetAtomName(m_display, value);
        if (!name)
            return {};
        std::string copy(name);
        XFree(name);
        return copy;
    }

    Atom chooseTarget(const std::vector<Atom>& targets)
    {
        std::vector<Atom> known;
        std::vector<std::string> names;
        for (Atom target : targets)
            if (std::string name = atomName(target); !name.empty()) {
                known.push_back(target);
                names.push_back(std::move(name));
            }
        const std::optional<std::string> chosen = chooseTextTarget(names, canConvertToUtf8);
        if (!chosen)
            return None;
        return known[static_cast<std::size_t>(std::find(names.begin(), names.end(), *chosen) - names.begin())];
    }

    QString decode(const Answer& answer, const std::string& target)
    {
        const TextDecoding decoding = textDecoding(target, atomName(answer.type));
        if (decoding.encoding == TextEncoding::CompoundText)
            return QString::fromUtf8(compoundTextToUtf8(answer));
        const QByteArray raw(answer.bytes.data(), static_cast<qsizetype>(answer.bytes.size()));
        if (decoding.charset == "UTF-8")
            return QString::fromUtf8(raw);
        if (decoding.charset == "ISO-8859-1")
            return QString::fromLatin1(raw);
        return QString::fromUtf8(charsetToUtf8(answer.bytes, decoding.charset));
    }

    QByteArray compoundTextToUtf8(const Answer& answer)
    {
        XTextProperty property{reinterpret_cast<unsigned char*>(const_cast<char*>(answer.bytes.data())), answer.type,
                               8, answer.bytes.size()};
        char** list = nullptr;
        int count = 0;
        QByteArray text;
        // Zero bytes separate the strings of a list; the text ends at the
        // first, so the first string is all of it.
        if (Xutf8TextPropertyToTextList(m_display, &property, &list, &count) >= 0 && list) {
            if (count > 0)
                text = QByteArray(list[0]);
            XFreeStringList(list);
        }
        return text;
    }

    // Waits for an event matching the predicate until the deadline; events
    // that do not match are dropped.
    template <typename Predicate>
    bool waitFor(XEvent& event, Predicate matches)
    {
        for (;;) {
            while (XPending(m_display)) {
                XNextEvent(m_display, &event);
                if (matches(event))
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
            poll(&descriptor, 1, static_cast<int>(left.count()));
        }
    }

    // Owners are to be asked with a real server time rather than
    // CurrentTime; appending nothing to a property of the request window
    // yields one.
    bool fetchTimestamp()
    {
        XChangeProperty(m_display, m_window, m_property, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XFlush(m_display);
        XEvent event;
        if (!waitFor(event, [&](const XEvent& e) {
                return e.type == PropertyNotify && e.xproperty.window == m_window && e.xproperty.atom == m_property;
            }))
            return false;
        m_time = event.xproperty.time;
        return true;
    }

    // Asks the owner for the selection in the given target and collects the
    // answer, also when it comes in pieces (INCR). False on timeout.
    bool convert(Atom target, Answer& answer)
    {
        answer = Answer{};
        XDeleteProperty(m_display, m_window, m_property);
        XConvertSelection(m_display, m_clipboard, target, m_property, m_window, m_time);
        XFlush(m_display);
        XEvent event;
        if (!waitFor(event, [&](const XEvent& e) {
                const XSelectionEvent& s = e.xselection;
                return e.type == SelectionNotify && s.requestor == m_window && s.selection == m_clipboard &&
                       s.target == target && (s.property == m_property || s.property == None) && s.time == m_time;
            }))
            return false;
        if (event.xselection.property == None)
            return true; // refused: nothing of that kind
        answer.refused = false;
        if (!takeProperty(answer) || answer.type != m_incr)
            return true;
        // Large data arrives in chunks: each deletion of the property asks for
        // the next one, and an empty chunk ends the transfer.
        answer.bytes.clear();
        std::string whole;
        for (;;) {
            if (!waitFor(event, [&](const XEvent& e) {
                    return e.type == PropertyNotify && e.xproperty.window == m_window &&
                           e.xproperty.atom == m_property && e.xproperty.state == PropertyNewValue;
                }))
                return false;
            if (!takeProperty(answer) || answer.bytes.empty()) {
                answer.bytes = std::move(whole);
                return true;
            }
            whole += answer.bytes;
        }
    }

    // Reads and deletes the transfer property.
    bool takeProperty(Answer& answer)
    {
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        answer.bytes.clear();
        if (XGetWindowProperty(m_display, m_window, m_property, 0, 0x1FFFFFFF, True, AnyPropertyType, &answer.type,
                               &answer.format, &count, &remaining, &data) != Success)
            return false;
        if (data) {
            // Format-32 data comes as longs in client memory, whatever their size.
            const std::size_t unit = answer.format == 32 ? sizeof(long) : static_cast<std::size_t>(answer.format / 8);
            answer.bytes.assign(reinterpret_cast<const char*>(data), count * unit);
            XFree(data);
        }
        return true;
    }

    Display* m_display = nullptr;
    Window m_window = None;
    Time m_time = CurrentTime;
    std::chrono::steady_clock::time_point m_deadline;
    Atom m_clipboard = None, m_targets = None, m_utf8 = None, m_incr = None, m_property = None, m_secretHint = None;
};

// Qt's clipboard, read through the reader where it can.
class X11Clipboard final : public QtClipboard {
public:
    ClipboardText read(std::chrono::milliseconds timeout) override
    {
        // While this program owns the clipboard it would have to answer its
        // own request from inside the wait, so the content is read from Qt
        // directly.
        if (!m_reader.available() || QGuiApplication::clipboard()->ownsClipboard())
            return QtClipboard::read(timeout);
        return m_reader.read(timeout);
    }

private:
    X11Reader m_reader;
};

} // namespace

std::unique_ptr<ClipboardService> openX11Clipboard()
{
    return std::make_unique<X11Clipboard>();
}

} // namespace vornik
