#include "platform/x11/x11screencapture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <exception>
#include <memory>

namespace vornik {
namespace {

// Copies rows of 32-bit pixels whose fourth byte is undefined. The display
// ignores that byte, but X servers leave the padding byte of depth-24 pixels
// as they like; an opaque 255 keeps it at 255 through the overlay's blend.
void copyOpaqueRows(Bitmap& into, const std::uint8_t* source, std::ptrdiff_t sourceStride, int width, int height)
{
    into.reshape(width, height, 32);
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const std::uint32_t*>(source + y * sourceStride);
        auto* to = reinterpret_cast<std::uint32_t*>(into.scanLine(y));
        for (int x = 0; x < width; ++x)
            to[x] = from[x] | 0xFF000000u;
    }
}

// The primary screen's rectangle on the X root window, in device pixels. Qt
// keeps a screen's top-left corner in device pixels and divides only its
// size by the scale.
QRect primaryScreenDeviceRect(const QScreen& screen, int rootWidth, int rootHeight)
{
    const QRect root(0, 0, rootWidth, rootHeight);
    if (QGuiApplication::screens().size() == 1)
        return root;
    const QRect logical = screen.geometry();
    const double dpr = screen.devicePixelRatio();
    const QRect device(logical.topLeft(), QSize(qRound(logical.width() * dpr), qRound(logical.height() * dpr)));
    return device.intersected(root);
}

// Errors of the requests between construction and destruction are recorded
// instead of ending the program, which is what Xlib's default handler does.
// The handler is process-wide, so it is put back at once.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display) : m_display(display), m_previous(XSetErrorHandler(&XErrorTrap::record))
    {
        s_error = Success;
    }
    ~XErrorTrap() { XSetErrorHandler(m_previous); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to handle everything sent so far; true when none
    // of it failed.
    bool sync()
    {
        XSync(m_display, False);
        return s_error == Success;
    }

private:
    static int record(Display*, XErrorEvent* event)
    {
        s_error = event->error_code;
        return 0;
    }

    static inline int s_error = Success;
    Display* m_display;
    XErrorHandler m_previous;
};

// Reads the root window through a shared memory segment, over a connection
// of its own so that its errors stay its own. The segment lives only as long
// as one capture: between openings the program holds no second copy of the
// screen.
class SharedMemoryReader {
public:
    SharedMemoryReader()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return;
        // The same server as Qt's windows, also when Qt was given a display
        // other than $DISPLAY.
        const char* name = nullptr;
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->display())
            name = XDisplayString(x11->display());
        m_display = XOpenDisplay(name);
        if (m_display == nullptr)
            return;
        int major = 0;
        int minor = 0;
        Bool pixmaps = False;
        if (!XShmQueryVersion(m_display, &major, &minor, &pixmaps)) {
            XCloseDisplay(m_display);
            m_display = nullptr;
        }
    }
    ~SharedMemoryReader()
    {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    SharedMemoryReader(const SharedMemoryReader&) = delete;
    SharedMemoryReader& operator=(const SharedMemoryReader&) = delete;

    bool read(Bitmap& into)
    {
        if (m_display == nullptr || m_broken)
            return false;
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen == nullptr)
            return false;
        const int number = DefaultScreen(m_display);
        Visual* visual = DefaultVisual(m_display, number);
        const int depth = DefaultDepth(m_display, number);
        // Only the usual true-colour layout is copied as it stands; anything
        // else is left to Qt, which converts.
        if (depth < 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
            m_broken = true;
            return false;
        }
        const QRect area =
            primaryScreenDeviceRect(*screen, DisplayWidth(m_display, number), DisplayHeight(m_display, number));
        if (area.isEmpty())
            return false;

        XShmSegmentInfo segment{};
        XImage* image = XShmCreateImage(m_display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                                        static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()));
        if (image == nullptr)
            return false;
        // The pixels are the segment's, not XDestroyImage's to free.
        const auto destroy = [](XImage* i) {
            i->data = nullptr;
            XDestroyImage(i);
        };
        const std::unique_ptr<XImage, decltype(destroy)> imageOwner(image, destroy);
        if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst) {
            m_broken = true;
            return false;
        }
        segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * area.height(),
                               IPC_CREAT | 0600);
        if (segment.shmid < 0)
            return false;
        segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
        // Marked for removal at once: it goes when the last user detaches,
        // even if this process dies in between.
        shmctl(segment.shmid, IPC_RMID, nullptr);
        if (segment.shmaddr == reinterpret_cast<char*>(-1))
            return false;
        const auto detach = [](char* address) { shmdt(address); };
        const std::unique_ptr<char, decltype(detach)> segmentOwner(segment.shmaddr, detach);
        image->data = segment.shmaddr;
        segment.readOnly = False;

        bool ok = false;
        {
            XErrorTrap trap(m_display);
            const bool attached = XShmAttach(m_display, &segment) && trap.sync();
            if (attached) {
                ok = XShmGetImage(m_display, DefaultRootWindow(m_display), image, area.x(), area.y(), AllPlanes) &&
                     trap.sync();
                XShmDetach(m_display, &segment);
                trap.sync();
            } else {
                // A server on another machine cannot see our memory.
                m_broken = true;
            }
        }
        if (ok)
            copyOpaqueRows(into, reinterpret_cast<const std::uint8_t*>(image->data), image->bytes_per_line,
                           area.width(), area.height());
        return ok;
    }

private:
    Display* m_display = nullptr;
    // Set once this server turned out not to support our way of reading.
    bool m_broken = false;
};

} // namespace

bool captureThroughSharedMemory(Bitmap& into)
{
    static SharedMemoryReader reader;
    return reader.read(into);
}

bool captureThroughQt(Bitmap& into)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return false;
    // On X11 grabbing window 0 reads the root window in native pixels; the
    // pixmap's size is the physical size of the screen, its device pixel
    // ratio the screen's scale, which we deliberately drop.
    const QPixmap pixmap = screen->grabWindow(0);
    if (pixmap.isNull())
        return false;
    QImage image = pixmap.toImage();
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return false;
    copyOpaqueRows(into, image.constBits(), image.bytesPerLine(), image.width(), image.height());
    return true;
}

namespace {

class X11ScreenCapture : public ScreenCaptureService {
public:
    bool capture(Bitmap& into) override
    {
        try {
            if (captureThroughSharedMemory(into) || captureThroughQt(into))
                return true;
        } catch (const std::exception&) {
            // No memory for a screen-sized bitmap: as any other failure.
        }
        // A failed capture is silent by design: the tool window opens empty.
        into = Bitmap();
        return false;
    }
};

} // namespace

ScreenCaptureService& x11ScreenCapture()
{
    static X11ScreenCapture service;
    return service;
}

} // namespace vornik
