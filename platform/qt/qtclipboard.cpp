#include "platform/qt/qtclipboard.h"

#include "platform/error.h"
#include "platform/qt/localtext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

namespace vornik {

QtClipboard::QtClipboard(QObject* parent) : ClipboardService(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            emit changed();
    });
}

ClipboardText QtClipboard::read(std::chrono::milliseconds)
{
    ClipboardText result;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return result;
    result.secret = data->hasFormat(QString::fromLatin1(kSecretHintFormat));
    if (!result.secret && data->hasText())
        result.text = toLocalBytes(data->text().section(QChar(0), 0, 0));
    return result;
}

void QtClipboard::writeText(const std::string& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(fromLocalBytes(text), QClipboard::Clipboard);
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !clipboard->ownsClipboard())
        throw Error(kCannotOpenClipboard);
}

} // namespace vornik
