#include "platform/posix/files.h"

#include "platform/error.h"
#include "tests/support/killedwrite.h"
#include "tests/support/testfolder.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornik {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TestFolder;
using testing::writeBytes;

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

// Another process holds an advisory lock on the file until the object goes.
class LockHolder {
public:
    LockHolder(const std::string& path, int operation)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe");
        m_child = ::fork();
        if (m_child == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            const char ok = (fd >= 0 && ::flock(fd, operation) == 0) ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 'n';
        (void)!::read(ready[0], &answer, 1);
        ::close(ready[0]);
        m_locked = answer == 'y';
    }
    ~LockHolder()
    {
        ::kill(m_child, SIGKILL);
        ::waitpid(m_child, nullptr, 0);
    }
    bool locked() const { return m_locked; }

private:
    pid_t m_child = -1;
    bool m_locked = false;
};

TEST(ExecutableDir, IsTheFolderOfThisTestProgram)
{
    const fs::path self = fs::canonical("/proc/self/exe");
    EXPECT_EQ(executableDir(), self.parent_path().string());
    EXPECT_EQ(addressFilePath(), (self.parent_path() / "emails.txt").string());
}

TEST(IsExistingFile, OnlyRegularFilesCount)
{
    TestFolder folder;
    writeBytes(folder.path("file"), "x");
    fs::create_directory(folder.path("emails.txt"));
    fs::create_symlink(folder.path("file"), folder.path("link"));
    fs::create_symlink(folder.path("gone"), folder.path("dangling"));
    EXPECT_TRUE(isExistingFile(folder.path("file")));
    EXPECT_TRUE(isExistingFile(folder.path("link")));
    EXPECT_FALSE(isExistingFile(folder.path("emails.txt")));
    EXPECT_FALSE(isExistingFile(folder.path("dangling")));
    EXPECT_FALSE(isExistingFile(folder.path("missing")));
}

TEST(ReadWholeFile, ReturnsEveryByte)
{
    TestFolder folder;
    std::string bytes;
    for (int i = 0; i < 200000; ++i)
        bytes.push_back(static_cast<char>(i * 7));
    writeBytes(folder.path("f"), bytes);
    EXPECT_EQ(readWholeFile(folder.path("f")), bytes);
    writeBytes(folder.path("empty"), "");
    EXPECT_EQ(readWholeFile(folder.path("empty")), "");
}

TEST(ReadWholeFile, FailuresCarryTheOpenMessage)
{
    TestFolder folder;
    const std::string missing = folder.path("missing");
    EXPECT_EQ(messageOf([&] { readWholeFile(missing); }), cannotOpenFileMessage(missing, systemErrorText(ENOENT)));
    EXPECT_EQ(messageOf([&] { readWholeFile(folder.root().string()); }),
              cannotOpenFileMessage(folder.root().string(), systemErrorText(EISDIR)));
}

TEST(ReadWholeFile, FileHeldForWritingCannotBeReadButReadersShare)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeBytes(path, "a@b\r\n");
    {
        LockHolder writer(path, LOCK_EX);
        ASSERT_TRUE(writer.locked());
        EXPECT_EQ(messageOf([&] { readWholeFile(path); }), cannotOpenFileMessage(path, systemErrorText(EWOULDBLOCK)));
    }
    {
        LockHolder reader(path, LOCK_SH);
        ASSERT_TRUE(reader.locked());
        EXPECT_EQ(readWholeFile(path), "a@b\r\n");
    }
    EXPECT_EQ(readWholeFile(path), "a@b\r\n");
}

TEST(WriteWholeFile, CreatesAndReplacesWithoutLeavingTemporaryFiles)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeWholeFile(path, "");
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    writeWholeFile(path, "first\r\n");
    EXPECT_EQ(readBytes(path), "first\r\n");
    writeWholeFile(path, std::string("b\0c", 3));
    EXPECT_EQ(readBytes(path), std::string("b\0c", 3));
    EXPECT_EQ(namesIn(folder.root()), std::vector<std::string>{"emails.txt"});
}

TEST(WriteWholeFile, KeepsTheFilesMode)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    writeBytes(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeWholeFile(path, "new");
    EXPECT_EQ(readBytes(path), "new");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The name saved to gets the content: a link of that name becomes a regular
// file, and what it pointed to is neither written nor created.
TEST(WriteWholeFile, ALinkIsReplacedByARegularFileAndItsTargetIsLeftAlone)
{
    struct Case {
        const char* what;
        const char* target; // relative to the folder
        bool targetExists;
    };
    const Case cases[] = {
        {"a link to a file", "real.txt", true},
        {"a link to a file in another folder", "elsewhere/real.txt", true},
        {"a dangling link", "missing.txt", false},
        {"a dangling link into a missing folder", "nowhere/missing.txt", false},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        fs::create_directory(folder.path("elsewhere"));
        if (c.targetExists)
            writeBytes(folder.path(c.target), "old");
        fs::create_symlink(c.target, folder.path("emails.txt"));
        writeWholeFile(folder.path("emails.txt"), "new\r\n");
        EXPECT_FALSE(fs::is_symlink(folder.path("emails.txt"))) << c.what;
        EXPECT_TRUE(fs::is_regular_file(folder.path("emails.txt"))) << c.what;
        EXPECT_EQ(readBytes(folder.path("emails.txt")), "new\r\n") << c.what;
        if (c.targetExists) {
            EXPECT_EQ(readBytes(folder.path(c.target)), "old") << c.what;
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(folder.path(c.target)))) << c.what;
        }
    }
}

struct CreateFailure {
    const char* what;
    std::function<void(TestFolder&)> prepare;
    int errorNumber;
};

TEST(WriteWholeFile, FailedCreateLeavesTheOldFileAndNoTemporaryFile)
{
    const CreateFailure cases[] = {
        {"a folder of that name", [](TestFolder& f) { fs::create_directory(f.path("emails.txt")); }, EISDIR},
        {"a read-only file",
         [](TestFolder& f) {
             writeBytes(f.path("emails.txt"), "old\r\n");
             fs::permissions(f.path("emails.txt"), fs::perms::owner_read | fs::perms::group_read);
         },
         EACCES},
        {"a read-only folder without the file",
         [](TestFolder& f) { fs::permissions(f.root(), fs::perms::owner_read | fs::perms::owner_exec); }, EACCES},
        {"a read-only file in a read-only folder",
         [](TestFolder& f) {
             writeBytes(f.path("emails.txt"), "old\r\n");
             fs::permissions(f.path("emails.txt"), fs::perms::owner_read);
             fs::permissions(f.root(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         EACCES},
        {"a link in a read-only folder",
         [](TestFolder& f) {
             fs::create_symlink("/nonexistent/emails.txt", f.path("emails.txt"));
             fs::permissions(f.root(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         EACCES},
    };
    for (const CreateFailure& c : cases) {
        TestFolder folder;
        c.prepare(folder);
        const std::string path = folder.path("emails.txt");
        const bool wasFile = fs::is_regular_file(path);
        const std::vector<std::string> before = namesIn(folder.root());
        EXPECT_EQ(messageOf([&] { writeWholeFile(path, "new\r\n"); }),
                  cannotCreateFileMessage(path, systemErrorText(c.errorNumber)))
            << c.what;
        if (wasFile) {
            EXPECT_EQ(readBytes(path), "old\r\n") << c.what;
        }
        EXPECT_EQ(namesIn(folder.root()), before) << c.what;
    }
}

// Where no new file can be made beside a file that may be written, the file
// is emptied and rewritten where it is; a short write there is reported.
// Checked with the permission bits (which bind root here too) and, under
// root, also as an unprivileged account, for whom the system enforces them.
TEST(WriteWholeFile, WritableFileInAReadOnlyFolderIsRewrittenInPlace)
{
    const auto body = [] {
        TestFolder folder;
        const std::string path = folder.path("emails.txt");
        writeBytes(path, "old content, longer than the new\r\n");
        const auto inode = [&] {
            struct stat info {};
            ::stat(path.c_str(), &info);
            return info.st_ino;
        };
        const auto before = inode();
        fs::permissions(folder.root(), fs::perms::owner_read | fs::perms::owner_exec);

        EXPECT_EQ(messageOf([&] { writeWholeFile(path, "a@b\r\n"); }), "(no error)");
        EXPECT_EQ(readBytes(path), "a@b\r\n");
        EXPECT_EQ(inode(), before) << "the same file, not a replacement";

        setWriteLimitForTesting(3);
        const std::string message = messageOf([&] { writeWholeFile(path, "c@d\r\ne@f\r\n"); });
        setWriteLimitForTesting(std::nullopt);
        EXPECT_EQ(message, kStreamWriteError);
        EXPECT_EQ(readBytes(path), "c@d") << "emptied, then written as far as it went";
        EXPECT_EQ(namesIn(folder.root()), std::vector<std::string>{"emails.txt"});
    };
    body();
    EXPECT_TRUE(vornik::testing::runUnprivileged(body));
}

// A write killed at its last step, with the new content complete but not yet
// in place, leaves the old file and nothing else: with unnamed temporary
// files nothing at all, and without them only a file that the next start
// recognises as its own and removes. Files of the user's own whose names
// resemble it stay.
TEST(WriteWholeFile, AKilledWriteLeavesNothingBehind)
{
    for (const bool unnamed : {true, false}) {
        TestFolder folder;
        const std::string path = folder.path("emails.txt");
        writeBytes(path, "old\r\n");
        for (const char* name : {".emails.txt.backup", ".emails.txt.2024q1", ".emails.txt.Ab3xZ9"})
            writeBytes(folder.path(name), "the user's own");
        const std::vector<std::string> before = namesIn(folder.root());

        const auto [child, status] = testing::runKilledBeforeCommit(unnamed, [&] { writeWholeFile(path, "new\r\n"); });
        ASSERT_GE(child, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "unnamed " << unnamed;
        EXPECT_EQ(readBytes(path), "old\r\n") << "unnamed " << unnamed;

        std::vector<std::string> after = namesIn(folder.root());
        if (!unnamed) {
            const std::string prefix = ".vornik-tools-unfinished-" + std::to_string(child) + "-";
            const auto leftover = std::find_if(after.begin(), after.end(),
                                               [&](const std::string& name) { return name.rfind(prefix, 0) == 0; });
            ASSERT_NE(leftover, after.end()) << "the named temporary of the killed write";
            after.erase(leftover);
            removeUnfinishedWritesBeside(path);
        }
        EXPECT_EQ(after, before) << "unnamed " << unnamed;
        EXPECT_EQ(namesIn(folder.root()), before) << "unnamed " << unnamed;
        for (const char* name : {".emails.txt.backup", ".emails.txt.2024q1", ".emails.txt.Ab3xZ9"})
            EXPECT_EQ(readBytes(folder.path(name)), "the user's own") << name;
    }
}

// Only the temporary files of writes whose writer has ended go: exactly
// that name, a regular file, owned by this user. Whatever else lies there,
// however alike its name, stays.
TEST(RemoveUnfinishedWrites, TakesOnlyTheProgramsOwnLeftovers)
{
    TestFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string prefix = ".vornik-tools-unfinished-";
    const std::string dead = std::to_string(ended), self = std::to_string(::getpid());
    const std::string digits = "0123456789abcdef";
    const std::vector<std::string> removed = {prefix + dead + "-" + digits, prefix + self + "-" + digits};
    const std::vector<std::string> kept = {
        ".emails.txt.backup",
        ".emails.txt.2024q1",
        ".emails.txt.Ab3xZ9",
        "emails.txt",
        prefix + std::to_string(::getppid()) + "-" + digits, // its writer still runs
        prefix + dead + "-" + digits.substr(1),
        prefix + dead + "-" + digits + "0",
        prefix + dead + "-0123456789ABCDEF",
        prefix + dead + "-" + digits + ".jpg",
        prefix + "0" + dead + "-" + digits,
        prefix + "-" + digits,
        prefix.substr(1) + dead + "-" + digits,
    };
    for (const std::string& name : removed)
        writeBytes(folder.path(name), "partial");
    for (const std::string& name : kept)
        writeBytes(folder.path(name), "someone's");
    const std::string directory = prefix + dead + "-fedcba9876543210";
    const std::string link = prefix + dead + "-00000000000000ff";
    fs::create_directory(folder.path(directory));
    fs::create_symlink(folder.path("emails.txt"), folder.path(link));
    std::string foreign;
    if (::geteuid() == 0) {
        foreign = prefix + dead + "-ffffffffffffffff";
        writeBytes(folder.path(foreign), "another user's");
        const vornik::testing::Account other = vornik::testing::unprivilegedAccount();
        ASSERT_EQ(::chown(folder.path(foreign).c_str(), other.uid, other.gid), 0);
    }

    removeUnfinishedWritesBeside(folder.path("emails.txt"));
    for (const std::string& name : removed)
        EXPECT_FALSE(fs::exists(folder.path(name))) << name;
    for (const std::string& name : kept)
        EXPECT_EQ(readBytes(folder.path(name)), "someone's") << name;
    EXPECT_TRUE(fs::is_directory(folder.path(directory)));
    EXPECT_TRUE(fs::is_symlink(folder.path(link)));
    if (!foreign.empty()) {
        EXPECT_TRUE(fs::exists(folder.path(foreign)));
    }
}

TEST(WriteWholeFile, FileHeldByAnotherProgramCannotBeReplaced)
{
    for (const int operation : {LOCK_SH, LOCK_EX}) {
        TestFolder folder;
        const std::string path = folder.path("emails.txt");
        writeBytes(path, "old\r\n");
        {
            LockHolder holder(path, operation);
            ASSERT_TRUE(holder.locked());
            EXPECT_EQ(messageOf([&] { writeWholeFile(path, "new\r\n"); }),
                      cannotCreateFileMessage(path, systemErrorText(EWOULDBLOCK)));
            EXPECT_EQ(readBytes(path), "old\r\n");
            EXPECT_EQ(namesIn(folder.root()), std::vector<std::string>{"emails.txt"});
        }
        writeWholeFile(path, "new\r\n");
        EXPECT_EQ(readBytes(path), "new\r\n");
    }
}

TEST(WriteWholeFile, FullDiskIsAStreamWriteErrorAndKeepsTheOldFile)
{
    struct Limit {
        std::size_t bytes;
        bool fits;
    };
    const std::string content = "a@b\r\nc@d\r\n";
    for (const Limit limit : {Limit{0, false}, Limit{3, false}, Limit{9, false}, Limit{10, true}}) {
        TestFolder folder;
        const std::string path = folder.path("emails.txt");
        writeBytes(path, "old\r\n");
        setWriteLimitForTesting(limit.bytes);
        const std::string message = messageOf([&] { writeWholeFile(path, content); });
        setWriteLimitForTesting(std::nullopt);
        if (limit.fits) {
            EXPECT_EQ(message, "(no error)");
            EXPECT_EQ(readBytes(path), content);
        } else {
            EXPECT_EQ(message, kStreamWriteError) << "limit " << limit.bytes;
            EXPECT_EQ(readBytes(path), "old\r\n") << "limit " << limit.bytes;
        }
        EXPECT_EQ(namesIn(folder.root()), std::vector<std::string>{"emails.txt"}) << "limit " << limit.bytes;
    }
}

TEST(WriteWholeFile, FullDiskWithoutAnOldFileLeavesNoFile)
{
    TestFolder folder;
    const std::string path = folder.path("emails.txt");
    setWriteLimitForTesting(1);
    const std::string message = messageOf([&] { writeWholeFile(path, "abc"); });
    setWriteLimitForTesting(std::nullopt);
    EXPECT_EQ(message, kStreamWriteError);
    EXPECT_TRUE(namesIn(folder.root()).empty());
}

} // namespace
} // namespace vornik
