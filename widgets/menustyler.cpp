#include "widgets/menustyler.h"

#include "platform/qt/qtcanvas.h"

namespace vornik {

TCustomMenuStyler::TCustomMenuStyler() {
    Font.Description = menuFontSpec();
    Font.Color = systemColor(COLOR_MENUTEXT);
    SelectedItem.Font.Description = menuFontSpec();
    SelectedItem.Font.Color = systemColor(COLOR_WINDOWTEXT);
}

} // namespace vornik
