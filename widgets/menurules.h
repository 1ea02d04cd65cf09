#pragma once

#include <vector>

namespace vornik {

enum TPopupAlignment { paLeft, paRight, paCenter };
enum TTrackButton { tbRightButton, tbLeftButton };
enum TMenuAutoFlag { maAutomatic, maManual, maParent };

// The menu animation set, one bit per member in this order.
enum TMenuAnimations : unsigned {
    maLeftToRight = 1u << 0,
    maRightToLeft = 1u << 1,
    maTopToBottom = 1u << 2,
    maBottomToTop = 1u << 3,
    maNone = 1u << 4
};

// The x a pop-up menu is tracked at, from the pointer's x, the first item's
// measured width and the virtual desktop's width: the menu moves 17 pixels
// off the pointer when it would come near the desktop's edge, and never
// reaches past it.
int popupX(int x, int measuredWidth, TPopupAlignment alignment, int desktopWidth);

// The tracking flags: alignment, button and animation bits.
unsigned popupTrackFlags(TPopupAlignment alignment, TTrackButton button, unsigned animations,
                         bool rightToLeft = false);

struct LineItem {
    bool separator = false;
    bool visible = true;
};

// The visibility every item should get when redundant separators are
// hidden: none before the first or after the last visible ordinary item,
// and only the last of several in a row. Ordinary items keep theirs.
std::vector<bool> reducedLines(const std::vector<LineItem>& items);

} // namespace vornik
