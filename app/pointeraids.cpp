#include "app/pointeraids.h"

#include "app/mainform_unit.h"
#include "platform/x11/pointer.h"
#include "screentools/loupeview.h"
#include "screentools/picturebox.h"

#include <cmath>

namespace vornik {

PointerAids::PointerAids(TForm1& form) : m_form(form)
{
    m_loupe = new LoupeView(&form);
    m_loupe->raise();
    m_moveHandler = form.Image1->onMouseMove;
    form.Image1->onMouseMove = [this](Qt::KeyboardModifiers shift, int x, int y) { pointerMoved(shift, x, y); };
}

PointerAids::~PointerAids()
{
    m_form.Image1->onMouseMove = m_moveHandler;
}

void PointerAids::opened()
{
    m_loupe->hide();
    m_echoes.clear();
    m_pointMoved = false;
}

void PointerAids::pointerMoved(Qt::KeyboardModifiers shift, int x, int y)
{
    if (m_echoes.isEcho({x, y}, PointerEchoes::Clock::now()))
        return;
    m_pointer = {x, y};
    m_pointMoved = true;
    // The window shows the move when its frame is due, and the loupe with it
    // (pointerShown).
    if (m_moveHandler)
        m_moveHandler(shift, x, y);
}

PixelPoint PointerAids::pictureOrigin() const
{
    const double dpr = m_form.Image1->devicePixelRatioF();
    const QPoint origin = m_form.Image1->mapToGlobal(QPoint(0, 0));
    return {static_cast<int>(std::lround(origin.x() * dpr)), static_cast<int>(std::lround(origin.y() * dpr))};
}

std::optional<PixelPoint> PointerAids::realPointer() const
{
    const auto native = pointerInDevicePixels();
    if (!native)
        return std::nullopt;
    const PixelPoint origin = pictureOrigin();
    const QPoint at = m_form.Image1->picturePixelAtDevice(QPoint(native->first - origin.x, native->second - origin.y));
    return PixelPoint{at.x(), at.y()};
}

void PointerAids::step(int dx, int dy, Qt::KeyboardModifiers shift)
{
    const Bitmap& capture = *m_form.screenshot;
    PixelPoint from{m_form.mousex, m_form.mousey};
    if (!m_pointMoved) {
        // Nothing has moved since the window opened: the point is where the
        // pointer stands, not where it was at the previous opening.
        if (const auto pointer = realPointer())
            from = *pointer;
    }
    const PixelPoint to = steppedPoint(from, dx, dy, shift.testFlag(Qt::ShiftModifier), capture.width(), capture.height());
    if (capture.empty())
        return;
    m_pointMoved = true;
    // The move is made before the pointer is sent, so that it counts at once,
    // whatever keys follow before the window system reports the pointer there.
    m_form.Image1MouseMove(shift, to.x, to.y);
    // Where the window has fewer pixels than the capture, the pointer can
    // only go to the window pixel over the point, and its move is reported at
    // the captured pixel that window pixel points at.
    const PixelPoint origin = pictureOrigin();
    const QPoint device = m_form.Image1->devicePixelOf(QPoint(to.x, to.y));
    if (movePointerToDevicePixels(origin.x + device.x(), origin.y + device.y())) {
        const QPoint echo = m_form.Image1->picturePixelAtDevice(device);
        m_echoes.sent({echo.x(), echo.y()}, PointerEchoes::Clock::now());
        m_pointer = {echo.x(), echo.y()};
    }
    updateLoupe();
}

void PointerAids::toggleLoupe()
{
    if (m_loupe->isVisible()) {
        m_loupe->hide();
        return;
    }
    if (!m_pointMoved)
        m_pointer = realPointer().value_or(PixelPoint{m_form.mousex, m_form.mousey});
    m_loupe->show();
    updateLoupe();
}

bool PointerAids::settlePoint()
{
    if (m_pointMoved || m_form.screenshot->empty())
        return false;
    const auto pointer = realPointer();
    if (!pointer)
        return false;
    m_pointer = *pointer;
    m_pointMoved = true;
    m_form.Image1MouseMove({}, pointer->x, pointer->y);
    updateLoupe();
    return true;
}

void PointerAids::updateLoupe()
{
    if (!m_loupe->isVisible())
        return;
    const PixelPoint point = m_pointMoved ? PixelPoint{m_form.mousex, m_form.mousey} : m_pointer;
    m_loupe->follow(*m_form.screenshot, point, m_pointer, m_form.Image1->fit());
}

} // namespace vornik
