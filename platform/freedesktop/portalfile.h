#pragma once

#include <ctime>
#include <string>

namespace vornik {

// What became of the picture file a screenshot portal named in its answer.
struct PortalPictureFile {
    // The file's bytes; empty when it could not be read.
    std::string bytes;
    // Why it could not be read, as the system says it; empty when it was.
    std::string error;
    // Whether the file was the portal's for this request and is now gone.
    bool removed = false;
};

// Reads the picture at `path` and removes the file when it is the one the
// portal wrote for a request sent at `requestedAt`: a regular file (not a
// symbolic link) of this user, written no earlier than the request, and still
// the same file when it is removed. Anything else at that path is read but
// left in place; the portal may have answered with a file that the user keeps
// or that belongs to someone else, and the program removes nothing it did not
// cause to be made.
PortalPictureFile takePortalPicture(const std::string& path, std::time_t requestedAt);

} // namespace vornik
