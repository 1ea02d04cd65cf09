#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vornik {

// The folder of the running executable, without a trailing slash (except
// for the root folder, which stays "/").
std::string executableDir();

// Where the collector keeps its addresses: emails.txt in addressFolder().
std::string addressFilePath();

// True when path names an existing regular file (after following links). A
// folder, a device or a dangling link counts as no file.
bool isExistingFile(const std::string& path);

// Reads the whole file as bytes. The file is shared for reading: while it is
// read, other programs may read it too, and a program that holds it for
// writing (an exclusive advisory lock) makes the read fail.
// Throws Error("Cannot open file "path". <system text>").
std::string readWholeFile(const std::string& path);

// Replaces the file's content with the given bytes, so that the file always
// holds either the old content or the whole new one: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary
// file then takes the target's name. While this runs the target is held
// exclusively; a program reading or writing it makes the call fail.
// Throws Error("Cannot create file "path". <system text>") when the file
// cannot be created or replaced (read-only file or folder, a folder of that
// name, the file held by another program), and Error("Stream write error")
// when the bytes cannot all be written or flushed. In both cases the old
// file is left as it was and no temporary file stays behind.
void writeWholeFile(const std::string& path, std::string_view content);

// Removes what writes of writeWholeFile cut short by a crash left beside
// path: temporary files named after it (".<name>.XXXXXX") that never took
// its place. Only safe while no other program writes that file, so the
// caller holds the folder's lock. Files it cannot remove are left alone.
void removeLeftoverTemporaryFiles(const std::string& path);

// Test seam: limits how many bytes writeWholeFile may write in one call, as
// a full disk would; writing beyond the limit fails with "no space left".
// std::nullopt lifts the limit. Only tests call this.
void setWriteLimitForTesting(std::optional<std::size_t> bytes);

} // namespace vornik
