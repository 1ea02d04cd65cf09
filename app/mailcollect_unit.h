#pragma once

#include <QWidget>

namespace vornik {

// The second form of the program: created at start with its stored
// geometry and never shown or used.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    TForm2();
};

} // namespace vornik
