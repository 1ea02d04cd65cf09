#include "widgets/menustyler.h"

#include "platform/qtcanvas.h"

namespace vornik {

TCustomMenuStyler::TCustomMenuStyler() {
    Font.Spec = menuFontSpec();
    Font.Color = systemColor(COLOR_MENUTEXT);
    SelectedItem.Font.Spec = menuFontSpec();
    SelectedItem.Font.Color = systemColor(COLOR_WINDOWTEXT);
}

} // namespace vornik
