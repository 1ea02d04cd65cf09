#pragma once

class QImage;
class QWidget;

namespace vornik {

// The image a top-level widget is painted into (its backing store's), or
// null while it has none: before the window's first paint, for example when
// it hides again before the paint comes, or where the platform paints it
// another way. On scaled screens Qt's own accessor crashes before the first
// paint, so the program asks only through this.
QImage* windowImageOf(QWidget& window);

} // namespace vornik
