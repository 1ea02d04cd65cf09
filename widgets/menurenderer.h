#pragma once

#include "platform/canvas.h"
#include "widgets/menustyler.h"

namespace vornik {

class TMenuItem;

// Owner-drawn item states the renderer reads.
inline constexpr unsigned kItemSelected = 0x0001;
inline constexpr unsigned kItemDisabled = 0x0004;

// A gradient from c1 towards c2, one one-pixel line per row (vertical) or
// column (horizontal); c2 itself is never reached. c2 none means c1.
void GradientFill(Canvas& canvas, const Rect& rect, Color c1, Color c2, MenuGradientDirection direction);

// The part of a gradient laid over full that falls inside limit, so that
// several paints of neighbouring limits look like one gradient.
void ClippedGradient(Canvas& canvas, const Rect& full, const Rect& limit, Color c1, Color c2,
                     MenuGradientDirection direction);

// A gradient box with an optional one-pixel border (none: no border).
void PaintBox(Canvas& canvas, const Rect& rect, Color color, Color colorTo, MenuGradientDirection direction,
              Color border, bool fill);

// The answer to a measure request. height arrives as the height the
// desktop proposes for the menu font; the surface carries that font.
void MeasureMenuItem(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas, int& width,
                     int& height);

// Paints one item of a pop-up menu into its rectangle (client coordinates)
// and then the menu window's frame, when the surface belongs to a window.
// itemsArea is the union of the rectangles of all items of the menu.
void PaintMenuItem(const TCustomMenuStyler& styler, const TMenuItem& item, Canvas& canvas,
                   const Rect& itemRect, unsigned state, const Rect& itemsArea);

// The frame step alone: takes the surface's window over once per showing
// (region, position) and draws the two frame lines.
void PaintMenuWindowFrame(const TCustomMenuStyler& styler, Canvas& canvas, int level);

// The menu level of an item: 1 for the items of a pop-up menu's own list.
int MenuItemLevel(const TMenuItem& item);

} // namespace vornik
