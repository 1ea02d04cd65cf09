#pragma once

namespace vornik {

// Looks at this process's environment and display and applies the choice of
// Qt platform (see platform/backends.cpp) before the application object
// exists. Returns false, after telling the user why on stderr, when the
// program cannot run here.
bool selectQtPlatform();

} // namespace vornik
