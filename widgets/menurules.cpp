#include "widgets/menurules.h"

namespace vornik {

int popupX(int x, int measuredWidth, TPopupAlignment alignment, int desktopWidth) {
    const int w = measuredWidth + 17;
    switch (alignment) {
    case paRight:
        if (x - 17 - w >= 0)
            x += 17;
        break;
    case paLeft:
        if (desktopWidth <= x + w + 34)
            x += 17;
        break;
    case paCenter:
        x += 8;
        break;
    }
    if (x >= desktopWidth)
        x = desktopWidth - 1;
    return x;
}

unsigned popupTrackFlags(TPopupAlignment alignment, TTrackButton button, unsigned animations,
                         bool rightToLeft) {
    unsigned flags = 0;
    switch (alignment) {
    case paLeft:
        flags = rightToLeft ? 8u : 0u;
        break;
    case paRight:
        flags = rightToLeft ? 0u : 8u;
        break;
    case paCenter:
        flags = 4u;
        break;
    }
    if (button == tbRightButton)
        flags |= 2u;
    flags |= (animations & 0x1Fu) << 10;
    return flags;
}

std::vector<bool> reducedLines(const std::vector<LineItem>& items) {
    std::vector<bool> visible(items.size());
    bool ordinaryBefore = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].separator) {
            visible[i] = items[i].visible;
            ordinaryBefore = ordinaryBefore || items[i].visible;
            continue;
        }
        // The next item that counts: another separator or a visible item.
        std::size_t j = i + 1;
        while (j < items.size() && !items[j].separator && !items[j].visible)
            ++j;
        visible[i] = ordinaryBefore && j < items.size() && !items[j].separator;
    }
    return visible;
}

} // namespace vornik
