#pragma once

#include "screentools/pointstep.h"

#include <functional>
#include <optional>

#include <Qt>

namespace vornik {

class LoupeView;
class TForm1;

// The tool window's aids for pointing at one pixel: the arrow keys move the
// point (what the crosshair, the readouts and the selection follow) one
// captured pixel at a time, and F6 shows a loupe beside it. A key move is a
// pointer move to the new point, made through the window's own move handler;
// the real pointer is sent after it where the window system allows.
class PointerAids {
  public:
    // Sits between the picture box and the window's move handler, which must
    // be in place already; the loupe becomes the window's topmost child.
    explicit PointerAids(TForm1& form);
    ~PointerAids();
    PointerAids(const PointerAids&) = delete;
    PointerAids& operator=(const PointerAids&) = delete;

    // At each opening of the tool window: the loupe is hidden, and the point
    // of the previous opening no longer counts as where keys start from.
    void opened();
    // An arrow key: dx, dy from -1 to 1; ten pixels with Shift held.
    void step(int dx, int dy, Qt::KeyboardModifiers shift);
    void toggleLoupe();
    // Where nothing has moved since the opening, makes the move to where the
    // pointer stands that the point would otherwise wait for, so that what
    // follows the point starts there. False, doing nothing, where the point
    // has moved already or the pointer's place is not known.
    bool settlePoint();

    // The window has shown a move of the pointer (its readouts and overlay):
    // the loupe follows with the same point.
    void pointerShown() { updateLoupe(); }

    LoupeView* loupe() const { return m_loupe; }

  private:
    void pointerMoved(Qt::KeyboardModifiers shift, int x, int y);
    void updateLoupe();
    // The real pointer in picture pixels, when the window system tells.
    std::optional<PixelPoint> realPointer() const;
    PixelPoint pictureOrigin() const;

    TForm1& m_form;
    LoupeView* m_loupe = nullptr;
    std::function<void(Qt::KeyboardModifiers, int, int)> m_moveHandler;
    PointerEchoes m_echoes;
    // Whether the point has moved since the tool window opened; until then
    // the fields hold the previous opening's point.
    bool m_pointMoved = false;
    // The real pointer's last known position, which the loupe keeps away
    // from when keys moved the point without it.
    PixelPoint m_pointer;
};

} // namespace vornik
