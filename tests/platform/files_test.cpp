#include "platform/files.h"

#include "tests/support/testfolder.h"
#include "platform/error.h"

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

TEST(WriteWholeFile, KeepsTheFilesModeAndALinkStaysALink)
{
    TestFolder folder;
    const std::string real = folder.path("real.txt");
    writeBytes(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, folder.path("emails.txt"));
    writeWholeFile(folder.path("emails.txt"), "new");
    EXPECT_TRUE(fs::is_symlink(folder.path("emails.txt")));
    EXPECT_EQ(readBytes(real), "new");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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
        {"a read-only folder",
         [](TestFolder& f) {
             writeBytes(f.path("emails.txt"), "old\r\n");
             fs::permissions(f.root(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         EACCES},
    };
    for (const CreateFailure& c : cases) {
        TestFolder folder;
        c.prepare(folder);
        const std::string path = folder.path("emails.txt");
        const bool wasFile = fs::is_regular_file(path);
        EXPECT_EQ(messageOf([&] { writeWholeFile(path, "new\r\n"); }),
                  cannotCreateFileMessage(path, systemErrorText(c.errorNumber)))
            << c.what;
        if (wasFile) {
            EXPECT_EQ(readBytes(path), "old\r\n") << c.what;
        }
        EXPECT_EQ(namesIn(folder.root()), std::vector<std::string>{"emails.txt"}) << c.what;
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
