#pragma once

#include "platform/posix/files.h"

#include <csignal>
#include <cstdio>
#include <functional>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornik::testing {

// A write run in a child process that is killed the moment its file would be
// put in place: the child's pid (negative when it could not be started) and
// its wait status (0 when it could not be waited for).
struct KilledWrite {
    pid_t pid = -1;
    int status = 0;
};

// Runs the write in a child with or without unnamed temporary files and kills
// the child with SIGKILL just before the file is committed.
inline KilledWrite runKilledBeforeCommit(bool unnamedTemporaries, const std::function<void()>& write)
{
    std::fflush(nullptr);
    KilledWrite result;
    result.pid = ::fork();
    if (result.pid == 0) {
        setUnnamedTemporaryFilesForTesting(unnamedTemporaries);
        setBeforeCommitHookForTesting([] { ::raise(SIGKILL); });
        write();
        ::_exit(0);
    }
    if (result.pid > 0 && ::waitpid(result.pid, &result.status, 0) != result.pid)
        result.status = 0;
    return result;
}

} // namespace vornik::testing
