#include "screentools/overlay.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace vornik {
namespace {

using Shape = OverlayRenderer::Shape;
using Frame = OverlayRenderer::Frame;

enum Slot {
    CrossV,
    CrossH,
    RedV,
    RedH,
    BlueV,
    BlueH,
    SelBox,
    RulerAcross,
    RulerUpDown,
    RulerTicks,                    // four: left, right, top, bottom
    RulerFigures = RulerTicks + 4, // four: left, right, up, down
};

// How far from its geometric line a shape can change pixels: an outline of
// width 1 at integer x covers columns x - 1 and x, the fill starts at x; one
// more pixel on each side keeps the estimate safe.
constexpr long long kReach = 2;

struct WideRect {
    long long x1, y1, x2, y2;
};

PixelRect clipped(const WideRect& r, int width, int height) {
    PixelRect out;
    out.x1 = static_cast<int>(std::clamp<long long>(r.x1, 0, width));
    out.y1 = static_cast<int>(std::clamp<long long>(r.y1, 0, height));
    out.x2 = static_cast<int>(std::clamp<long long>(r.x2, 0, width));
    out.y2 = static_cast<int>(std::clamp<long long>(r.y2, 0, height));
    return out;
}

struct BoxEdges {
    long long left, top, right, bottom;
};

BoxEdges edgesOf(const Shape& s) {
    return {std::min<long long>(s.a, s.c), std::min<long long>(s.b, s.d), std::max<long long>(s.a, s.c),
            std::max<long long>(s.b, s.d)};
}

PixelRect figurePlateOf(const Shape& s) {
    return figurePlate(s.a, s.b, static_cast<int>(std::to_string(s.c).size()), s.d);
}

Shape fillOf(const PixelRect& r) {
    return {Shape::Fill, r.x1, r.y1, r.x2, r.y2};
}

// Every pixel the shape can touch, clipped to the surface.
PixelRect reachOf(const Shape& s, int width, int height) {
    switch (s.kind) {
    case Shape::VLine:
        return clipped({s.a - kReach, 0, s.a + kReach, height}, width, height);
    case Shape::HLine:
        return clipped({0, s.a - kReach, width, s.a + kReach}, width, height);
    case Shape::Box: {
        const BoxEdges e = edgesOf(s);
        return clipped({e.left - kReach, e.top - kReach, e.right + kReach, e.bottom + kReach}, width, height);
    }
    case Shape::Fill:
        return clipped({s.a - kReach, s.b - kReach, s.c + kReach, s.d + kReach}, width, height);
    case Shape::Figure: {
        const PixelRect plate = figurePlateOf(s);
        return clipped({plate.x1 - kReach, plate.y1 - kReach, plate.x2 + kReach, plate.y2 + kReach}, width, height);
    }
    case Shape::None:
        break;
    }
    return {};
}

bool intersects(const PixelRect& a, const PixelRect& b) {
    return !a.empty() && !b.empty() && a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

// The parts of a that are not in b, as up to four rectangles.
void subtract(const PixelRect& a, const PixelRect& b, std::vector<PixelRect>& out) {
    if (a.empty())
        return;
    if (!intersects(a, b)) {
        out.push_back(a);
        return;
    }
    if (a.y1 < b.y1)
        out.push_back({a.x1, a.y1, a.x2, b.y1});
    if (b.y2 < a.y2)
        out.push_back({a.x1, b.y2, a.x2, a.y2});
    const int midTop = std::max(a.y1, b.y1);
    const int midBottom = std::min(a.y2, b.y2);
    if (a.x1 < b.x1)
        out.push_back({a.x1, midTop, b.x1, midBottom});
    if (b.x2 < a.x2)
        out.push_back({b.x2, midTop, a.x2, midBottom});
}

bool isSolidBox(const Shape& s) {
    return s.kind == Shape::Box && s.a != s.c && s.b != s.d;
}

// A box with area changes pixels near its four sides; further inside every
// pixel is darkened the same way (fill and the outline's zero-coverage run
// inside its ring), further outside none is touched. So between two such
// boxes only the side bands and the difference of the two cores can change.
//
// A side that stays on the same line changes less: a pixel of its band gets
// its value from the edges at and to its left in its row (the rasterizer
// accumulates coverage from the left) and from the side's own ends, so along
// the band only the stretches around an end that moved can differ. Whatever
// the other sides do near it lies in their own bands.
WideRect sideBand(long long line, long long from, long long to, bool vertical) {
    if (vertical)
        return {line - kReach, from - kReach, line + kReach, to + kReach};
    return {from - kReach, line - kReach, to + kReach, line + kReach};
}

void sideChanges(long long lineWas, long long fromWas, long long toWas, long long lineNow, long long fromNow,
                 long long toNow, bool vertical, int width, int height, std::vector<PixelRect>& out) {
    if (lineWas != lineNow) {
        out.push_back(clipped(sideBand(lineWas, fromWas, toWas, vertical), width, height));
        out.push_back(clipped(sideBand(lineNow, fromNow, toNow, vertical), width, height));
        return;
    }
    if (fromWas != fromNow)
        out.push_back(clipped(sideBand(lineWas, std::min(fromWas, fromNow), std::max(fromWas, fromNow), vertical),
                              width, height));
    if (toWas != toNow)
        out.push_back(
            clipped(sideBand(lineWas, std::min(toWas, toNow), std::max(toWas, toNow), vertical), width, height));
}

void boxChanges(const Shape& was, const Shape& now, int width, int height, std::vector<PixelRect>& out) {
    const BoxEdges a = edgesOf(was);
    const BoxEdges b = edgesOf(now);
    sideChanges(a.left, a.top, a.bottom, b.left, b.top, b.bottom, true, width, height, out);
    sideChanges(a.right, a.top, a.bottom, b.right, b.top, b.bottom, true, width, height, out);
    sideChanges(a.top, a.left, a.right, b.top, b.left, b.right, false, width, height, out);
    sideChanges(a.bottom, a.left, a.right, b.bottom, b.left, b.right, false, width, height, out);
}

PixelRect coreOf(const Shape& s, int width, int height) {
    const BoxEdges e = edgesOf(s);
    return clipped({e.left + kReach, e.top + kReach, e.right - kReach, e.bottom - kReach}, width, height);
}

// The ruler goes over everything else: lines and ticks in one opaque colour
// that no crosshair or guide blend gives, so that they read on any picture,
// and each figure white on a dark plate. Every shape is pixel-aligned and
// filled only, so it paints exactly its own rectangle.
template <class Filter>
void drawRuler(TAgg2D& agg, const Frame& frame, Filter&& wanted) {
    if (frame[RulerAcross].kind == Shape::None)
        return;
    agg.AntiAliasGamma(0.0);
    agg.LineColor(0, 0, 0, 0);
    agg.FillColor(255, 0, 255, 255);
    for (int slot = RulerAcross; slot < RulerFigures; ++slot) {
        const Shape& s = frame[static_cast<std::size_t>(slot)];
        if (s.kind == Shape::Fill && wanted(slot))
            agg.Rectangle(s.a, s.b, s.c, s.d);
    }
    for (int slot = RulerFigures; slot < RulerFigures + 4; ++slot) {
        const Shape& s = frame[static_cast<std::size_t>(slot)];
        if (s.kind != Shape::Figure || !wanted(slot))
            continue;
        const PixelRect plate = figurePlateOf(s);
        agg.FillColor(0, 0, 0, 170);
        agg.Rectangle(plate.x1, plate.y1, plate.x2, plate.y2);
        agg.FillColor(255, 255, 255, 255);
        for (const PixelRect& cell : figureCells(s.c, s.a, s.b, s.d))
            agg.Rectangle(cell.x1, cell.y1, cell.x2, cell.y2);
    }
}

template <class Filter>
void drawShapes(TAgg2D& agg, const Bitmap& screenshot, const OverlayState& s, Filter&& wanted) {
    const double w = screenshot.width();
    const double h = screenshot.height();
    if (s.selx1 == -1) {
        agg.AntiAliasGamma(0.0);
        agg.LineWidth(1.0);
        agg.LineColor(0, 255, 0, 120);
        agg.NoFill();
        if (wanted(CrossV))
            agg.Line(s.mousex, 0, s.mousex, h);
        if (wanted(CrossH))
            agg.Line(0, s.mousey, w, s.mousey);
    } else {
        agg.AntiAliasGamma(0.0);
        agg.LineWidth(1.0);
        agg.LineColor(255, 0, 0, 120);
        agg.NoFill();
        if (wanted(RedV))
            agg.Line(s.selx1, 0, s.selx1, h);
        if (wanted(RedH))
            agg.Line(0, s.sely1, w, s.sely1);
        agg.LineColor(0, 0, 255, 120);
        if (wanted(BlueV))
            agg.Line(s.selx2, 0, s.selx2, h);
        if (wanted(BlueH))
            agg.Line(0, s.sely2, w, s.sely2);
        agg.LineColor(0, 0, 0, 150);
        agg.FillColor(255, 255, 255, 10);
        if (wanted(SelBox))
            agg.Rectangle(s.selx1, s.sely1, s.selx2, s.sely2);
    }
    if (s.ruler)
        drawRuler(agg, OverlayRenderer::frameFor(s, screenshot.width(), screenshot.height()), wanted);
}

} // namespace

bool drawFull(TAgg2D& agg, Bitmap& picture, const Bitmap& screenshot, const OverlayState& state) {
    if (!agg.Attach(&picture, false))
        return false;
    agg.ClearAll(255, 255, 255, 255);
    agg.CopyImage(&screenshot, 0.0, 0.0);
    drawShapes(agg, screenshot, state, [](int) { return true; });
    return true;
}

OverlayRenderer::Frame OverlayRenderer::frameFor(const OverlayState& s, int width, int height) {
    Frame f{};
    if (s.selx1 == -1) {
        f[CrossV] = {Shape::VLine, s.mousex};
        f[CrossH] = {Shape::HLine, s.mousey};
    } else {
        f[RedV] = {Shape::VLine, s.selx1};
        f[RedH] = {Shape::HLine, s.sely1};
        f[BlueV] = {Shape::VLine, s.selx2};
        f[BlueH] = {Shape::HLine, s.sely2};
        f[SelBox] = {Shape::Box, s.selx1, s.sely1, s.selx2, s.sely2};
    }
    if (s.ruler) {
        const PixelPoint point{s.mousex, s.mousey};
        const RulerLines lines = rulerLines(s.spans, point, s.rulerScale / 2);
        f[RulerAcross] = fillOf(lines.across);
        f[RulerUpDown] = fillOf(lines.upDown);
        for (std::size_t i = 0; i < 4; ++i)
            f[RulerTicks + i] = fillOf(lines.ticks[i]);
        const auto figures = rulerFigures(s.spans, point, s.rulerScale, width, height);
        for (std::size_t i = 0; i < 4; ++i) {
            if (!figures[i].plate.empty())
                f[RulerFigures + i] = {Shape::Figure, figures[i].plate.x1, figures[i].plate.y1, figures[i].value,
                                      s.rulerScale};
        }
    }
    return f;
}

std::vector<PixelRect> OverlayRenderer::changedPixels(const Frame& before, const Frame& after, int width,
                                                      int height) {
    std::vector<PixelRect> out;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Shape& was = before[i];
        const Shape& now = after[i];
        if (was == now)
            continue;
        if (isSolidBox(was) && isSolidBox(now)) {
            boxChanges(was, now, width, height, out);
            const PixelRect coreWas = coreOf(was, width, height);
            const PixelRect coreNow = coreOf(now, width, height);
            subtract(coreWas, coreNow, out);
            subtract(coreNow, coreWas, out);
            continue;
        }
        out.push_back(reachOf(was, width, height));
        out.push_back(reachOf(now, width, height));
    }
    return out;
}

std::vector<PixelRect> OverlayRenderer::disjointUnion(const std::vector<PixelRect>& rects, int width,
                                                      int height) {
    std::vector<PixelRect> input;
    std::vector<int> ys;
    for (PixelRect r : rects) {
        r = clipped({r.x1, r.y1, r.x2, r.y2}, width, height);
        if (r.empty())
            continue;
        input.push_back(r);
        ys.push_back(r.y1);
        ys.push_back(r.y2);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    // Sweep horizontal bands between consecutive edges; within a band the
    // union is a set of column runs. Runs that continue unchanged from the
    // band above are extended instead of starting new rectangles.
    std::vector<PixelRect> out;
    std::vector<PixelRect> open;
    std::vector<std::pair<int, int>> runs;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
        const int top = ys[k];
        const int bottom = ys[k + 1];
        runs.clear();
        for (const PixelRect& r : input) {
            if (r.y1 <= top && r.y2 >= bottom)
                runs.emplace_back(r.x1, r.x2);
        }
        std::sort(runs.begin(), runs.end());
        std::vector<std::pair<int, int>> merged;
        for (const auto& run : runs) {
            if (!merged.empty() && run.first <= merged.back().second)
                merged.back().second = std::max(merged.back().second, run.second);
            else
                merged.push_back(run);
        }
        bool same = merged.size() == open.size();
        for (std::size_t i = 0; same && i < merged.size(); ++i)
            same = open[i].x1 == merged[i].first && open[i].x2 == merged[i].second && open[i].y2 == top;
        if (same) {
            for (PixelRect& r : open)
                r.y2 = bottom;
            continue;
        }
        out.insert(out.end(), open.begin(), open.end());
        open.clear();
        for (const auto& run : merged)
            open.push_back({run.first, top, run.second, bottom});
    }
    out.insert(out.end(), open.begin(), open.end());
    return out;
}

void OverlayRenderer::reset(bool pictureIsPlainCapture) {
    m_valid = pictureIsPlainCapture;
    m_plainCapture = pictureIsPlainCapture;
    m_previous = Frame{};
    m_pictureBits = nullptr;
    m_screenshotBits = nullptr;
}

std::vector<PixelRect> OverlayRenderer::draw(TAgg2D& agg, Bitmap& picture, const Bitmap& screenshot,
                                             const OverlayState& state) {
    const int w = screenshot.width();
    const int h = screenshot.height();
    const Frame frame = frameFor(state, w, h);
    // Restoring strips needs a capture that covers the picture exactly; any
    // other combination is drawn in full, as drawFull would.
    const bool sameSurfaces =
        m_plainCapture || (m_pictureBits == picture.bits() && m_screenshotBits == screenshot.bits() &&
                           m_width == w && m_height == h);
    const bool canRestore = screenshot.bitsPerPixel() == 32 && !screenshot.empty() && picture.width() == w &&
                            picture.height() == h;

    if (!agg.Attach(&picture, false)) {
        m_valid = false;
        return {};
    }
    m_plainCapture = false;
    m_pictureBits = picture.bits();
    m_screenshotBits = screenshot.bits();
    m_width = w;
    m_height = h;

    if (!m_valid || !sameSurfaces || !canRestore) {
        drawFull(agg, picture, screenshot, state);
        m_valid = canRestore;
        m_previous = frame;
        return {PixelRect{0, 0, picture.width(), picture.height()}};
    }

    const std::vector<PixelRect> dirty = disjointUnion(changedPixels(m_previous, frame, w, h), w, h);
    m_previous = frame;
    if (dirty.empty())
        return {};
    drawOverlayWithin(agg, screenshot, &state, dirty);
    return dirty;
}

std::vector<PixelRect> overlayChanges(const OverlayState* was, const OverlayState& now, int width, int height) {
    const OverlayRenderer::Frame before =
        was != nullptr ? OverlayRenderer::frameFor(*was, width, height) : OverlayRenderer::Frame{};
    return OverlayRenderer::disjointUnion(
        OverlayRenderer::changedPixels(before, OverlayRenderer::frameFor(now, width, height), width, height), width,
        height);
}

void drawOverlayWithin(TAgg2D& agg, const Bitmap& screenshot, const OverlayState* state,
                       const std::vector<PixelRect>& boxes) {
    if (boxes.empty())
        return;
    agg.ClipBoxes(boxes);
    agg.CopyImage(&screenshot, 0.0, 0.0);
    if (state == nullptr)
        return;
    const int w = screenshot.width();
    const int h = screenshot.height();
    const Frame frame = OverlayRenderer::frameFor(*state, w, h);
    drawShapes(agg, screenshot, *state, [&](int slot) {
        const PixelRect reach = reachOf(frame[static_cast<std::size_t>(slot)], w, h);
        return std::any_of(boxes.begin(), boxes.end(), [&](const PixelRect& r) { return intersects(r, reach); });
    });
}

} // namespace vornik
