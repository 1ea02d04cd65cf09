#pragma once

#include "platform/canvas.h"

namespace vornik {

// The three monochrome pictures the styled menu draws: the check mark and
// the radio dot (16 x 16) and the sub-menu arrow (4 x 7). They are drawn
// transparently: white is left alone, black takes the text colour.
MonoGlyph checkItemGlyph();
MonoGlyph radioItemGlyph();
MonoGlyph subMenuItemGlyph();

struct TMenuGlyphs {
    MonoGlyph Check = checkItemGlyph();
    MonoGlyph Radio = radioItemGlyph();
    MonoGlyph SubMenu = subMenuItemGlyph();
};

} // namespace vornik
