#include "platform/clipboard.h"

#include "platform/backends.h"
#include "platform/clipboardwatcher.h"
#include "platform/error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include <utility>

namespace vornik {

Clipboard::Clipboard(QObject* parent) : QObject(parent)
{
    ClipboardBackends backends = openClipboardBackends();
    m_watcher = std::move(backends.watcher);
    m_reader = std::move(backends.reader);
    if (m_watcher) {
        connect(m_watcher.get(), &ClipboardWatcher::changed, this, &Clipboard::changed, Qt::QueuedConnection);
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
        return;
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
    // The watcher tells the program's own copy from the selection itself. The
    // X11 clipboard is no guide there: a new copy on the Wayland side reaches
    // the watcher before Xwayland has taken the X11 clipboard from us.
    if (m_watcher)
        return m_watcher->read(m_timeout);
    QClipboard* clipboard = QGuiApplication::clipboard();
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
    const QString unicode = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    if (m_watcher) {
        // Both clipboards get the copy, one after the other. Xwayland passes
        // a new Wayland selection on to X11 by taking the X11 clipboard, and
        // an X11 copy on to Wayland by asking the X11 owner for its formats;
        // an X11 copy made first, answered after Xwayland took the X11
        // clipboard for the Wayland one, left Xwayland offering a copy of its
        // own, which it cannot read. So the Wayland selection comes first,
        // and the X11 clipboard takes the copy only once Xwayland has taken
        // it (or nothing did). X11 programs then read the program itself,
        // which Xwayland allows whichever window has the focus; the Wayland
        // selection stays the program's offer, or becomes Xwayland's copy of
        // the X11 one, which it reads from the program.
        m_watcher->offerText(text);
        m_pendingX11Copy = unicode;
        m_x11CopyDeadline.start();
        return;
    }
    clipboard->setText(unicode, QClipboard::Clipboard);
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !clipboard->ownsClipboard())
        throw Error(kCannotOpenClipboard);
}

void Clipboard::takeX11Clipboard()
{
    m_x11CopyDeadline.stop();
    const QString text = *std::exchange(m_pendingX11Copy, std::nullopt);
    // A copy made by someone else since then replaced the program's own: it
    // is theirs to offer.
    if (!m_watcher->offerStands())
        return;
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QString::fromLatin1(kOwnCopyFormat), QByteArrayLiteral("1"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

} // namespace vornik
