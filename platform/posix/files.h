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
// holds either the old content or the whole new one: the bytes go to a file
// without a name in the same folder (or, where the file system has no such
// files, to one with a temporary name that no person would choose), are
// flushed to disk, and the new file then takes the target's name. A write
// killed halfway therefore leaves nothing behind (or at most a temporary file
// that removeUnfinishedWrites recognises). While this runs the target is held
// exclusively; a program reading or writing it makes the call fail.
// A symbolic link of that name is replaced by a regular file; what it points
// to is left alone. When the folder does not let a new file be made but the
// file itself may be written, the file is emptied and rewritten in place.
// Throws Error("Cannot create file "path". <system text>") when the file
// cannot be created or replaced (read-only file, read-only folder without a
// writable file, a folder of that name, the file held by another program),
// and Error("Stream write error") when the bytes cannot all be written or
// flushed. Then the old file is left as it was and no temporary file stays
// behind, except after a rewrite in place, where the file may be left short.
void writeWholeFile(const std::string& path, std::string_view content);

// Removes what writes of writeWholeFile cut short by a crash left in the
// folder that holds path: regular files of this user with the temporary
// files' name whose writer no longer runs. Nothing else is touched, whatever
// its name.
void removeUnfinishedWritesBeside(const std::string& path);

// Test seams, only tests call these. The first limits how many bytes
// writeWholeFile may write in one call, as a full disk would; writing beyond
// the limit fails with "no space left"; std::nullopt lifts the limit. The
// second makes writeWholeFile act as on a file system without files that
// have no name. The third is called once the new content is complete and
// flushed, before it takes the target's name; nullptr for none.
void setWriteLimitForTesting(std::optional<std::size_t> bytes);
void setUnnamedTemporaryFilesForTesting(bool allowed);
void setBeforeCommitHookForTesting(void (*hook)());

} // namespace vornik
