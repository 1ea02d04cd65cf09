#include "platform/processmemory.h"

// Any C library header tells whether this is the GNU C library.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace vornik {

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

bool releasePages(void* start, std::size_t bytes)
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (start == nullptr || pageSize <= 0)
        return false;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
    if (end <= begin)
        return false;
    void* first = reinterpret_cast<void*>(begin);
    // Shared memory gives its pages up only when they are removed; private
    // memory when this process drops them.
    return madvise(first, end - begin, MADV_REMOVE) == 0 || madvise(first, end - begin, MADV_DONTNEED) == 0;
}

} // namespace vornik
