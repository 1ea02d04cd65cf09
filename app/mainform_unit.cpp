#include "app/mainform_unit.h"

#include "app/application.h"
#include "app/pointeraids.h"
#include "app/spacingrulertool.h"
#include "collector/collectionpass.h"
#include "collector/emaillist.h"
#include "platform/clipboard.h"
#include "platform/posix/files.h"
#include "platform/posix/processmemory.h"
#include "platform/qt/localtext.h"
#include "platform/qt/messageboxes.h"
#include "platform/qt/primaryscreen.h"
#include "platform/qt/windowimage.h"
#include "platform/screencapture.h"
#include "platform/x11/fullscreen.h"
#include "screentools/agg2d.h"
#include "screentools/areaexport.h"
#include "screentools/colourformats.h"
#include "screentools/htmlcolor.h"
#include "screentools/picturebox.h"
#include "screentools/picturefilter.h"
#include "screentools/readouts.h"
#include "widgets/styledpopupmenu.h"
#include "widgets/trayicon.h"

#include <QBackingStore>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vornik {

// What the clipboard-viewer registration returned: the viewer that was first
// in the chain before this program joined. The desktop here has no viewer
// chain, so there is never a next viewer to pass a notification on to.
void* nextviewer = nullptr;

// The tray icon's view of the tray menu.
class TrayMenuAdapter : public TTrayPopupMenu {
public:
    explicit TrayMenuAdapter(TStyledPopupMenu& menu) : m_menu(menu) {}
    bool AutoPopup() const override { return m_menu.AutoPopup; }
    void setPopupComponent(QObject* component) override { m_menu.PopupComponent = component; }
    int itemCount() const override { return m_menu.Items()->Count(); }
    bool itemDefault(int index) const override { return m_menu.Items()->Items(index)->Default; }
    bool itemEnabled(int index) const override { return m_menu.Items()->Items(index)->Enabled; }
    void clickItem(int index) override { m_menu.Items()->Items(index)->Click(); }
    void Popup(int x, int y) override { m_menu.Popup(x, y); }

    std::vector<TrayMenuEntry> trayMenuEntries() const override { return exportedTrayMenuEntries(m_menu); }

private:
    TStyledPopupMenu& m_menu;
};

int askconfirm(const std::string& text)
{
    return questionYesNoCancel("Confirm", text);
}

int virtualKeyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_F2:
        return VK_F2;
    case Qt::Key_F3:
        return VK_F3;
    case Qt::Key_F4:
        return VK_F4;
    case Qt::Key_F5:
        return VK_F5;
    case Qt::Key_F6:
        return VK_F6;
    case Qt::Key_F7:
        return VK_F7;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    default:
        return 0;
    }
}

namespace {

// A pixel of the capture as the desktop's pixel read returns it: 0x00BBGGRR,
// or the invalid colour 0xFFFFFFFF outside the capture.
std::uint32_t capturedPixel(const Bitmap& capture, int x, int y)
{
    if (capture.empty() || capture.bitsPerPixel() != 32 || x < 0 || y < 0 || x >= capture.width() ||
        y >= capture.height())
        return 0xFFFFFFFF;
    const std::uint32_t argb = capture.pixel32(x, y);
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

// How many device pixels of the window the capture is spread over: none
// (its natural size) where it holds the primary screen's own pixels, as on
// X11; the screen's size where the window system gives the program's windows
// another number of pixels than the capture has, as on a scaled Wayland
// output, so that the window shows the whole screen lined up with it.
QSize shownSizeOf(const Bitmap& capture)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || capture.empty())
        return {};
    const double dpr = screen->devicePixelRatio();
    const int width = qRound(screen->geometry().width() * dpr);
    const int height = qRound(screen->geometry().height() * dpr);
    // Qt keeps the screen's size in logical pixels: on a fractional scale the
    // device size comes back from it only to within the rounding.
    const int slack = static_cast<int>(std::ceil(dpr));
    if (std::abs(width - capture.width()) <= slack && std::abs(height - capture.height()) <= slack)
        return {};
    return {width, height};
}

} // namespace

TForm1::TForm1()
{
    setWindowTitle(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(applicationIcon());
    setGeometry(192, 114, 862, 466);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setAutoFillBackground(true);

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) { Image1MouseDown(b, s, x, y); };
    Image1->onMouseMove = [this](Qt::KeyboardModifiers, int x, int y) { pointerMoved(x, y); };
    m_moveTimer.setSingleShot(true);
    connect(&m_moveTimer, &QTimer::timeout, this, &TForm1::showWaitingMove);
    Image1->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) { Image1MouseUp(b, s, x, y); };

    const InfoPanel panel = createInfoPanel(this);
    GradientPanel1 = panel.GradientPanel1;
    mousexy = panel.mousexy;
    pixelcolor = panel.pixelcolor;
    rectangle = panel.rectangle;
    Label1 = panel.Label1;
    GradientPanel1->raise();
    m_aids = std::make_unique<PointerAids>(*this);
    m_ruler = std::make_unique<SpacingRulerTool>(*this, *Image1);

    popup = std::make_unique<TStyledPopupMenu>(this);
    const TrayMenuItems items = createTrayMenu(*popup);
    menu_emailcollect = items.menu_emailcollect;
    Colorpickersizecuttools1 = items.Colorpickersizecuttools1;
    menu_vege = items.menu_vege;
    menu_kilepes = items.menu_kilepes;
    Colorpickersizecuttools1->OnClick = [this](QObject* sender) { Colorpickersizecuttools1Click(sender); };
    menu_kilepes->OnClick = [this](QObject* sender) { menu_kilepesClick(sender); };
    // The clipboard asks new copies for their text only while they are
    // collected.
    menu_emailcollect->OnClick = [this, toggle = menu_emailcollect->OnClick](QObject* sender) {
        toggle(sender);
        if (m_clipboard)
            m_clipboard->setChangesRead(collecting());
    };
    m_trayMenu = std::make_unique<TrayMenuAdapter>(*popup);

    trayicon = std::make_unique<TTrayIcon>(this);
    trayicon->setObjectName(QStringLiteral("trayicon"));
    trayicon->OnException = [](const std::exception& error) { showDefaultException(error); };
    trayicon->setHint("Press right click to open menu");
    trayicon->setIcon(TIcon(applicationIcon()));
    trayicon->setPopupMenu(m_trayMenu.get());
    trayicon->OnDblClick = [this](QObject* sender) { trayiconDblClick(sender); };

    Timer1.setInterval(10);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    SavePictureDialog1.setDefaultExt("*.jpg");
    SavePictureDialog1.setFilter(buildPictureFilter(registeredPictureFormats()));
    SavePictureDialog1.setFilterIndex(1);
    SavePictureDialog1.setShownOver(this);

    // The window sees every key before its focused control does: the filter
    // sits on the native window, which receives a key first and then hands
    // it to the focused widget.
    create();
    windowHandle()->installEventFilter(this);

    // An exception in the creation handler is shown like any other, and
    // cuts the handler short; the window is still created.
    try {
        FormCreate();
    } catch (const std::exception& error) {
        showDefaultException(error);
    }
    trayicon->Loaded();
}

TForm1::~TForm1()
{
    if (QWindow* window = windowHandle())
        window->removeEventFilter(this);
    FormDestroy();
    // The icon leaves the tray before the menu it refers to goes.
    trayicon.reset();
    m_trayMenu.reset();
}

void TForm1::FormCreate()
{
    Tag = kTagJustCreated;
    toolmode.clear();
    agg = std::make_unique<TAgg2D>();
    screenshot = std::make_unique<Bitmap>();

    m_clipboard = std::make_unique<Clipboard>();
    m_clipboard->setChangesRead(collecting());
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
        m_exposedSinceShown = false;
        m_shownFullScreen = isFullScreen();
        break;
    default:
        break;
    }
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Hide)
        releaseScreenSizedBuffers();
    return handled;
}

// The window's image gave its memory back when the window hid; taking it
// back in one go is cheaper than a page fault for each page of the first
// frame. An image of another size is replaced at the first paint anyway.
void TForm1::prepareWindowImage()
{
    QImage* image = windowImageOf(*this);
    if (image == nullptr || backingStore()->size() != size())
        return;
    preparePages(const_cast<uchar*>(image->constBits()), static_cast<std::size_t>(image->sizeInBytes()));
}

void TForm1::releaseScreenSizedBuffers()
{
    // The window covers the screen whenever it shows, at start-up and as the
    // tool window, so its image (the backing store) is a screen-sized frame,
    // and so is a picture the box may hold. Hidden, the program lives in the
    // tray for hours: the picture goes, and so does the memory under the
    // image, which the next showing paints whole anyway. The capture stays,
    // as the readouts and the export of the closed tool window's state still
    // refer to it.
    Image1->clearPicture();
    // The backing store object itself stays: making a new one at the next
    // showing (a shared memory segment the X server attaches) costs that
    // showing more than taking its pages back does.
    // A window that hid before its first paint has nothing to give back.
    QBackingStore* store = backingStore();
    if (store != nullptr && !store->size().isEmpty()) {
        if (QImage* image = windowImageOf(*this))
            releasePages(const_cast<uchar*>(image->constBits()), static_cast<std::size_t>(image->sizeInBytes()));
        else
            store->resize(QSize(1, 1));
    }
    returnFreedMemory();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // WORKAROUND: a window manager may map a window without ever making it
    // active. The window's first exposure after showing, the moment it is on
    // the screen, counts as an activation too. Its first paint request does
    // not: Qt makes that at once, before a busy window manager has granted
    // the map, and a window hidden then is still mapped by the manager
    // afterwards and stays on the screen. Mapped, a full-screen window asks
    // the manager for full screen once more, in case it missed the request
    // the window carried when it was mapped.
    if (watched == windowHandle() && event->type() == QEvent::Expose && !m_exposedSinceShown && isVisible() &&
        windowHandle()->isExposed()) {
        m_exposedSinceShown = true;
        if (m_shownFullScreen)
            keepFullScreen();
        FormActivate();
    }
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        FormKeyDown(virtualKeyOf(key->key()), key->modifiers());
    }
    return false; // the focused control still gets the key
}

// Sway, busy, now and then maps the tool window shown again soon after its
// hiding tiled and writes the window's state without full screen, which Qt
// takes over as the window's own state before the window's first exposure:
// asked by Qt's state, the window then asked nothing. So the state the window
// was shown in decides, and a Qt state that lost full screen is set again,
// which asks the manager anew and keeps Qt's state and the window's in step.
void TForm1::keepFullScreen()
{
    if (!isVisible())
        return;
    if (isFullScreen())
        requestFullScreen(*windowHandle());
    else
        setWindowState(windowState() | Qt::WindowFullScreen);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    Image1->setGeometry(rect());
    QWidget::resizeEvent(event);
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
    // A move still waiting for its frame has no window left to show it in.
    m_waitingMove.reset();
    m_moveTimer.stop();
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
    agg.reset();
    emaillist.reset();
}

void TForm1::menu_kilepesClick(QObject*)
{
    if (askconfirm("Are you sure?") == IDYES) {
        Tag = kTagExitConfirmed;
        close();
    }
}

void TForm1::trayiconDblClick(QObject* sender)
{
    Colorpickersizecuttools1Click(sender);
}

void TForm1::Colorpickersizecuttools1Click(QObject*)
{
    // A capture may wait for the desktop's answer while the event loop runs;
    // a second request in that time (another click on the panel's icon) is
    // the same request and is dropped.
    if (m_capturing)
        return;
    m_capturing = true;
    const auto done = qScopeGuard([this] { m_capturing = false; });
    // The capture reuses the memory of the previous opening: a screen-sized
    // allocation costs more than the copy itself. A capture that can say why
    // it failed raises the reason before anything here changes, so the window
    // does not open over no picture.
    getscreenshot(*screenshot);
    if (screenshot->empty()) {
        Image1->clearPicture();
    } else if (m_fullRedraw || screenshot->bitsPerPixel() != 32) {
        Image1->setPicture(*screenshot);
    } else {
        // The window's own pixels are the picture: the box has the capture
        // and the overlay drawn into them wherever it paints, so no further
        // screen-sized copy is kept.
        m_shownOverlay.reset();
        Image1->setPixelSource(screenshot->width(), screenshot->height(),
                               [this](std::uint8_t* firstRow, std::ptrdiff_t stride, int width, int height,
                                      const std::vector<PixelRect>& rects) {
                                   if (agg->AttachPixels(firstRow, width, height, stride))
                                       drawOverlayWithin(*agg, *screenshot,
                                                         m_shownOverlay ? &*m_shownOverlay : nullptr, rects);
                               });
    }
    Image1->setShownSize(shownSizeOf(*screenshot));
    // The picture now holds the plain capture: the first move draws only its shapes.
    m_overlay.reset(true);
    m_aids->opened();
    m_ruler->opened();
    toolmode = "screentools";
    selx1 = -1;
    coverPrimaryScreen(this);
    prepareWindowImage();
    showFullScreen();
    raise();
    activateWindow();
}

void TForm1::FormKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (toolmode != "screentools")
        return;
    showWaitingMove();
    if (key == VK_ESCAPE)
        close();
    if (key == VK_F2)
        copyReadout(mousexy);
    if (key == VK_F3) {
        // Shift and Alt pick another form of the colour; any other modifier
        // leaves F3 as it is.
        if (shift & (Qt::ShiftModifier | Qt::AltModifier))
            copyColour(shift);
        else
            copyReadout(pixelcolor);
    }
    if (key == VK_F4)
        copyReadout(rectangle);
    if (key == VK_F5)
        exportArea();
    if (key == VK_F6)
        m_aids->toggleLoupe();
    if (key == VK_F7)
        toggleRuler();
    if ((key == VK_PRIOR || key == VK_NEXT) && m_ruler->shown())
        changeTolerance((key == VK_PRIOR ? 1 : -1) * (shift.testFlag(Qt::ShiftModifier) ? 10 : 1));
    if (key >= VK_LEFT && key <= VK_DOWN)
        m_aids->step(key == VK_LEFT ? -1 : key == VK_RIGHT ? 1 : 0, key == VK_UP ? -1 : key == VK_DOWN ? 1 : 0, shift);
}

void TForm1::copyReadout(const TLabeledEdit* box)
{
    m_clipboard->writeText(toLocalBytes(box->text()));
    close();
}

void TForm1::copyColour(Qt::KeyboardModifiers shift)
{
    // The colour the box shows, in the other form; a text that is no colour
    // (the box is an edit box) is copied as it stands, as F3 would.
    std::string text = toLocalBytes(pixelcolor->text());
    if (const auto colour = parseHtmlColour(text))
        text = shift.testFlag(Qt::AltModifier) ? hslColourText(*colour) : rgbColourText(*colour);
    m_clipboard->writeText(text);
    close();
}

void TForm1::toggleRuler()
{
    m_ruler->toggle();
    // Until the first move the point is the previous opening's: the ruler
    // starts from where the pointer stands instead, through the move it
    // makes, which measures and draws.
    if (m_ruler->shown() && m_aids->settlePoint())
        return;
    if (!m_ruler->shown())
        rectangle->setText(fromLocalBytes(selectionSizeText(selx1, sely1, selx2, sely2)));
    measureRuler();
    drawit();
}

void TForm1::changeTolerance(int delta)
{
    m_ruler->changeTolerance(delta, {mousex, mousey});
    measureRuler();
    drawit();
}

void TForm1::measureRuler()
{
    m_ruler->measure(*screenshot, {mousex, mousey});
    if (m_ruler->spans())
        rectangle->setText(fromLocalBytes(spacingSizeText(*m_ruler->spans())));
}

void TForm1::exportArea()
{
    const ExportResult result = exportSelectedArea(*screenshot, selx1, sely1, selx2, sely2,
                                                   [this]() -> std::optional<std::string> {
                                                       const bool chosen = SavePictureDialog1.Execute();
                                                       // The tool window stays open unless the
                                                       // picture is saved.
                                                       keepFullScreen();
                                                       if (!chosen)
                                                           return std::nullopt;
                                                       return SavePictureDialog1.FileName();
                                                   });
    if (result == ExportResult::NoSelection)
        informationBox(kApplicationTitle, kSelectAreaWithMouseDrag);
    else if (result == ExportResult::Saved)
        close();
}

void TForm1::pointerMoved(int X, int Y)
{
    // A pointer reporting at 125 Hz or more sends moves faster than the
    // screen shows frames; drawing each would cost twice the work for
    // frames never seen.
    m_waitingMove = {X, Y};
    const QScreen* screen = Image1->screen();
    const double hertz = screen && screen->refreshRate() > 1 ? screen->refreshRate() : 60.0;
    const qint64 frame = static_cast<qint64>(1e9 / hertz);
    const qint64 due = m_sinceFrame.isValid() ? frame - m_sinceFrame.nsecsElapsed() : 0;
    if (due <= 0 || m_fullRedraw)
        showWaitingMove();
    else if (!m_moveTimer.isActive())
        m_moveTimer.start(static_cast<int>((due + 999'999) / 1'000'000));
}

void TForm1::showWaitingMove()
{
    if (!m_waitingMove)
        return;
    const auto [x, y] = *m_waitingMove;
    m_sinceFrame.start();
    Image1MouseMove({}, x, y);
    if (m_aids)
        m_aids->pointerShown();
}

void TForm1::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)
{
    showWaitingMove();
    selx1 = X;
    sely1 = Y;
    selecting = true;
}

void TForm1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    showWaitingMove();
    selecting = false;
}

void TForm1::Image1MouseMove(Qt::KeyboardModifiers, int X, int Y)
{
    // This move is newer than one still waiting for its frame.
    m_waitingMove.reset();
    m_moveTimer.stop();
    mousexy->setText(fromLocalBytes(positionText(X, Y)));
    // The size is that of the selection as this move leaves it, the one the
    // box shows and F5 saves, not one move behind it.
    if (selecting) {
        selx2 = X;
        sely2 = Y;
    }
    rectangle->setText(fromLocalBytes(selectionSizeText(selx1, sely1, selx2, sely2)));
    pixelcolor->setText(fromLocalBytes(htmlcolor(capturedPixel(*screenshot, X, Y))));
    mousex = X;
    mousey = Y;
    measureRuler();
    drawit();
}

void TForm1::drawit()
{
    OverlayState state{mousex, mousey, selx1, sely1, selx2, sely2};
    if (const auto& spans = m_ruler->spans()) {
        state.ruler = true;
        state.spans = *spans;
        // The figures and lines grow with the screen's scale, so that they
        // read the same on a dense screen.
        state.rulerScale = 2 * std::max(1, static_cast<int>(std::lround(Image1->devicePixelRatioF())));
    }
    if (m_fullRedraw) {
        // The reference for measurements: the whole overlay redrawn and the
        // whole picture repainted on every move.
        if (drawFull(*agg, Image1->picture(), *screenshot, state))
            Image1->repaint();
        return;
    }
    if (Image1->hasPixelSource()) {
        // The box draws the overlay itself as it paints: what changes is
        // repainted at once, so the window never shows an older state.
        const std::vector<PixelRect> changed =
            overlayChanges(m_shownOverlay ? &*m_shownOverlay : nullptr, state, screenshot->width(), screenshot->height());
        m_shownOverlay = state;
        Image1->repaintRects(changed);
        return;
    }
    const std::vector<PixelRect> changed = m_overlay.draw(*agg, Image1->picture(), *screenshot, state);
    Image1->repaintRects(changed);
}

bool TForm1::collecting() const
{
    return menu_emailcollect && menu_emailcollect->Checked;
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
