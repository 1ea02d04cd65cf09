#include "screentools/areaexport.h"

#include "platform/error.h"
#include "platform/posix/files.h"
#include "tests/screentools/jpegdecode.h"
#include "tests/support/killedwrite.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vornik {
namespace {

namespace fs = std::filesystem;
using testing::decodeJpeg;
using testing::readFileBytes;

// A capture whose every pixel tells where it came from.
std::uint32_t capturePixel(int x, int y) { return 0xFF000000u | std::uint32_t(x) << 16 | std::uint32_t(y) << 8 | 0x5A; }

Bitmap makeCapture(int width, int height)
{
    Bitmap capture(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            capture.setPixel32(x, y, capturePixel(x, y));
    return capture;
}

TEST(AreaExport, HasSelectedArea)
{
    struct Case {
        int selx1, sely1, selx2, sely2;
        bool selected;
    };
    const std::vector<Case> cases = {
        {-1, 10, 50, 60, false}, // no drag since the window opened
        {10, 10, 10, 60, false}, // zero wide
        {10, 20, 50, 20, false}, // zero high
        {10, 10, 50, 60, true},  {50, 60, 10, 10, true}, {0, 0, 1, 1, true},
        {5, 5, -20, -30, true}, // end corner dragged off the top-left of the screen
    };
    for (const Case& c : cases)
        EXPECT_EQ(hasSelectedArea(c.selx1, c.sely1, c.selx2, c.sely2), c.selected)
            << c.selx1 << "," << c.sely1 << " " << c.selx2 << "," << c.sely2;
}

TEST(AreaExport, CopiesTheAreaUprightWhateverTheDragDirection)
{
    const Bitmap capture = makeCapture(40, 30);
    const int corners[][4] = {{5, 7, 25, 19}, {25, 19, 5, 7}, {25, 7, 5, 19}, {5, 19, 25, 7}};
    for (const auto& c : corners) {
        const Bitmap area = copySelectedArea(capture, c[0], c[1], c[2], c[3]);
        ASSERT_EQ(area.width(), 20);
        ASSERT_EQ(area.height(), 12);
        EXPECT_EQ(area.bitsPerPixel(), 32);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(area.pixel32(x, y), capturePixel(5 + x, 7 + y)) << x << "," << y;
    }
}

TEST(AreaExport, PixelsOutsideTheCaptureAreBlack)
{
    const Bitmap capture = makeCapture(40, 30);
    struct Case {
        const char* name;
        int selx1, sely1, selx2, sely2;
    };
    const std::vector<Case> cases = {
        {"over the left and top edges", 10, 8, -6, -4}, {"over the right and bottom edges", 30, 20, 52, 41},
        {"wholly outside", 50, 50, 60, 55},            {"around the whole capture", -3, -2, 45, 33},
        {"one pixel wide at the edge", 39, 0, 40, 30},
    };
    for (const Case& c : cases) {
        const Bitmap area = copySelectedArea(capture, c.selx1, c.sely1, c.selx2, c.sely2);
        const int left = std::min(c.selx1, c.selx2), top = std::min(c.sely1, c.sely2);
        ASSERT_EQ(area.width(), std::abs(c.selx1 - c.selx2)) << c.name;
        ASSERT_EQ(area.height(), std::abs(c.sely1 - c.sely2)) << c.name;
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x) {
                const int sx = left + x, sy = top + y;
                const bool inside = sx >= 0 && sx < 40 && sy >= 0 && sy < 30;
                ASSERT_EQ(area.pixel32(x, y), inside ? capturePixel(sx, sy) : 0u) << c.name << " " << x << "," << y;
            }
    }
    // A failed capture leaves nothing to copy: the area is all black.
    const Bitmap none = copySelectedArea(Bitmap(), 0, 0, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(none.pixel32(x, y), 0u);
}

TEST(AreaExport, To24BitKeepsBlueGreenRed)
{
    for (bool bottomUp : {true, false}) {
        Bitmap source(5, 3, 32, bottomUp);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                source.setPixel32(x, y, 0xAB000000u | std::uint32_t(x * 40) << 16 | std::uint32_t(y * 70) << 8 | 7);
        const Bitmap converted = to24Bit(source);
        ASSERT_EQ(converted.bitsPerPixel(), 24);
        EXPECT_EQ(converted.bottomUp(), bottomUp);
        EXPECT_EQ(converted.stride(), 16); // 15 bytes padded to four
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const std::uint8_t* p = converted.scanLine(y) + 3 * x;
                EXPECT_EQ(p[0], 7);
                EXPECT_EQ(p[1], y * 70);
                EXPECT_EQ(p[2], x * 40);
            }
    }
}

class SaveJpegFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("vornik-export-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        fs::permissions(m_folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_folder);
    }
    std::string path(const std::string& name) const { return (m_folder / name).string(); }
    void writeText(const std::string& name, const std::string& text) const { std::ofstream(path(name)) << text; }
    // Every entry of the folder: no temporary file may stay behind.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string errorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const Error& error) {
            return error.what();
        }
        return "no error";
    }

    fs::path m_folder;
};

Bitmap redBlue24()
{
    // Left half pure red, right half pure blue.
    Bitmap area(32, 16, 32, true);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            area.setPixel32(x, y, x < 16 ? 0xFFFF0000u : 0xFF0000FFu);
    return to24Bit(area);
}

TEST_F(SaveJpegFile, WritesJpegWhateverTheNameAndReplacesWithoutAsking)
{
    writeText("old.jpg", "previous content");
    for (const std::string name : {"new.jpg", "picture.bmp", "no-extension", "old.jpg"}) {
        saveJpegFile(path(name), redBlue24());
        const auto decoded = decodeJpeg(readFileBytes(path(name)));
        ASSERT_TRUE(decoded) << name;
        EXPECT_EQ(decoded->width, 32);
        EXPECT_EQ(decoded->height, 16);
        const auto red = decoded->pixel(4, 8), blue = decoded->pixel(28, 8);
        EXPECT_GT(red[0], 240) << name;
        EXPECT_LT(red[2], 15) << name;
        EXPECT_GT(blue[2], 240) << name;
        EXPECT_LT(blue[0], 15) << name;
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"new.jpg", "no-extension", "old.jpg", "picture.bmp"}));
}

TEST_F(SaveJpegFile, KeepsTheModeOfAReplacedFileAndReplacesLinks)
{
    writeText("target.jpg", "old");
    writeText("plain.jpg", "old");
    fs::permissions(path("plain.jpg"), fs::perms(0640));
    fs::create_symlink(path("target.jpg"), path("link.jpg"));
    fs::create_symlink(path("missing.jpg"), path("dangling.jpg"));
    for (const char* name : {"plain.jpg", "link.jpg", "dangling.jpg"}) {
        saveJpegFile(path(name), redBlue24());
        EXPECT_FALSE(fs::is_symlink(path(name))) << name;
        EXPECT_TRUE(decodeJpeg(readFileBytes(path(name)))) << name;
    }
    EXPECT_EQ(fs::status(path("plain.jpg")).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(readFileBytes(path("target.jpg")).size(), 3u) << "the link's target is left alone";
    EXPECT_EQ(entries(), (std::vector<std::string>{"dangling.jpg", "link.jpg", "plain.jpg", "target.jpg"}))
        << "the dangling link's target is not created";
}

// An export killed with the picture complete but not yet in place leaves no
// copy of the screen beside it: none at all with unnamed temporary files;
// without them a temporary file that the next export into the folder removes.
TEST_F(SaveJpegFile, AKilledExportLeavesNoHiddenCopyBehind)
{
    writeText("old.jpg", "previous content");
    for (const bool unnamed : {true, false}) {
        const auto [child, status] =
            testing::runKilledBeforeCommit(unnamed, [&] { saveJpegFile(path("old.jpg"), redBlue24()); });
        ASSERT_GE(child, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(readFileBytes(path("old.jpg")).size(), 16u) << "unnamed " << unnamed;
        EXPECT_EQ(entries().size(), unnamed ? 1u : 2u) << "unnamed " << unnamed;
    }
    saveJpegFile(path("new.jpg"), redBlue24());
    EXPECT_EQ(entries(), (std::vector<std::string>{"new.jpg", "old.jpg"}));
}

TEST_F(SaveJpegFile, UncreatableFileGivesTheCreateMessage)
{
    writeText("plain-file", "x");
    fs::create_directory(path("a-folder"));
    struct Case {
        std::string target;
        int error;
    };
    const std::vector<Case> cases = {
        {path("missing-folder/shot.jpg"), ENOENT},
        {path("plain-file/shot.jpg"), ENOTDIR},
        {path("a-folder"), EISDIR},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf([&] { saveJpegFile(c.target, redBlue24()); }),
                  "Cannot create file \"" + c.target + "\". " + systemErrorText(c.error));
    EXPECT_EQ(entries(), (std::vector<std::string>{"a-folder", "plain-file"}));
}

TEST_F(SaveJpegFile, FolderNobodyMayWriteGivesTheCreateMessage)
{
    // sysfs lets nobody create files in it, not even the super-user.
    if (!fs::is_directory("/sys/kernel"))
        GTEST_SKIP() << "no sysfs";
    EXPECT_EQ(errorOf([&] { saveJpegFile("/sys/kernel/vornik-shot.jpg", redBlue24()); }),
              "Cannot create file \"/sys/kernel/vornik-shot.jpg\". " + systemErrorText(EACCES));
}

// Checked with the permission bits, which bind root here too, and under root
// also as an unprivileged account, for whom the system enforces them.
TEST_F(SaveJpegFile, UnwritableFolderGivesTheCreateMessage)
{
    const auto body = [this] {
        fs::create_directory(path("locked"));
        writeText("locked/old.jpg", "old");
        writeText("locked/open.jpg", "old");
        fs::permissions(path("locked"), fs::perms(0500));
        EXPECT_EQ(errorOf([&] { saveJpegFile(path("locked/new.jpg"), redBlue24()); }),
                  "Cannot create file \"" + path("locked/new.jpg") + "\". " + systemErrorText(EACCES));
        // A picture that may itself be written is rewritten where it is.
        EXPECT_EQ(errorOf([&] { saveJpegFile(path("locked/open.jpg"), redBlue24()); }), "no error");
        EXPECT_TRUE(decodeJpeg(readFileBytes(path("locked/open.jpg"))));
        fs::permissions(path("locked"), fs::perms(0700));
        fs::permissions(path("locked/old.jpg"), fs::perms(0400));
        EXPECT_EQ(errorOf([&] { saveJpegFile(path("locked/old.jpg"), redBlue24()); }),
                  "Cannot create file \"" + path("locked/old.jpg") + "\". " + systemErrorText(EACCES));
        EXPECT_EQ(readFileBytes(path("locked/old.jpg")).size(), 3u);
        fs::permissions(path("locked"), fs::perms(0700));
        fs::remove_all(path("locked"));
    };
    body();
    ASSERT_TRUE(vornik::testing::handToUnprivileged(m_folder.string()));
    EXPECT_TRUE(vornik::testing::runUnprivileged(body));
}

TEST_F(SaveJpegFile, JpegErrorLeavesTheOldFileIntact)
{
    writeText("old.jpg", "previous content");
    // Wider than libjpeg can encode: a real fatal error of the library.
    const Bitmap tooWide(70000, 1, 24, true);
    EXPECT_EQ(errorOf([&] { saveJpegFile(path("old.jpg"), tooWide); }), "JPEG error #41");
    EXPECT_EQ(errorOf([&] { saveJpegFile(path("fresh.jpg"), tooWide); }), "JPEG error #41");
    std::ifstream in(path("old.jpg"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "previous content");
    EXPECT_EQ(entries(), (std::vector<std::string>{"old.jpg"}));
}

TEST_F(SaveJpegFile, ShortWriteIsReportedAndLeavesTheOldFileIntact)
{
    writeText("old.jpg", "previous content");
    // A file size limit makes the write stop short, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Bitmap noisy(300, 300, 24, true);
    for (std::size_t i = 0; i < noisy.sizeInBytes(); ++i)
        noisy.bits()[i] = std::uint8_t(i * 2654435761u >> 13);
    const std::string error = errorOf([&] { saveJpegFile(path("old.jpg"), noisy); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(error, "Stream write error");
    std::ifstream in(path("old.jpg"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "previous content");
    EXPECT_EQ(entries(), (std::vector<std::string>{"old.jpg"}));
}

TEST_F(SaveJpegFile, ExportAsksOnlyForASelectionAndSavesTheArea)
{
    const Bitmap capture = makeCapture(60, 40);
    int asked = 0;
    auto answer = [&](std::optional<std::string> name) {
        return [&asked, name] {
            ++asked;
            return name;
        };
    };

    EXPECT_EQ(exportSelectedArea(capture, -1, 5, 30, 20, answer(path("a.jpg"))), ExportResult::NoSelection);
    EXPECT_EQ(exportSelectedArea(capture, 10, 5, 30, 5, answer(path("a.jpg"))), ExportResult::NoSelection);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(exportSelectedArea(capture, 10, 5, 30, 20, answer(std::nullopt)), ExportResult::Cancelled);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(entries().empty());

    // A one-pixel-wide area and the same area dragged both ways.
    EXPECT_EQ(exportSelectedArea(capture, 10, 5, 11, 25, answer(path("thin.jpg"))), ExportResult::Saved);
    EXPECT_EQ(exportSelectedArea(capture, 10, 5, 42, 29, answer(path("down.jpg"))), ExportResult::Saved);
    EXPECT_EQ(exportSelectedArea(capture, 42, 29, 10, 5, answer(path("up.jpg"))), ExportResult::Saved);
    const auto thin = decodeJpeg(readFileBytes(path("thin.jpg")));
    ASSERT_TRUE(thin);
    EXPECT_EQ(thin->width, 1);
    EXPECT_EQ(thin->height, 20);
    const auto down = decodeJpeg(readFileBytes(path("down.jpg")));
    const auto up = decodeJpeg(readFileBytes(path("up.jpg")));
    ASSERT_TRUE(down && up);
    EXPECT_EQ(down->width, 32);
    EXPECT_EQ(down->height, 24);
    EXPECT_EQ(down->rgb, up->rgb);
    // The pixels are those of the capture: red carries x, green carries y.
    for (auto [x, y] : {std::pair{0, 0}, std::pair{31, 23}, std::pair{16, 12}}) {
        const auto got = down->pixel(x, y);
        EXPECT_NEAR(got[0], 10 + x, 6) << x << "," << y;
        EXPECT_NEAR(got[1], 5 + y, 6) << x << "," << y;
    }
}

} // namespace
} // namespace vornik
