#include "app/spacingrulertool.h"

#include "screentools/loupe.h"
#include "screentools/picturebox.h"

#include <QLabel>

#include <algorithm>
#include <cmath>

namespace vornik {
namespace {

// How long the tolerance stays in view after the last change.
constexpr int kNoteMilliseconds = 1500;
// How far the note keeps from the point's pixel, in logical pixels.
constexpr int kNoteGap = 16;

} // namespace

SpacingRulerTool::SpacingRulerTool(QWidget& window, const PictureBox& picture) : m_window(window), m_picture(picture)
{
    m_note = new QLabel(&window);
    m_note->setObjectName(QStringLiteral("RulerTolerance"));
    m_note->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_note->setFocusPolicy(Qt::NoFocus);
    m_note->setAutoFillBackground(true);
    m_note->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_note->setMargin(3);
    QPalette palette = m_note->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 225));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    m_note->setPalette(palette);
    m_note->hide();
    m_noteTimer.setSingleShot(true);
    m_noteTimer.setInterval(kNoteMilliseconds);
    QObject::connect(&m_noteTimer, &QTimer::timeout, m_note, &QWidget::hide);
}

void SpacingRulerTool::opened()
{
    m_shown = false;
    m_spans.reset();
    m_noteTimer.stop();
    m_note->hide();
}

void SpacingRulerTool::toggle()
{
    m_shown = !m_shown;
    if (!m_shown) {
        m_spans.reset();
        m_noteTimer.stop();
        m_note->hide();
    }
}

void SpacingRulerTool::changeTolerance(int delta, PixelPoint point)
{
    m_tolerance = std::clamp(m_tolerance + delta, 0, kMaxTolerance);
    m_note->setText(QStringLiteral("Tolerance %1").arg(m_tolerance));
    m_note->adjustSize();

    // Above and left of the point, where the loupe does not go unless the
    // screen ends there; the same rules keep it off the point and inside.
    const PictureFit fit = m_picture.fit();
    const double dpr = m_window.devicePixelRatioF();
    const PixelPoint shown{fit.shownX(point.x), fit.shownY(point.y)};
    const int width = static_cast<int>(std::ceil(m_note->width() * dpr));
    const int height = static_cast<int>(std::ceil(m_note->height() * dpr));
    const auto at = placeLoupe(
        shown, {shown.x + 1, shown.y + 1}, width, height, static_cast<int>(std::floor(m_window.width() * dpr)),
        static_cast<int>(std::floor(m_window.height() * dpr)), static_cast<int>(std::lround(kNoteGap * dpr)));
    if (at)
        m_note->move(static_cast<int>(at->x / dpr), static_cast<int>(at->y / dpr));
    m_note->show();
    m_note->raise();
    m_noteTimer.start();
}

void SpacingRulerTool::measure(const Bitmap& capture, PixelPoint point)
{
    if (m_shown)
        m_spans = measureSpacing(capture, point, m_tolerance);
    else
        m_spans.reset();
}

} // namespace vornik
