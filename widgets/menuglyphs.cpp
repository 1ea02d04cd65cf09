#include "widgets/menuglyphs.h"

#include <initializer_list>

namespace vornik {

namespace {

struct Span {
    int row, first, last;
};

MonoGlyph build(int width, int height, std::initializer_list<Span> spans) {
    MonoGlyph glyph;
    glyph.width = width;
    glyph.height = height;
    glyph.black.assign(static_cast<std::size_t>(width * height), false);
    for (const Span& s : spans)
        for (int x = s.first; x <= s.last; ++x)
            glyph.black[static_cast<std::size_t>(s.row * width + x)] = true;
    return glyph;
}

} // namespace

MonoGlyph checkItemGlyph() {
    return build(16, 16,
                 {{4, 11, 11},
                  {5, 10, 11},
                  {6, 9, 11},
                  {7, 4, 4},
                  {7, 8, 10},
                  {8, 4, 5},
                  {8, 7, 9},
                  {9, 4, 8},
                  {10, 5, 7},
                  {11, 6, 6}});
}

MonoGlyph radioItemGlyph() {
    return build(16, 16, {{5, 6, 9}, {6, 5, 10}, {7, 5, 10}, {8, 5, 10}, {9, 5, 10}, {10, 6, 9}});
}

MonoGlyph subMenuItemGlyph() {
    return build(4, 7, {{0, 0, 0}, {1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 0, 2}, {5, 0, 1}, {6, 0, 0}});
}

} // namespace vornik
