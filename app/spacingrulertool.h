#pragma once

#include "platform/bitmap.h"
#include "screentools/pointstep.h"
#include "screentools/spacingruler.h"

#include <QTimer>

#include <optional>

class QLabel;
class QWidget;

namespace vornik {

class PictureBox;

// The spacing ruler of the tool window (F7), with its tolerance (Page Up and
// Page Down) and the note that shows the tolerance for a moment after each
// change. It keeps the spans measured at the point; the window draws them
// and puts them in the size readout.
class SpacingRulerTool {
public:
    // What a fine edge in a screenshot usually stays within: the anti-aliased
    // rim of a flat area and the noise of a compressed picture stay inside it,
    // a border drawn in another colour does not.
    static constexpr int kStartTolerance = 8;

    // The note is a child of the window, shown over the picture box.
    SpacingRulerTool(QWidget& window, const PictureBox& picture);
    SpacingRulerTool(const SpacingRulerTool&) = delete;
    SpacingRulerTool& operator=(const SpacingRulerTool&) = delete;

    // At each opening of the tool window: the ruler and the note are hidden.
    void opened();
    bool shown() const { return m_shown; }
    void toggle();
    int tolerance() const { return m_tolerance; }
    // Changes the tolerance by delta, kept within 0 to 255, and shows it
    // beside the point for a moment.
    void changeTolerance(int delta, PixelPoint point);

    // Measures the spans at the point while the ruler is shown; forgets them
    // while it is hidden or where the point is outside the capture.
    void measure(const Bitmap& capture, PixelPoint point);
    const std::optional<SpacingSpans>& spans() const { return m_spans; }

    QLabel* note() const { return m_note; }

private:
    QWidget& m_window;
    const PictureBox& m_picture;
    QLabel* m_note = nullptr;
    QTimer m_noteTimer;
    bool m_shown = false;
    int m_tolerance = kStartTolerance;
    std::optional<SpacingSpans> m_spans;
};

} // namespace vornik
