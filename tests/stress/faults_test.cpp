// Faults met by the real main window on Qt's offscreen platform: a full disk,
// an address file or folder that cannot be written, a file held by another
// program at start, a huge file with a zero byte, a screen capture that
// fails, and picture exports into places that cannot take them.
#include "app/mainform_unit.h"
#include "../support/testfolder.h"
#include "collector/emaillist.h"
#include "platform/posix/files.h"
#include "screentools/areaexport.h"
#include "screentools/infopanel.h"
#include "screentools/picturebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vornik {
namespace {

using vornik::testing::readBytes;
using vornik::testing::writeBytes;
namespace fs = std::filesystem;

// Temporary files of the replacing write, ".vornik-tools-unfinished-...",
// and anything named after the list that a write might make.
std::vector<std::string> leftoverTemporaries()
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(executableDir())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".emails.txt", 0) == 0 || name.rfind(".vornik-tools-unfinished-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

// Answers the next message box with OK and keeps its text. Unlike a loose
// poll, it stops looking when it goes out of scope, so a box that never came
// cannot make it catch the box of a later step.
class MessageCatcher {
public:
    MessageCatcher()
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_poll.stop();
                m_text = box->text().toStdString();
                m_answered = true;
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_poll.start();
    }
    std::string wait(int waitMs)
    {
        (void)QTest::qWaitFor([this] { return m_answered; }, waitMs);
        return m_text;
    }
    bool answered() const { return m_answered; }
    const std::string& text() const { return m_text; }

private:
    QTimer m_poll;
    std::string m_text;
    bool m_answered = false;
};

class AddressFileFault : public ::testing::Test {
protected:
    void SetUp() override { removeAddressFile(); }
    void TearDown() override
    {
        setWriteLimitForTesting(std::nullopt);
        ::chmod(executableDir().c_str(), 0755);
        removeAddressFile();
    }
    static void removeAddressFile()
    {
        std::error_code ignored;
        fs::permissions(addressFilePath(), fs::perms::owner_all, ignored);
        fs::remove_all(addressFilePath(), ignored);
    }

    // Puts text on the clipboard and returns the text of the message box the
    // pass shows, answered with OK, or "" when none shows within the time.
    static std::string copyAndCatchMessage(const QString& text, int waitMs = 3000)
    {
        MessageCatcher catcher;
        QGuiApplication::clipboard()->setText(text);
        return catcher.wait(waitMs);
    }

    static void copyAndWaitForFile(const QString& text, const std::string& expected)
    {
        QGuiApplication::clipboard()->setText(text);
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(addressFilePath()), expected, 5000);
    }
};

TEST_F(AddressFileFault, FullDiskKeepsTheOldFileAndTheNextPassWritesEverything)
{
    writeBytes(addressFilePath(), "a@old\r\nb@old\r\n");
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    ASSERT_TRUE(form.ready);
    // Every limit cuts the new content somewhere: none, inside the old part,
    // inside the new part.
    std::string expected = "a@old\r\nb@old\r\n";
    int round = 0;
    for (std::size_t limit : {std::size_t{0}, std::size_t{5}, std::size_t{14}, std::size_t{20}}) {
        setWriteLimitForTesting(limit);
        const std::string address = "full" + std::to_string(round++) + "@disk";
        const std::string shown = copyAndCatchMessage(QString::fromStdString("x " + address + " y"));
        EXPECT_EQ(shown, "Stream write error.") << "limit " << limit;
        EXPECT_EQ(readBytes(addressFilePath()), "a@old\r\nb@old\r\n") << "the old file must stay intact, limit " << limit;
        EXPECT_TRUE(leftoverTemporaries().empty()) << "limit " << limit;
        expected += address + "\r\n";
    }
    EXPECT_EQ(form.emaillist->Count(), 6) << "the addresses of the failed passes stay in memory";

    setWriteLimitForTesting(std::nullopt);
    expected += "after@lift\r\n";
    copyAndWaitForFile(QStringLiteral("after@lift"), expected);
    EXPECT_TRUE(leftoverTemporaries().empty());
}

// A file that cannot be written: the first pass reports it with the file's
// name, the list stays in memory, and once the cause is gone the next pass
// writes all of it.
struct UnwritableCase {
    const char* name;
    std::function<void()> make;   // before start
    std::function<void()> repair; // after the failed pass
    std::string initial;          // the file's content at start, "" for none
};

void PrintTo(const UnwritableCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnwritableAddressFile : public AddressFileFault, public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritableAddressFile, IsReportedAtTheFirstPassAndNothingIsLost)
{
    const UnwritableCase& c = GetParam();
    c.make();
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    ASSERT_TRUE(form.ready);
    const std::string prefix = "Cannot create file \"" + addressFilePath() + "\". ";
    const std::string shown = copyAndCatchMessage(QStringLiteral("first@pass second@pass"));
    EXPECT_EQ(shown.rfind(prefix, 0), 0u) << shown;
    EXPECT_GT(shown.size(), prefix.size() + 1) << "the system's reason follows: " << shown;
    ASSERT_EQ(form.emaillist->Count(), (c.initial.empty() ? 0 : 1) + 2) << "the list is kept in memory";
    if (!c.initial.empty()) {
        EXPECT_EQ(readBytes(addressFilePath()), c.initial) << "the read-only file is left as it was";
    }
    EXPECT_TRUE(leftoverTemporaries().empty());

    c.repair();
    copyAndWaitForFile(QStringLiteral("third@pass"), c.initial + "first@pass\r\nsecond@pass\r\nthird@pass\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnwritableAddressFile,
    ::testing::Values(
        UnwritableCase{"ReadOnlyFile",
                       [] {
                           writeBytes(addressFilePath(), "kept@ro\r\n");
                           ::chmod(addressFilePath().c_str(), 0444);
                       },
                       [] { ::chmod(addressFilePath().c_str(), 0644); }, "kept@ro\r\n"},
        UnwritableCase{"ReadOnlyFolder", [] { ::chmod(executableDir().c_str(), 0555); },
                       [] { ::chmod(executableDir().c_str(), 0755); }, ""},
        UnwritableCase{"FolderOfThatName", [] { fs::create_directory(addressFilePath()); },
                       [] { fs::remove(addressFilePath()); }, ""}),
    [](const ::testing::TestParamInfo<UnwritableCase>& param) { return std::string(param.param.name); });

// A folder where no new file can be made does not stop the passes while the
// list itself may be written: each pass rewrites it where it is.
TEST_F(AddressFileFault, WritableFileInAReadOnlyFolderIsSavedByEveryPass)
{
    writeBytes(addressFilePath(), "kept@old\r\n");
    ::chmod(executableDir().c_str(), 0555);
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    ASSERT_TRUE(form.ready);
    std::string expected = "kept@old\r\n";
    for (const char* address : {"first@pass", "second@pass"}) {
        // A message box the pass might show is answered, so that its text
        // shows up in the failure rather than blocking the test.
        MessageCatcher catcher;
        expected += std::string(address) + "\r\n";
        copyAndWaitForFile(QString::fromLatin1(address), expected);
        ASSERT_FALSE(catcher.answered()) << catcher.text();
    }
    EXPECT_TRUE(leftoverTemporaries().empty());
}

TEST_F(AddressFileFault, FileHeldByAnotherProgramAtStartIsNeverOverwritten)
{
    writeBytes(addressFilePath(), "held@file\r\n");
    QProcess holder;
    holder.start(QStringLiteral("flock"), {QStringLiteral("-x"), QString::fromStdString(addressFilePath()),
                                           QStringLiteral("-c"), QStringLiteral("echo locked; sleep 30")});
    ASSERT_TRUE(holder.waitForReadyRead(5000)) << "flock did not take the lock";

    MessageCatcher catcher;
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    holder.kill();
    holder.waitForFinished(5000);
    ASSERT_TRUE(catcher.answered());
    EXPECT_EQ(catcher.text().rfind("Cannot open file \"" + addressFilePath() + "\". ", 0), 0u) << catcher.text();
    EXPECT_FALSE(form.ready);

    for (const char* text : {"new@one", "new@two"}) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
        QTest::qWait(150);
    }
    EXPECT_EQ(readBytes(addressFilePath()), "held@file\r\n") << "the file must never be overwritten in that run";
}

TEST_F(AddressFileFault, HugeFileLoadsUpToItsZeroByteAndIsWrittenBackWithCrLf)
{
    // 20 MB of entries that sort the same in any collation, with CR, LF and
    // CR LF line ends in turn and a zero byte in the middle.
    const char* ends[] = {"\r", "\n", "\r\n"};
    std::string content, expected;
    content.reserve(21u << 20);
    int n = 0;
    auto add = [&](bool before) {
        char line[32];
        std::snprintf(line, sizeof line, "m%08d@big.hu", n);
        content += line;
        content += ends[n % 3];
        if (before)
            expected += std::string(line) + "\r\n";
        ++n;
    };
    while (content.size() < (10u << 20))
        add(true);
    content += std::string("zcut") + '\0' + "m99999999@after.zero\r\n";
    while (content.size() < (20u << 20))
        add(false);
    writeBytes(addressFilePath(), content);

    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    ASSERT_TRUE(form.ready);
    // "zcut" stands on its own line before the zero byte and sorts last.
    expected += "zcut\r\n";
    expected += "z@new\r\n";
    QGuiApplication::clipboard()->setText(QStringLiteral("z@new"));
    QTRY_VERIFY_WITH_TIMEOUT(readBytes(addressFilePath()).size() == expected.size(), 20000);
    EXPECT_TRUE(readBytes(addressFilePath()) == expected) << "the part before the zero byte, with CR LF";
}

// What killed passes left is removed at start; nothing else is, however
// much its name resembles the list's.
TEST(LeftoverTemporaries, OnlyTheReplacingWritesOwnTemporariesGo)
{
    vornik::testing::TestFolder folder;
    const std::string target = folder.path("emails.txt");
    writeBytes(target, "kept@list\r\n");
    // Process ids above the system's limit name writers that surely ended.
    const std::vector<std::string> leftovers = {".vornik-tools-unfinished-999999999-0123456789abcdef",
                                                ".vornik-tools-unfinished-999999998-00000000000000ff"};
    const std::vector<std::string> others = {".emails.txt.Ab3xZ9",   ".emails.txt.000000", ".emails.txt.backup",
                                             ".emails.txt.2024q1",   ".emails.txt.tmp",    "emails.txt.Ab3xZ9",
                                             ".vornik-tools-unfinished-999999999-0123456789abcde"};
    for (const std::string& name : leftovers)
        writeBytes(folder.path(name), "partial");
    for (const std::string& name : others)
        writeBytes(folder.path(name), "someone else's");
    fs::create_directory(folder.path(".vornik-tools-unfinished-999999999-fedcba9876543210"));
    removeUnfinishedWritesBeside(target);
    for (const std::string& name : leftovers)
        EXPECT_FALSE(fs::exists(folder.path(name))) << name;
    for (const std::string& name : others)
        EXPECT_TRUE(fs::exists(folder.path(name))) << name;
    EXPECT_TRUE(fs::is_directory(folder.path(".vornik-tools-unfinished-999999999-fedcba9876543210")));
    EXPECT_EQ(readBytes(target), "kept@list\r\n");
}

// The tool window over a capture that failed: it opens empty and stays usable.
using ScreenToolsFault = AddressFileFault;

TEST_F(ScreenToolsFault, FailedCaptureLeavesTheToolWindowUsable)
{
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    form.Colorpickersizecuttools1Click(nullptr);
    // Whatever the offscreen grab gave, go on as after a failed one.
    form.screenshot = std::make_unique<Bitmap>();
    form.Image1->clearPicture();
    ASSERT_EQ(form.toolmode, "screentools");
    ASSERT_TRUE(form.isVisible());

    form.Image1MouseMove({}, 10, 20);
    EXPECT_EQ(form.pixelcolor->text(), QStringLiteral("#FFFFFF"));
    form.Image1MouseDown(Qt::LeftButton, {}, 10, 20);
    for (int i = 0; i < 50; ++i)
        form.Image1MouseMove({}, 10 + i * 7, 20 + i * 3);
    form.Image1MouseUp(Qt::LeftButton, {}, 360, 170);
    EXPECT_EQ(form.pixelcolor->text(), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(form.mousexy->text().isEmpty(), false);

    // F2 still copies the position readout and closes the tool.
    const QString position = form.mousexy->text();
    form.FormKeyDown(VK_F2, {});
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), position);

    // Open again: Escape closes.
    form.Colorpickersizecuttools1Click(nullptr);
    form.screenshot = std::make_unique<Bitmap>();
    form.Image1->clearPicture();
    form.Image1MouseMove({}, 5, 5);
    // F5 without a drag says what to do and leaves the tool open.
    {
        MessageCatcher catcher;
        form.FormKeyDown(VK_F5, {});
        EXPECT_EQ(catcher.wait(2000), kSelectAreaWithMouseDrag);
    }
    EXPECT_TRUE(form.isVisible());
    form.FormKeyDown(VK_ESCAPE, {});
    EXPECT_FALSE(form.isVisible());
}

// The real offscreen grab, whatever it yields, must not break the tool window.
TEST_F(ScreenToolsFault, OffscreenCaptureAsItComes)
{
    TForm1 form;
    // As after start-up: the window has hidden itself once already, so a
    // showing of the tool window is not taken for the start-up flash.
    form.Tag = kTagRunning;
    form.Colorpickersizecuttools1Click(nullptr);
    std::printf("offscreen capture: %dx%d\n", form.screenshot->width(), form.screenshot->height());
    for (int i = 0; i < 20; ++i)
        form.Image1MouseMove({}, i * 50, i * 40);
    if (form.screenshot->empty())
        EXPECT_EQ(form.pixelcolor->text(), QStringLiteral("#FFFFFF"));
    else
        EXPECT_EQ(form.pixelcolor->text().size(), 7);
    form.FormKeyDown(VK_ESCAPE, {});
    EXPECT_FALSE(form.isVisible());
}

Bitmap smallPicture()
{
    Bitmap picture(8, 6, 32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            picture.scanLine(y)[x * 4 + 2] = static_cast<std::uint8_t>(x * 30);
    return picture;
}

// Exports into places that cannot take the file fail with the file's name.
TEST(ExportFault, UnwritablePlacesAreReportedAndNothingIsLeft)
{
    vornik::testing::TestFolder folder;
    const std::string readOnly = folder.path("readonly");
    fs::create_directory(readOnly);
    ::chmod(readOnly.c_str(), 0555);
    const std::vector<std::string> targets = {
        folder.path("missing/area.jpg"),
        "/proc/vornik-area.jpg",
        "/sys/vornik-area.jpg",
        "/proc/self/vornik-area.jpg",
        readOnly + "/area.jpg",
    };
    const Bitmap picture = smallPicture();
    for (const std::string& target : targets) {
        std::string message;
        try {
            exportSelectedArea(picture, 0, 0, 8, 6, [&] { return std::optional<std::string>(target); });
        } catch (const std::exception& error) {
            message = error.what();
        }
        EXPECT_EQ(message.rfind("Cannot create file \"" + target + "\". ", 0), 0u) << target << ": " << message;
        EXPECT_FALSE(fs::exists(target)) << target;
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder.root()))
        EXPECT_TRUE(entry.is_directory()) << "left behind: " << entry.path();
}

// An area dragged over a capture that failed comes out black, not as a crash.
TEST(ExportFault, AreaOfAnEmptyCaptureIsSavedBlack)
{
    vornik::testing::TestFolder folder;
    const std::string target = folder.path("empty.jpg");
    EXPECT_EQ(exportSelectedArea(Bitmap(), 3, 4, 40, 30, [&] { return std::optional<std::string>(target); }),
              ExportResult::Saved);
    const Bitmap area = copySelectedArea(Bitmap(), 3, 4, 40, 30);
    ASSERT_EQ(area.width(), 37);
    ASSERT_EQ(area.height(), 26);
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            ASSERT_EQ(area.pixel32(x, y) & 0xFFFFFF, 0u) << x << "," << y;
    EXPECT_EQ(readBytes(target).substr(0, 2), "\xFF\xD8");
}

TEST(ExportFault, NonAsciiNameIsWrittenUnderExactlyThatName)
{
    vornik::testing::TestFolder folder;
    const std::string name = "k\xC3\xA9perny\xC5\x91 \xE2\x80\x94 \xD0\xB6\xE2\x82\xAC.jpg";
    const std::string target = folder.path(name);
    EXPECT_EQ(exportSelectedArea(smallPicture(), 8, 6, 0, 0, [&] { return std::optional<std::string>(target); }),
              ExportResult::Saved);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.root()))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names, std::vector<std::string>{name});
    const std::string bytes = readBytes(target);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
}

} // namespace
} // namespace vornik
