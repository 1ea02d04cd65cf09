#include "platform/posix/processmemory.h"

// Any C library header tells whether this is the GNU C library.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace vornik {

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

namespace {

// The whole pages inside a buffer: first address and length, or nothing.
std::pair<void*, std::size_t> wholePages(void* start, std::size_t bytes)
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (start == nullptr || pageSize <= 0)
        return {nullptr, 0};
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
    if (end <= begin)
        return {nullptr, 0};
    return {reinterpret_cast<void*>(begin), end - begin};
}

} // namespace

void preparePages(void* start, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    const auto [first, length] = wholePages(start, bytes);
    if (first != nullptr)
        madvise(first, length, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)bytes;
#endif
}

bool releasePages(void* start, std::size_t bytes)
{
    const auto [first, length] = wholePages(start, bytes);
    if (first == nullptr)
        return false;
    // Shared memory gives its pages up only when they are removed; private
    // memory when this process drops them.
    return madvise(first, length, MADV_REMOVE) == 0 || madvise(first, length, MADV_DONTNEED) == 0;
}

} // namespace vornik
