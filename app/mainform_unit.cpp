#include "app/mainform_unit.h"

#include "app/application.h"
#include "collector/collectionpass.h"
#include "collector/emaillist.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/files.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>

namespace vornik {

// What the clipboard-viewer registration returned: the viewer that was first
// in the chain before this program joined. The desktop here has no viewer
// chain, so there is never a next viewer to pass a notification on to.
void* nextviewer = nullptr;

int askconfirm(const std::string& text)
{
    return questionYesNoCancel("Confirm", text);
}

TForm1::TForm1()
{
    setWindowTitle(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setGeometry(192, 114, 862, 466);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setAutoFillBackground(true);

    Timer1.setInterval(10);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    // An exception in the creation handler is shown like any other, and
    // cuts the handler short; the window is still created.
    try {
        FormCreate();
    } catch (const std::exception& error) {
        showDefaultException(error);
    }
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::FormCreate()
{
    Tag = kTagJustCreated;
    toolmode.clear();
    screenshot = std::make_unique<Bitmap>();

    m_clipboard = std::make_unique<Clipboard>();
    connect(m_clipboard.get(), &Clipboard::changed, this, &TForm1::oncopy);
    // Joining the viewer chain announces the current content once; it runs no
    // pass because the collector is not ready yet.
    nextviewer = nullptr;
    oncopy();

    emaillist = std::make_unique<EmailList>();
    loadAddressStore(*emaillist, addressFilePath());

    ready = true;
}

void TForm1::showAtStartup()
{
    coverPrimaryScreen(this);
    showFullScreen();
}

bool TForm1::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        FormActivate();
        break;
    case QEvent::Show:
        m_paintedSinceShown = false;
        break;
    case QEvent::Paint:
        // WORKAROUND: a window manager may map a window without ever making it
        // active. The first paint after showing is the surest sign that the
        // window is on screen, so it counts as an activation too.
        if (!m_paintedSinceShown) {
            m_paintedSinceShown = true;
            FormActivate();
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TForm1::FormActivate()
{
    Timer1.start();
}

void TForm1::Timer1Timer()
{
    Timer1.stop();
    if (Tag == kTagJustCreated) {
        Tag = kTagRunning;
        // Hiding the window also removes its taskbar entry: on this desktop
        // the entry belongs to the mapped window itself.
        hide();
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose(event);
}

void TForm1::FormClose(QCloseEvent* event)
{
    hide();
    if (Tag == kTagExitConfirmed) {
        event->accept();
        QCoreApplication::quit();
        return;
    }
    event->ignore();
}

void TForm1::FormDestroy()
{
    screenshot.reset();
    emaillist.reset();
}

void TForm1::menu_kilepesClick(QObject*)
{
    if (askconfirm("Are you sure?") == IDYES) {
        Tag = kTagExitConfirmed;
        close();
    }
}

bool TForm1::collecting() const
{
    return true;
}

void TForm1::oncopy()
{
    if (ready && collecting())
        collectionPass();
    // Passing the notification on to nextviewer falls away: there is no chain.
}

void TForm1::collectionPass()
{
    const ClipboardText content = m_clipboard->read();
    // A password manager's secret is never collected, not even looked at.
    if (content.secret)
        return;
    collectInto(*emaillist, content.text);
    emaillist->SaveToFile(addressFilePath());
}

} // namespace vornik
