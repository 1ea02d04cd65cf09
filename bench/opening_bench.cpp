// Opening the tool window in the program itself: the main window built and
// hidden after start-up as the program does it, then opened again and again
// through the menu command, each time from the command to the first frame
// the X server has received. The first opening of the process is reported on
// its own, since it is the one a user meets first. Beside it, in the same
// run: the screen capture alone, which every opening contains. On a Wayland
// session the openings capture through the screenshot portal (or with
// --portal, which forces it), and the portal's round trip is measured beside
// the two X11 ways.
// Needs a display (DISPLAY set); emails.txt is read and kept beside the
// benchmark as beside the program.
#include "app/application.h"
#include "app/mainform_unit.h"
#include "bench/stats.h"
#include "platform/screencapture.h"
#include "platform/x11/x11screencapture.h"
#include "screentools/picturebox.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

using namespace vornik;

namespace {

// Counts the picture's paints without changing them.
class PaintWatch : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A round trip on Qt's own connection: when it returns, the server has
// handled every request sent before it, the painted frame included.
void syncWithServer()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr)
        return;
    xcb_connection_t* c = x11->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

template <typename Done>
bool waitFor(Done done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    bool machine = false;
    int rounds = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine") == 0)
            machine = true;
        else if (std::strcmp(argv[i], "--portal") == 0)
            qputenv("VORNIK_CAPTURE", "portal");
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(2, std::atoi(argv[++i]));
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_opening needs an X display (DISPLAY)\n");
        return 2;
    }
    Application application(argc, argv);
    // Chosen as the program chooses it; the openings go through it.
    const bool portal = &screenCaptureService() != &x11ScreenCapture();
    TForm1 form;
    form.showAtStartup();
    // The window hides itself shortly after its first showing.
    if (!waitFor([&] { return form.Tag == kTagRunning && !form.isVisible(); })) {
        std::fprintf(stderr, "the main window did not hide after start-up\n");
        return 1;
    }
    PaintWatch watch;
    form.Image1->installEventFilter(&watch);

    std::vector<double> openMs;
    std::vector<double> sharedMs;
    std::vector<double> qtMs;
    std::vector<double> portalMs;
    Bitmap sharedShot;
    Bitmap qtShot;
    Bitmap portalShot;
    for (int round = 0; round < rounds; ++round) {
        // A user does not reopen the window within a few milliseconds.
        QThread::msleep(150);
        QCoreApplication::processEvents();
        watch.paints = 0;
        QElapsedTimer timer;
        timer.start();
        try {
            form.Colorpickersizecuttools1Click(nullptr);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "opening %d: %s\n", round + 1, error.what());
            return 1;
        }
        if (!waitFor([&] { return watch.paints > 0; })) {
            std::fprintf(stderr, "opening %d: the picture was never painted\n", round + 1);
            return 1;
        }
        syncWithServer();
        openMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        form.close();
        QCoreApplication::processEvents();

        // The two ways of reading the screen, each into a bitmap of its own
        // that is reused from round to round, as the program reuses its one.
        QThread::msleep(50);
        timer.restart();
        const bool shared = captureThroughSharedMemory(sharedShot);
        sharedMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        QThread::msleep(50);
        timer.restart();
        const bool qt = captureThroughQt(qtShot);
        qtMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        // Under Xwayland the X11 ways read a root window that nothing backs;
        // they are timed all the same, for the comparison.
        if ((!shared || !qt) && !portal) {
            std::fprintf(stderr, "the screen could not be read %s\n", shared ? "through Qt" : "through shared memory");
            return 1;
        }
        if (portal) {
            QThread::msleep(50);
            timer.restart();
            try {
                screenCaptureService().capture(portalShot);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "capture %d: %s\n", round + 1, error.what());
                return 1;
            }
            portalMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    const double first = openMs.front();
    const Stats later = stats(std::vector<double>(openMs.begin() + 1, openMs.end()));
    const Stats shared = stats(sharedMs);
    const Stats qt = stats(qtMs);
    const Stats portalStats = portal ? stats(portalMs) : Stats{};
    const QSize screen = QGuiApplication::primaryScreen()->size() * QGuiApplication::primaryScreen()->devicePixelRatio();
    if (machine) {
        std::printf("screen %dx%d\nfirst %.3f\nmedian %.3f\np95 %.3f\nmax %.3f\nshared_median %.3f\n"
                    "shared_p95 %.3f\nqt_median %.3f\nqt_p95 %.3f\nopenings %zu\n",
                    screen.width(), screen.height(), first, later.median, later.p95, later.max, shared.median,
                    shared.p95, qt.median, qt.p95, openMs.size());
        if (portal)
            std::printf("portal_median %.3f\nportal_p95 %.3f\n", portalStats.median, portalStats.p95);
        return 0;
    }
    std::printf("opening the tool window, %d openings, screen %dx%d device pixels\n", rounds, screen.width(),
                screen.height());
    std::printf("  first opening                    %7.2f ms   (target 150 ms, ratio %.2f)\n", first,
                first / 150.0);
    std::printf("  later openings           median %7.2f ms   p95 %7.2f ms   max %7.2f ms\n", later.median,
                later.p95, later.max);
    std::printf("  capture, shared memory   median %7.2f ms   p95 %7.2f ms\n", shared.median, shared.p95);
    std::printf("  capture, Qt's grab       median %7.2f ms   p95 %7.2f ms\n", qt.median, qt.p95);
    std::printf("  shared memory / Qt's grab (median) %.2f\n", shared.median / qt.median);
    if (portal) {
        std::printf("  capture, screenshot portal median %7.2f ms   p95 %7.2f ms   (the openings above use it)\n",
                    portalStats.median, portalStats.p95);
        std::printf("  portal / shared memory (median) %.1f\n", portalStats.median / shared.median);
    }
    std::printf("  each opening:");
    for (double ms : openMs)
        std::printf(" %.1f", ms);
    std::printf(" ms\n");
    return 0;
}
