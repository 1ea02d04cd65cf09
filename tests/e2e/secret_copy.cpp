// Puts a text on the clipboard together with the hint a password manager
// adds to secrets, and keeps serving it until killed.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    auto* data = new QMimeData;
    data->setText(QString::fromLocal8Bit(argc > 1 ? argv[1] : "secret@example"));
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    return application.exec();
}
