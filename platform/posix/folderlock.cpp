#include "platform/posix/folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vornik {

bool lockFolderForThisProcess(const std::string& folder)
{
    // The descriptor stays open for the life of the process; the kernel drops
    // the lock when the process ends, however it ends.
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return true; // nothing to lock on: do not keep the user from working
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return false;
    }
    return true;
}

} // namespace vornik
