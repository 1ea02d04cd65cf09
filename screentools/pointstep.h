#pragma once

#include <chrono>
#include <deque>

namespace vornik {

// A position in captured pixels (device pixels of the primary screen).
struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// Where an arrow key takes the point: dx and dy are the key's direction (-1,
// 0 or 1), one captured pixel per press, ten with `coarse` (Shift). The
// result always lies within a capture of the given size, also when the point
// started outside it (as during a drag that left the window). A capture
// without pixels has no point to move to: `from` comes back unchanged.
PixelPoint steppedPoint(PixelPoint from, int dx, int dy, bool coarse, int width, int height);

// The pointer moves that the program causes itself by moving the pointer to
// the point. The window system reports such a move like any other, a little
// later and possibly after further key presses; counting it would make one
// key press two moves (and a drag a move more than the user made). Each position
// the pointer was sent to is noted; a reported move at a noted position is
// the echo and is dropped together with the older notes (the window system
// may merge moves). Any other move is the user's and forgets all notes. A
// note that no echo answers within `lifetime` is forgotten, so that a later
// move of the user's to that position is never mistaken for it.
class PointerEchoes {
  public:
    using Clock = std::chrono::steady_clock;
    explicit PointerEchoes(Clock::duration lifetime = std::chrono::seconds(1)) : m_lifetime(lifetime) {}

    void sent(PixelPoint to, Clock::time_point now);
    // True when the reported move is an echo to be dropped.
    bool isEcho(PixelPoint at, Clock::time_point now);
    void clear() { m_sent.clear(); }
    bool empty() const { return m_sent.empty(); }

  private:
    struct Note {
        PixelPoint to;
        Clock::time_point when;
    };
    Clock::duration m_lifetime;
    std::deque<Note> m_sent;
};

} // namespace vornik
