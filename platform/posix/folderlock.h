#pragma once

#include <string>

namespace vornik {

// Holds an exclusive lock on a folder for as long as the process runs, so
// that a second copy of the program started from the same folder can tell.
// Returns false when another process holds it.
bool lockFolderForThisProcess(const std::string& folder);

} // namespace vornik
