#include "platform/freedesktop/picturesfolder.h"
#include "platform/freedesktop/portalfile.h"
#include "platform/freedesktop/portalrequest.h"
#include "platform/freedesktop/screenshotpermission.h"

#include "../support/testfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

namespace vornik {
namespace {

TEST(PortalRequestPath, FollowsTheCallersUniqueName)
{
    struct Case {
        const char* uniqueName;
        const char* token;
        const char* path;
    };
    const Case cases[] = {
        {":1.42", "vornik_1_7", "/org/freedesktop/portal/desktop/request/1_42/vornik_1_7"},
        {":1.2.3", "t", "/org/freedesktop/portal/desktop/request/1_2_3/t"},
        {":12.345", "a_b", "/org/freedesktop/portal/desktop/request/12_345/a_b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(portalRequestPath(c.uniqueName, c.token), c.path) << c.uniqueName;
}

TEST(OutputInPicture, KeepsThePrimaryOutputsPixels)
{
    struct Case {
        const char* what;
        int width, height;
        std::vector<OutputRect> outputs;
        std::size_t primary;
        OutputRect expected;
    };
    const Case cases[] = {
        {"one output is the whole picture", 1280, 800, {{0, 0, 1280, 800}}, 0, {0, 0, 1280, 800}},
        {"one output at another scale is still the whole picture",
         2560,
         1600,
         {{0, 0, 1280, 800}},
         0,
         {0, 0, 2560, 1600}},
        {"no outputs known", 640, 480, {}, 0, {0, 0, 640, 480}},
        {"primary on the right", 3200, 1080, {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}}, 1, {1280, 0, 1920, 1080}},
        {"primary on the left, shorter than the picture",
         3200,
         1080,
         {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}},
         0,
         {0, 0, 1280, 1024}},
        {"layout starting left of zero",
         3200,
         1080,
         {{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}},
         0,
         {1280, 0, 1920, 1080}},
        {"layout with negative origin",
         2000,
         1000,
         {{-1000, 0, 1000, 1000}, {0, 0, 1000, 1000}},
         1,
         {1000, 0, 1000, 1000}},
        {"picture at twice the layout's scale",
         4000,
         2000,
         {{-1000, 0, 1000, 1000}, {0, 0, 1000, 1000}},
         1,
         {2000, 0, 2000, 2000}},
        {"stacked outputs", 1920, 2160, {{0, 0, 1920, 1080}, {0, 1080, 1920, 1080}}, 1, {0, 1080, 1920, 1080}},
        {"an empty output is left out of the layout",
         1920,
         1080,
         {{0, 0, 1920, 1080}, {5000, 5000, 0, 0}},
         0,
         {0, 0, 1920, 1080}},
        {"the wanted output is empty", 1920, 1080, {{0, 0, 1920, 1080}, {5000, 5000, 0, 0}}, 1, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outputInPicture(c.width, c.height, c.outputs, c.primary), c.expected) << c.what;

    // Sway at scale 1 beside an output at scale 2: the portal's picture of
    // the layout (1920 + 1280 logical pixels wide) is twice that, so the first
    // output's part is 3840 pixels wide, while the output has 1920.
    EXPECT_EQ(outputInPicture(6400, 2400, {{0, 0, 1920, 1200}, {1920, 0, 1280, 800}}, 0),
              (OutputRect{0, 0, 3840, 2400}));
    const std::vector<OutputRect> wayland{{0, 0, 1920, 1200}, {1920, 0, 2560, 1600}};
    EXPECT_EQ(deviceSizeOfOutputAt(wayland, 0, 0), (OutputRect{0, 0, 1920, 1200}));
    EXPECT_EQ(deviceSizeOfOutputAt(wayland, 1920, 0), (OutputRect{0, 0, 2560, 1600}));
    EXPECT_TRUE(deviceSizeOfOutputAt(wayland, 100, 0).empty()) << "no output starts there";
    EXPECT_TRUE(deviceSizeOfOutputAt({{0, 0, 1920, 1080}, {0, 0, 1280, 1024}}, 0, 0).empty()) << "mirrored outputs";
}

// The portal names a file; only the one it wrote for the request goes.
class PortalPicture : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder.path(name);
        testing::writeBytes(path, bytes);
        return path;
    }
    static void setModified(const std::string& path, std::time_t when)
    {
        const utimbuf times{when, when};
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    }

    testing::TestFolder folder;
    const std::time_t now = std::time(nullptr);
};

TEST_F(PortalPicture, TheRequestsFileIsReadAndRemoved)
{
    const std::string path = write("out.png", "picture bytes");
    const PortalPictureFile file = takePortalPicture(path, now);
    EXPECT_EQ(file.bytes, "picture bytes");
    EXPECT_TRUE(file.error.empty());
    EXPECT_TRUE(file.removed);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PortalPicture, AFileOlderThanTheRequestIsReadAndKept)
{
    const std::string path = write("kept.png", "old picture");
    setModified(path, now - 60);
    const PortalPictureFile file = takePortalPicture(path, now);
    EXPECT_EQ(file.bytes, "old picture");
    EXPECT_FALSE(file.removed);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(PortalPicture, ALinkIsNeitherFollowedNorRemoved)
{
    const std::string target = write("target.png", "someone's picture");
    const std::string link = folder.path("link.png");
    std::filesystem::create_symlink(target, link);
    const PortalPictureFile file = takePortalPicture(link, now);
    EXPECT_TRUE(file.bytes.empty());
    EXPECT_FALSE(file.error.empty());
    EXPECT_FALSE(file.removed);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::exists(target));
}

TEST_F(PortalPicture, WhatIsNotAFileIsReported)
{
    std::filesystem::create_directory(folder.path("folder.png"));
    const PortalPictureFile folderAnswer = takePortalPicture(folder.path("folder.png"), now);
    EXPECT_FALSE(folderAnswer.error.empty());
    EXPECT_FALSE(folderAnswer.removed);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("folder.png")));

    const PortalPictureFile missing = takePortalPicture(folder.path("missing.png"), now);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_FALSE(missing.removed);
}

TEST(PicturesFolder, IsReadAsXdgUserDirsWritesIt)
{
    struct Case {
        const char* what;
        const char* userDirs;
        const char* folder;
    };
    const Case cases[] = {
        {"no file", "", "/home/u/Pictures"},
        {"the default line", "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n",
         "/home/u/Pictures"},
        {"a translated name", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n",
         "/home/u/Bilder"},
        {"an absolute path", "XDG_PICTURES_DIR=\"/data/shots/\"\n", "/data/shots"},
        {"the home folder itself", "XDG_PICTURES_DIR=\"$HOME/\"\n", "/home/u"},
        {"escaped characters", "XDG_PICTURES_DIR=\"$HOME/a \\\"b\\\" \\$c\"\n", "/home/u/a \"b\" $c"},
        {"the last line counts", "XDG_PICTURES_DIR=\"$HOME/One\"\nXDG_PICTURES_DIR=\"$HOME/Two\"\n",
         "/home/u/Two"},
        {"a commented line is no line", "#XDG_PICTURES_DIR=\"$HOME/Old\"\n", "/home/u/Pictures"},
        {"spaces around and CR LF", "  XDG_PICTURES_DIR = \"$HOME/Shots\"\r\n", "/home/u/Shots"},
        {"another key that starts the same", "XDG_PICTURES_DIRS=\"$HOME/No\"\n", "/home/u/Pictures"},
        {"a relative value is not a path", "XDG_PICTURES_DIR=\"Pictures2\"\n", "/home/u/Pictures"},
        {"$HOMEX is not $HOME", "XDG_PICTURES_DIR=\"$HOMEX/p\"\n", "/home/u/Pictures"},
        {"an unclosed quote", "XDG_PICTURES_DIR=\"$HOME/Open\n", "/home/u/Pictures"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(picturesFolderFrom("/home/u", c.userDirs), c.folder) << c.what;
}

TEST(PicturesFolder, MakingItMakesTheMissingFoldersAbove)
{
    testing::TestFolder folder;
    const std::string deep = folder.path("a/b c/d");
    EXPECT_EQ(makeFolderPath(deep), "");
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(makeFolderPath(deep), "") << "an existing folder is fine";
    testing::writeBytes(folder.path("file"), "x");
    EXPECT_EQ(makeFolderPath(folder.path("file")), "Not a directory");
    EXPECT_EQ(makeFolderPath(folder.path("file/sub")), "Not a directory");
}

TEST(PortalAppId, ComesFromTheUnitADesktopStartedTheProgramIn)
{
    struct Case {
        const char* what;
        const char* cgroup;
        const char* appId;
    };
    const char* slice = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::string gnomeMenu = std::string("0::") + slice + "app-gnome-org.example.Tool-4242.scope\n";
    const std::string autostart = std::string("0::") + slice + "app-gnome-org.example.Tool-autostart.service\n";
    const std::string escaped = std::string("0::") + slice + "app-gnome-org.example.my\\x2dtool-17.scope\n";
    const std::string kde = std::string("0::") + slice + "app-org.kde.dolphin@a1b2c3.service\n";
    const std::string noDots = std::string("0::") + slice + "app-gnome-vornik\\x2dtools-4242.scope\n";
    const std::string terminal = std::string("0::") + slice + "vte-spawn-0d4f.scope\n";
    const std::string hybrid = std::string("1:name=systemd:") + slice + "app-gnome-org.example.Tool-9.scope\n0::/\n";
    const std::string both = std::string("9:name=systemd:/other.scope\n0::") + slice +
                             "app-gnome-org.example.Tool-9.scope\n4:memory:/x\n";
    const Case cases[] = {
        {"started from a menu entry", gnomeMenu.c_str(), "org.example.Tool"},
        {"started at login", autostart.c_str(), "org.example.Tool"},
        {"an escaped dash in the id", escaped.c_str(), "org.example.my-tool"},
        {"a launcher's service with a random part", kde.c_str(), "org.kde.dolphin"},
        {"an entry name without dots gives no id", noDots.c_str(), ""},
        {"a terminal's scope gives no id", terminal.c_str(), ""},
        {"the systemd hierarchy where the unified one is the root", hybrid.c_str(), "org.example.Tool"},
        {"the unified hierarchy first", both.c_str(), "org.example.Tool"},
        {"no cgroup file", "", ""},
        {"a unit that is not a scope, service or slice", "0::/app-gnome-org.example.Tool-1.mount\n", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(portalAppIdFromCgroup(c.cgroup), c.appId) << c.what;
}

} // namespace
} // namespace vornik
