#include "app/mailcollect_unit.h"

namespace vornik {

TForm2::TForm2()
{
    setWindowTitle(QStringLiteral("Form2"));
    setGeometry(257, 169, 717, 356);
}

} // namespace vornik
