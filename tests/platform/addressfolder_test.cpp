#include "platform/posix/addressfolder.h"

#include "tests/support/testfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornik {
namespace {

namespace fs = std::filesystem;
using testing::TestFolder;
using testing::writeBytes;

struct FolderCase {
    const char* name;
    const char* executableFolder;
    bool mayCreateThere;
    const char* xdgDataHome;
    const char* home;
    const char* expected;
};

class ChooseAddressFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ChooseAddressFolder, PicksTheFolder)
{
    const FolderCase& c = GetParam();
    EXPECT_EQ(chooseAddressFolder(c.executableFolder, c.mayCreateThere, c.xdgDataHome, c.home), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseAddressFolder,
    ::testing::Values(
        // A copy in a folder of its own keeps the list beside itself, whatever the environment says.
        FolderCase{"OwnFolder", "/home/u/tools", true, "/home/u/data", "/home/u", "/home/u/tools"},
        FolderCase{"OwnFolderAtTheRoot", "/", true, "", "/root", "/"},
        FolderCase{"OwnFolderTrailingSlash", "/opt/v/", true, "", "/home/u", "/opt/v"},
        // An installed copy: the user's data folder.
        FolderCase{"InstalledWithXdg", "/usr/bin", false, "/home/u/data", "/home/u", "/home/u/data/vornik-tools"},
        FolderCase{"InstalledXdgTrailingSlashes", "/usr/bin", false, "/home/u/data//", "/home/u",
                   "/home/u/data/vornik-tools"},
        FolderCase{"InstalledXdgIsTheRoot", "/usr/bin", false, "/", "/home/u", "/vornik-tools"},
        FolderCase{"InstalledNoXdg", "/usr/bin", false, "", "/home/u", "/home/u/.local/share/vornik-tools"},
        FolderCase{"InstalledHomeTrailingSlash", "/usr/bin", false, "", "/home/u/",
                   "/home/u/.local/share/vornik-tools"},
        FolderCase{"InstalledHomeIsTheRoot", "/usr/bin", false, "", "/", "/.local/share/vornik-tools"},
        // The XDG rule ignores a relative XDG_DATA_HOME.
        FolderCase{"RelativeXdgIgnored", "/usr/bin", false, "data", "/home/u", "/home/u/.local/share/vornik-tools"},
        // Nothing better to name: the executable's folder, where writing will fail visibly.
        FolderCase{"NoHomeNoXdg", "/usr/bin", false, "", "", "/usr/bin"},
        FolderCase{"RelativeHomeNoXdg", "/usr/bin", false, "", "home", "/usr/bin"}),
    [](const auto& param) { return std::string(param.param.name); });

// Runs check as an unprivileged account when this test runs as root (the
// "nobody" user and group), else in this process; gives check's answer.
constexpr uid_t kNobody = 65534;

bool answerAsOrdinaryUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2)
        throw std::runtime_error("the check as an ordinary user did not run");
    return WEXITSTATUS(status) == 0;
}

struct PermissionCase {
    const char* name;
    mode_t mode;      // of the folder "f", owned by the ordinary user
    bool asFile;      // "f" is a regular file instead
    bool expected;
};

class MayCreateFilesIn : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(MayCreateFilesIn, AsAnOrdinaryUser)
{
    const PermissionCase& c = GetParam();
    TestFolder folder;
    const std::string target = folder.path("f");
    if (c.asFile)
        writeBytes(target, "x");
    else
        fs::create_directory(target);
    if (::geteuid() == 0) {
        // The ordinary user must be able to reach the folder, and owns it.
        ::chmod(folder.root().c_str(), 0755);
        ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    }
    ::chmod(target.c_str(), c.mode);
    EXPECT_EQ(answerAsOrdinaryUser([&] { return mayCreateFilesIn(target); }), c.expected);
    ::chmod(target.c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Cases, MayCreateFilesIn,
                         ::testing::Values(PermissionCase{"OwnFolder", 0755, false, true},
                                           PermissionCase{"ReadOnlyFolder", 0555, false, false},
                                           PermissionCase{"WritableNotSearchable", 0600, false, false},
                                           PermissionCase{"SearchableNotWritable", 0100, false, false},
                                           PermissionCase{"RegularFile", 0777, true, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MayCreateFilesInOthers, SystemFoldersAndMissingOnes)
{
    EXPECT_FALSE(answerAsOrdinaryUser([] { return mayCreateFilesIn("/usr/bin"); }));
    EXPECT_FALSE(mayCreateFilesIn("/nonexistent-vornik-folder"));
    // Root may create files anywhere, so an installed copy run by root keeps
    // its list beside the executable, as the rule says for such a folder.
    if (::geteuid() == 0) {
        TestFolder folder;
        ::chmod(folder.root().c_str(), 0555);
        EXPECT_TRUE(mayCreateFilesIn(folder.root().string()));
        EXPECT_TRUE(mayCreateFilesIn("/usr/bin"));
    }
}

} // namespace
} // namespace vornik
