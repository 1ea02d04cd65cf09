#include "platform/processmemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace vornik {
namespace {

// Anonymous resident memory of this process, in KiB.
long residentAnonymousKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "RssAnon:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// The tool window's frames come and go in this pattern: a screen-sized block
// is allocated, written, freed, and later allocated again at the same size.
// From the second round on, the C library serves such a block from its own
// heap and keeps it after it is freed, unless it is asked to give it back.
TEST(ProcessMemory, FreedScreenSizedFramesLeaveTheProcessEveryTime)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory in quarantine";
#endif
    if (residentAnonymousKiB() < 0)
        GTEST_SKIP() << "no /proc/self/status";
    const std::size_t frame = std::size_t(3840) * 2160 * 4;
    for (int round = 0; round < 3; ++round) {
        auto* block = new std::vector<std::uint8_t>(frame);
        std::memset(block->data(), 1, frame);
        const long held = residentAnonymousKiB();
        delete block;
        returnFreedMemory();
        const long after = residentAnonymousKiB();
        EXPECT_LT(after, held - long(frame / 1024) * 9 / 10) << "round " << round;
    }
}

} // namespace
} // namespace vornik
