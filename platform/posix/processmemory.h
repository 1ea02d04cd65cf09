#pragma once

#include <cstddef>

namespace vornik {

// Hands the memory of freed large blocks back to the system. The C library
// keeps a freed screen-sized block for reuse once a block of that size has
// been freed before, so a program that frees its frames while it waits in
// the tray would otherwise go on holding them.
void returnFreedMemory();

// Gives the memory under a buffer that is still in use back to the system:
// its whole pages read as zero afterwards and take memory again only when
// written. Memory shared with another process (such as a window's image
// that the X server reads) is freed for both. Returns false where the
// system keeps it.
bool releasePages(void* start, std::size_t bytes);

// Takes the memory under a buffer before it is written, in one go instead of
// a page fault for every page on the first write. Where the system cannot,
// nothing happens and the first write takes the pages as usual.
void preparePages(void* start, std::size_t bytes);

} // namespace vornik
