#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vornik {

// The program keeps its texts as bytes in the locale's encoding, the form
// the collector and the components' tables use; Qt keeps them as Unicode.
// Every crossing between the two goes through these.
QString fromLocalBytes(std::string_view text);
std::string toLocalBytes(const QString& text);

} // namespace vornik
