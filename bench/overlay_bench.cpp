// Per-move cost of the overlay: the full redraw against the incremental one,
// each including the hand-over of the changed pixels to a window backing
// store, at 1920x1080 and 3840x2160; the incremental one with the loupe
// shown against it without; and with the spacing ruler shown (its scan of
// the point's row and column included) against it hidden, over a desktop of
// flat windows, where the ruler's lines run long. With --window (needs DISPLAY) it times the same
// moves on a real full-screen window showing the captured screen, without and
// with the loupe.
#include "bench/stats.h"
#include "platform/screencapture.h"
#include "screentools/loupeview.h"
#include "screentools/overlay.h"
#include "screentools/picturebox.h"
#include "screentools/spacingruler.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

using namespace vornik;

namespace {

using Clock = std::chrono::steady_clock;

// With --machine the results come as "name value" lines (times in
// milliseconds) for bench/run-table.sh instead of the report for people.
bool machine = false;

Bitmap noiseCapture(int w, int h)
{
    Bitmap b(w, h, 32);
    std::mt19937 rng(42);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(b.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    return b;
}

// A desktop of flat windows with a few pixels of noise in each (text, as far
// as the ruler can tell): a background and windows of every size, some
// overlapping. The ruler's arms run to window edges hundreds of pixels away.
Bitmap desktopCapture(int w, int h)
{
    Bitmap b(w, h, 32);
    std::mt19937 rng(11);
    const auto fill = [&](int x1, int y1, int x2, int y2, std::uint32_t argb) {
        for (int y = std::max(0, y1); y < std::min(h, y2); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(b.scanLine(y));
            for (int x = std::max(0, x1); x < std::min(w, x2); ++x)
                row[x] = argb;
        }
    };
    fill(0, 0, w, h, 0xFF204080u);
    for (int i = 0; i < 12; ++i) {
        const int ww = w / 8 + int(rng() % unsigned(w / 3));
        const int wh = h / 8 + int(rng() % unsigned(h / 3));
        const int x = int(rng() % unsigned(w - ww));
        const int y = int(rng() % unsigned(h - wh));
        fill(x, y, x + ww, y + wh, 0xFF000000u | (rng() & 0xFFFFFFu));
        for (int k = 0; k < ww * wh / 400; ++k) {
            const int px = x + int(rng() % unsigned(ww));
            const int py = y + int(rng() % unsigned(wh));
            fill(px, py, px + 1, py + 1, 0xFF000000u);
        }
    }
    return b;
}

// A pointer wandering a few pixels per event, then a drag that draws out a
// large box and wobbles its corner, the way a user measures an area.
std::vector<OverlayState> walk(int w, int h)
{
    std::vector<OverlayState> states;
    std::mt19937 rng(7);
    OverlayState s;
    int x = w / 3;
    int y = h / 3;
    for (int i = 0; i < 300; ++i) {
        x = std::clamp(x + int(rng() % 9) - 4, 0, w - 1);
        y = std::clamp(y + int(rng() % 9) - 4, 0, h - 1);
        s.mousex = x;
        s.mousey = y;
        states.push_back(s);
    }
    s.selx1 = x;
    s.sely1 = y;
    for (int i = 0; i < 300; ++i) {
        const int tx = w * 7 / 8;
        const int ty = h * 7 / 8;
        x = std::clamp(x + (x < tx ? int(rng() % 12) : int(rng() % 9) - 4), 0, w - 1);
        y = std::clamp(y + (y < ty ? int(rng() % 8) : int(rng() % 9) - 4), 0, h - 1);
        s.mousex = s.selx2 = x;
        s.mousey = s.sely2 = y;
        states.push_back(s);
    }
    return states;
}

// What the picture box's paint does with a repaint: wrap the picture's memory
// and draw the changed part into the window's backing store.
void handOver(const Bitmap& picture, QImage& backingStore, const std::vector<PixelRect>& rects)
{
    const QImage image(picture.bits(), picture.width(), picture.height(), static_cast<qsizetype>(picture.stride()),
                       QImage::Format_RGB32);
    QPainter painter(&backingStore);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const PixelRect& r : rects)
        painter.drawImage(QPoint(r.x1, r.y1), image, QRect(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1));
}

struct Run {
    std::vector<double> fullMs;
    std::vector<double> incMs;
    // The incremental move with the loupe shown: the same work plus the
    // loupe's own (its picture, its move, the picture under where it was
    // handed over again, the loupe painted where it is now).
    std::vector<double> loupeMs;
    bool equal = true;
};

// What a move of the shown loupe costs on top of the overlay.
double loupeMove(LoupeView& loupe, const Bitmap& capture, const Bitmap& picture, QImage& backingStore,
                 const OverlayState& s)
{
    const auto t0 = Clock::now();
    const QRect before = loupe.deviceGeometry();
    loupe.follow(capture, {s.mousex, s.mousey}, {s.mousex, s.mousey});
    handOver(picture, backingStore, {PixelRect{before.left(), before.top(), before.right() + 1, before.bottom() + 1}});
    loupe.render(&backingStore, loupe.geometry().topLeft());
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

Run runWalk(const Bitmap& capture, const std::vector<OverlayState>& states, LoupeView& loupe)
{
    const int w = capture.width();
    const int h = capture.height();
    QImage backing(w, h, QImage::Format_RGB32);
    backing.fill(Qt::black);
    Bitmap fullPicture = capture;
    Bitmap incPicture = capture;
    TAgg2D fullAgg;
    TAgg2D incAgg;
    OverlayRenderer renderer;
    renderer.reset(true);
    const std::vector<PixelRect> whole{PixelRect{0, 0, w, h}};
    Run run;
    for (const OverlayState& s : states) {
        const auto t0 = Clock::now();
        drawFull(fullAgg, fullPicture, capture, s);
        handOver(fullPicture, backing, whole);
        const auto t1 = Clock::now();
        const std::vector<PixelRect> rects = renderer.draw(incAgg, incPicture, capture, s);
        handOver(incPicture, backing, rects);
        const auto t2 = Clock::now();
        run.fullMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        run.incMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        run.loupeMs.push_back(run.incMs.back() + loupeMove(loupe, capture, incPicture, backing, s));
        run.equal = run.equal && std::memcmp(fullPicture.bits(), incPicture.bits(), fullPicture.sizeInBytes()) == 0;
    }
    return run;
}

void printStats(const char* label, const std::vector<double>& full, const std::vector<double>& inc)
{
    const Stats f = stats(full);
    const Stats i = stats(inc);
    const std::size_t half = inc.size() / 2;
    const Stats cross = stats(std::vector<double>(inc.begin(), inc.begin() + long(half)));
    const Stats drag = stats(std::vector<double>(inc.begin() + long(half), inc.end()));
    std::printf("  %s\n", label);
    std::printf("    full redraw      median %7.3f ms   p95 %7.3f ms\n", f.median, f.p95);
    std::printf("    incremental      median %7.3f ms   p95 %7.3f ms\n", i.median, i.p95);
    std::printf("      crosshair moves median %7.3f ms   p95 %7.3f ms\n", cross.median, cross.p95);
    std::printf("      selection drag  median %7.3f ms   p95 %7.3f ms\n", drag.median, drag.p95);
    std::printf("    ratio full/incremental  median %6.1fx   p95 %6.1fx\n", f.median / i.median, f.p95 / i.p95);
}

// The same walk is run several times; besides the first run as measured, the
// per-move minimum over the runs is shown, which takes out the moves where
// the process was preempted on a busy machine.
bool runSize(int w, int h, int runs)
{
    const Bitmap capture = noiseCapture(w, h);
    const std::vector<OverlayState> states = walk(w, h);
    // The loupe lives on a window of the capture's size; it is painted into
    // the backing store directly, as the window would on a repaint.
    QWidget screen;
    screen.resize(w, h);
    LoupeView loupe(&screen);
    if (!machine)
        std::printf("%dx%d, %zu moves (pointer wander, then a selection drag), %d runs\n", w, h, states.size(), runs);
    Run best = runWalk(capture, states, loupe);
    const Run first = best;
    for (int r = 1; r < runs; ++r) {
        const Run next = runWalk(capture, states, loupe);
        for (std::size_t i = 0; i < states.size(); ++i) {
            best.fullMs[i] = std::min(best.fullMs[i], next.fullMs[i]);
            best.incMs[i] = std::min(best.incMs[i], next.incMs[i]);
            best.loupeMs[i] = std::min(best.loupeMs[i], next.loupeMs[i]);
        }
        best.equal = best.equal && next.equal;
    }
    if (machine) {
        const Stats f = stats(best.fullMs);
        const Stats i = stats(best.incMs);
        const Stats f1 = stats(first.fullMs);
        const Stats i1 = stats(first.incMs);
        std::printf("moves_%dx%d %zu\nruns_%dx%d %d\n", w, h, states.size(), w, h, runs);
        std::printf("full_median_%dx%d %.4f\nfull_p95_%dx%d %.4f\n", w, h, f.median, w, h, f.p95);
        std::printf("inc_median_%dx%d %.4f\ninc_p95_%dx%d %.4f\n", w, h, i.median, w, h, i.p95);
        std::printf("first_full_median_%dx%d %.4f\nfirst_full_p95_%dx%d %.4f\n", w, h, f1.median, w, h, f1.p95);
        std::printf("first_inc_median_%dx%d %.4f\nfirst_inc_p95_%dx%d %.4f\n", w, h, i1.median, w, h, i1.p95);
        const Stats l = stats(best.loupeMs);
        std::printf("loupe_median_%dx%d %.4f\nloupe_p95_%dx%d %.4f\n", w, h, l.median, w, h, l.p95);
        std::printf("identical_%dx%d %d\n", w, h, best.equal ? 1 : 0);
        return best.equal;
    }
    printStats("first run", first.fullMs, first.incMs);
    printStats("per-move minimum over the runs", best.fullMs, best.incMs);
    const Stats i = stats(best.incMs);
    const Stats l = stats(best.loupeMs);
    std::printf("  loupe shown vs hidden (incremental, per-move minimum)\n");
    std::printf("    loupe hidden     median %7.3f ms   p95 %7.3f ms\n", i.median, i.p95);
    std::printf("    loupe shown      median %7.3f ms   p95 %7.3f ms\n", l.median, l.p95);
    std::printf("    ratio shown/hidden      median %6.2fx   p95 %6.2fx\n", l.median / i.median, l.p95 / i.p95);
    std::printf("  pictures after every move %s\n", best.equal ? "identical" : "DIFFER");
    return best.equal;
}

// The same walk over the desktop, incremental, with the ruler hidden and
// shown; per move the shown one also scans the point's row and column.
struct RulerRun {
    std::vector<double> hiddenMs;
    std::vector<double> shownMs;
    bool equal = true;
};

RulerRun runRulerWalk(const Bitmap& capture, const std::vector<OverlayState>& states)
{
    const int w = capture.width();
    const int h = capture.height();
    QImage backing(w, h, QImage::Format_RGB32);
    Bitmap hiddenPicture = capture;
    Bitmap shownPicture = capture;
    Bitmap reference = capture;
    TAgg2D hiddenAgg;
    TAgg2D shownAgg;
    TAgg2D referenceAgg;
    OverlayRenderer hidden;
    OverlayRenderer shown;
    hidden.reset(true);
    shown.reset(true);
    RulerRun run;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const OverlayState& plain = states[i];
        const auto t0 = Clock::now();
        handOver(hiddenPicture, backing, hidden.draw(hiddenAgg, hiddenPicture, capture, plain));
        const auto t1 = Clock::now();
        OverlayState s = plain;
        if (const auto spans = measureSpacing(capture, {s.mousex, s.mousey}, 8)) {
            s.ruler = true;
            s.spans = *spans;
        }
        handOver(shownPicture, backing, shown.draw(shownAgg, shownPicture, capture, s));
        const auto t2 = Clock::now();
        run.hiddenMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        run.shownMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        // Every tenth move the incremental picture is held against a full
        // redraw of the same state.
        if (i % 10 == 0) {
            drawFull(referenceAgg, reference, capture, s);
            run.equal = run.equal && std::memcmp(reference.bits(), shownPicture.bits(), reference.sizeInBytes()) == 0;
        }
    }
    return run;
}

bool runRuler(int w, int h, int runs)
{
    const Bitmap capture = desktopCapture(w, h);
    const std::vector<OverlayState> states = walk(w, h);
    RulerRun best = runRulerWalk(capture, states);
    for (int r = 1; r < runs; ++r) {
        const RulerRun next = runRulerWalk(capture, states);
        for (std::size_t i = 0; i < states.size(); ++i) {
            best.hiddenMs[i] = std::min(best.hiddenMs[i], next.hiddenMs[i]);
            best.shownMs[i] = std::min(best.shownMs[i], next.shownMs[i]);
        }
        best.equal = best.equal && next.equal;
    }
    const Stats hid = stats(best.hiddenMs);
    const Stats sho = stats(best.shownMs);
    // How far the ruler reaches on this walk: the median of its spans.
    std::vector<double> widths;
    std::vector<double> heights;
    for (const OverlayState& st : states) {
        if (const auto spans = measureSpacing(capture, {st.mousex, st.mousey}, 8)) {
            widths.push_back(spans->width());
            heights.push_back(spans->height());
        }
    }
    const double spanW = stats(widths).median;
    const double spanH = stats(heights).median;
    if (machine) {
        std::printf("ruler_span_%dx%d %.0fx%.0f\n", w, h, spanW, spanH);
        std::printf("ruler_hidden_median_%dx%d %.4f\nruler_hidden_p95_%dx%d %.4f\n", w, h, hid.median, w, h, hid.p95);
        std::printf("ruler_shown_median_%dx%d %.4f\nruler_shown_p95_%dx%d %.4f\n", w, h, sho.median, w, h, sho.p95);
        std::printf("ruler_identical_%dx%d %d\n", w, h, best.equal ? 1 : 0);
        return best.equal;
    }
    std::printf("%dx%d desktop of flat windows, the same %zu moves, spacing ruler shown vs hidden (incremental, "
                "per-move minimum over %d runs)\n",
                w, h, states.size(), runs);
    std::printf("    median span %.0f x %.0f pixels\n", spanW, spanH);
    std::printf("    ruler hidden     median %7.3f ms   p95 %7.3f ms\n", hid.median, hid.p95);
    std::printf("    ruler shown      median %7.3f ms   p95 %7.3f ms\n", sho.median, sho.p95);
    std::printf("    ratio shown/hidden      median %6.2fx   p95 %6.2fx\n", sho.median / hid.median, sho.p95 / hid.p95);
    std::printf("  pictures with the ruler equal to the full redraw %s\n", best.equal ? "yes" : "NO");
    return best.equal;
}

class TimedPictureBox : public PictureBox {
public:
    using PictureBox::PictureBox;
    bool painted = false;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        PictureBox::paintEvent(event);
        painted = true;
    }
};

// Pointer moves on a real window showing the screen: overlay drawing plus
// the synchronous repaint through the window system.
int runWindow()
{
    std::optional<Bitmap> shot = getscreenshot();
    if (!shot) {
        std::printf("capture failed\n");
        return 1;
    }
    TimedPictureBox box;
    box.setPicture(*shot);
    box.setGeometry(QGuiApplication::primaryScreen()->geometry());
    box.showFullScreen();
    while (!box.painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();

    const Bitmap& plain = *shot;
    TAgg2D agg;
    LoupeView loupe(&box);
    // The same walk without the loupe, then with it shown.
    const auto timeWalk = [&](bool withLoupe) {
        OverlayRenderer renderer;
        renderer.reset(false);
        loupe.setVisible(withLoupe);
        QApplication::processEvents();
        std::vector<double> moveMs;
        for (const OverlayState& s : walk(plain.width(), plain.height())) {
            const auto t0 = Clock::now();
            box.repaintRects(renderer.draw(agg, box.picture(), plain, s));
            if (withLoupe)
                loupe.follow(plain, {s.mousex, s.mousey}, {s.mousex, s.mousey});
            moveMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        return stats(moveMs);
    };
    const Stats m = timeWalk(false);
    const Stats l = timeWalk(true);
    if (machine) {
        std::printf("captured %dx%d\nwindow_move_median %.4f\nwindow_move_p95 %.4f\n", plain.width(),
                    plain.height(), m.median, m.p95);
        std::printf("window_loupe_median %.4f\nwindow_loupe_p95 %.4f\n", l.median, l.p95);
        return 0;
    }
    std::printf("window showing a %dx%d capture\n", plain.width(), plain.height());
    std::printf("  pointer move with repaint on the window  median %7.3f ms   p95 %7.3f ms\n", m.median, m.p95);
    std::printf("  the same with the loupe shown            median %7.3f ms   p95 %7.3f ms\n", l.median, l.p95);
    std::printf("  ratio shown/hidden                       median %6.2fx   p95 %6.2fx\n", l.median / m.median,
                l.p95 / m.p95);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool window = false;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0)
            window = true;
        else if (std::strcmp(argv[i], "--machine") == 0)
            machine = true;
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    if (!window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (window)
        return runWindow();
    bool ok = runSize(1920, 1080, runs);
    ok = runSize(3840, 2160, runs) && ok;
    ok = runRuler(1920, 1080, runs) && ok;
    ok = runRuler(3840, 2160, runs) && ok;
    return ok ? 0 : 1;
}
