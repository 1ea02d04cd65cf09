#include "platform/posix/processmemory.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace vornik {
namespace {

// One of the resident memory figures of this process, in KiB.
long resident(const std::string& which)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == which) {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

long residentAnonymousKiB()
{
    return resident("RssAnon:");
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

// A buffer still in use gives its pages back: private memory as well as
// shared memory (a window's image shared with the X server), which is freed
// for every process that maps it. Afterwards it reads as zero and can be
// written again.
TEST(ProcessMemory, ReleasedPagesReadAsZeroAndLeaveTheProcess)
{
    if (residentAnonymousKiB() < 0)
        GTEST_SKIP() << "no /proc/self/status";
    const std::size_t bytes = std::size_t(8) << 20;
    struct Kind {
        const char* name;
        bool shared;
    };
    for (const Kind kind : {Kind{"private", false}, Kind{"shared", true}}) {
        int id = -1;
        std::uint8_t* buffer = nullptr;
        if (kind.shared) {
            id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
            ASSERT_GE(id, 0);
            buffer = static_cast<std::uint8_t*>(shmat(id, nullptr, 0));
            shmctl(id, IPC_RMID, nullptr);
        } else {
            buffer = static_cast<std::uint8_t*>(
                mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        }
        ASSERT_NE(buffer, reinterpret_cast<std::uint8_t*>(-1)) << kind.name;
        std::memset(buffer, 7, bytes);
        const long held = resident(kind.shared ? "RssShmem:" : "RssAnon:");
        // Off by a few bytes at both ends: only the whole pages inside go.
        EXPECT_TRUE(releasePages(buffer + 3, bytes - 6)) << kind.name;
        const long after = resident(kind.shared ? "RssShmem:" : "RssAnon:");
        EXPECT_LT(after, held - long(bytes / 1024) * 9 / 10) << kind.name;
        EXPECT_EQ(buffer[4096], 0) << kind.name;
        EXPECT_EQ(buffer[bytes / 2], 0) << kind.name;
        EXPECT_EQ(buffer[0], 7) << kind.name << ": the partial first page stays";
        buffer[bytes / 2] = 9;
        EXPECT_EQ(buffer[bytes / 2], 9) << kind.name;
        if (kind.shared)
            shmdt(buffer);
        else
            munmap(buffer, bytes);
    }
}

} // namespace
} // namespace vornik
