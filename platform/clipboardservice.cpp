#include "platform/clipboard.h"

#include "platform/backends.h"
#include "platform/clipboardwatcher.h"
#include "platform/error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

namespace vornik {

Clipboard::Clipboard(QObject* parent) : QObject(parent)
{
    ClipboardBackends backends = openClipboardBackends();
    m_watcher = std::move(backends.watcher);
    m_reader = std::move(backends.reader);
    if (m_watcher) {
        connect(m_watcher.get(), &ClipboardWatcher::changed, this, &Clipboard::changed, Qt::QueuedConnection);
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
        auto* data = new QMimeData;
        data->setText(unicode);
        data->setData(QString::fromLatin1(kOwnCopyFormat), QByteArrayLiteral("1"));
        clipboard->setMimeData(data, QClipboard::Clipboard);
    } else {
        clipboard->setText(unicode, QClipboard::Clipboard);
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !clipboard->ownsClipboard())
        throw Error(kCannotOpenClipboard);
    // Xwayland passes an X11 copy on to native programs only while one of
    // its windows has the focus, and the tool window closes with the copy.
    if (m_watcher)
        m_watcher->offerText(text);
}

} // namespace vornik
