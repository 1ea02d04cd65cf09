#pragma once

namespace vornik {

// Hands the memory of freed large blocks back to the system. The C library
// keeps a freed screen-sized block for reuse once a block of that size has
// been freed before, so a program that frees its frames while it waits in
// the tray would otherwise go on holding them.
void returnFreedMemory();

} // namespace vornik
