#pragma once

class QWidget;

namespace vornik {

// Puts a window on the primary screen covering all of it, without frame.
void coverPrimaryScreen(QWidget* window);

} // namespace vornik
