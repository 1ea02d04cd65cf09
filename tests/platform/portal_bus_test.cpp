#include "platform/error.h"
#include "platform/freedesktop/screenshotportal.h"

#include "../support/fakeportal.h"
#include "../support/testfolder.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace vornik {
namespace {

// The bus and the application object for the whole binary.
[[maybe_unused]] ::testing::Environment* const busEnvironment =
    ::testing::AddGlobalTestEnvironment(new testing::PrivateBusEnvironment<QGuiApplication>("portal_bus_test"));

// A bitmap that a failed capture must leave alone.
Bitmap previousCapture()
{
    Bitmap bitmap(3, 2, 32);
    bitmap.setPixel32(2, 1, 0xFF123456u);
    return bitmap;
}

class ScreenshotPortalTest : public ::testing::Test {
protected:
    // A home of the test's own, with its pictures folder, so that a refusal
    // makes no folder in the real one.
    ScreenshotPortalTest() : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        std::filesystem::create_directories(folder.path("home/Pictures"));
        qputenv("HOME", QByteArray::fromStdString(folder.path("home")));
        qunsetenv("XDG_CONFIG_HOME");
    }
    ~ScreenshotPortalTest() override
    {
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    // A picture the size of the test's screen whose pixel (x, y) encodes x
    // and y, written where the portal says it wrote it.
    QString writePicture(const std::string& name)
    {
        const QSize size = QGuiApplication::primaryScreen()->geometry().size();
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x >> 8) << 4 | (y >> 8)));
        const QString path = QString::fromStdString(folder.path(name));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    std::string captureFailure(ScreenshotPortal& portal, Bitmap& into)
    {
        try {
            portal.capture(into);
        } catch (const Error& error) {
            return error.what();
        }
        return "no failure";
    }

    testing::TestFolder folder;
    testing::FakeScreenshotPortal fake;

private:
    QByteArray m_oldHome, m_oldConfig;
};

TEST_F(ScreenshotPortalTest, ThePictureBecomesTheCaptureAndItsFileGoes)
{
    for (const auto answer :
         {testing::FakeScreenshotPortal::Answer::Picture, testing::FakeScreenshotPortal::Answer::PictureFirst}) {
        const QString path = writePicture("out.png");
        fake.answer = answer;
        fake.uri = QUrl::fromLocalFile(path).toString();
        ScreenshotPortal portal(5000);
        Bitmap into = previousCapture();
        ASSERT_TRUE(portal.capture(into));
        EXPECT_EQ(fake.lastOptions.value(QStringLiteral("interactive")), QVariant(false));
        EXPECT_FALSE(fake.lastOptions.value(QStringLiteral("handle_token")).toString().isEmpty());
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        ASSERT_EQ(into.width(), screen.width());
        ASSERT_EQ(into.height(), screen.height());
        EXPECT_EQ(into.bitsPerPixel(), 32);
        for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1),
                                QPoint(screen.width() - 1, screen.height() - 1), QPoint(300, 260)}) {
            const std::uint32_t want = 0xFF000000u | std::uint32_t(at.x() & 0xFF) << 16 |
                                       std::uint32_t(at.y() & 0xFF) << 8 |
                                       std::uint32_t((at.x() >> 8) << 4 | (at.y() >> 8));
            EXPECT_EQ(into.pixel32(at.x(), at.y()), want) << at.x() << "," << at.y();
        }
        EXPECT_FALSE(std::filesystem::exists(path.toStdString())) << "the portal's file is still there";
    }
    EXPECT_EQ(fake.requests, 2);
}

TEST_F(ScreenshotPortalTest, AFileThePortalDidNotWriteNowIsKept)
{
    const QString path = writePicture("kept.png");
    const std::filesystem::file_time_type old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(path.toStdString(), old);
    fake.uri = QUrl::fromLocalFile(path).toString();
    ScreenshotPortal portal(5000);
    Bitmap into;
    ASSERT_TRUE(portal.capture(into));
    EXPECT_FALSE(into.empty());
    EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
}

TEST_F(ScreenshotPortalTest, FailuresAreReportedAndLeaveThePreviousCapture)
{
    struct Case {
        testing::FakeScreenshotPortal::Answer answer;
        const char* uri;
        const char* message;
    };
    using A = testing::FakeScreenshotPortal::Answer;
    const std::string notAPicture = folder.path("notes.png");
    testing::writeBytes(notAPicture, "not a picture");
    const std::string notAPictureUri =
        QUrl::fromLocalFile(QString::fromStdString(notAPicture)).toString().toStdString();
    const std::string notAPictureMessage =
        "Cannot capture the screen: the picture \"" + notAPicture + "\" is not an image the program can read";
    const Case cases[] = {
        {A::Refuse, "", "Cannot capture the screen: the screenshot portal refused to take a picture"},
        {A::Fail, "", "Cannot capture the screen: the screenshot portal could not take a picture"},
        {A::Silent, "", "Cannot capture the screen: the screenshot portal did not answer within 0.5 seconds"},
        {A::Error, "", "Cannot capture the screen: the screenshot portal cannot be reached (no screenshots today)"},
        {A::Picture, "https://example.invalid/shot.png",
         "Cannot capture the screen: the screenshot portal gave no picture file"},
        {A::Picture, "file:///nonexistent/vornik/shot.png",
         "Cannot capture the screen: cannot read the picture \"/nonexistent/vornik/shot.png\" (No such file or "
         "directory)"},
        {A::Picture, notAPictureUri.c_str(), notAPictureMessage.c_str()},
    };
    for (const Case& c : cases) {
        fake.answer = c.answer;
        fake.uri = QString::fromUtf8(c.uri);
        ScreenshotPortal portal(500);
        Bitmap into = previousCapture();
        EXPECT_EQ(captureFailure(portal, into), c.message);
        EXPECT_EQ(into.width(), 3);
        EXPECT_EQ(into.pixel32(2, 1), 0xFF123456u);
    }
}

// KDE's portal refuses every request while the user's pictures folder is
// missing; the program makes the folder (where user-dirs.dirs says it is, or
// ~/Pictures) and asks once more. A refusal with the folder in place stays a
// refusal, asked once.
TEST_F(ScreenshotPortalTest, ARefusalForWantOfThePicturesFolderMakesItAndAsksAgain)
{
    const std::string home = folder.path("fresh");
    std::filesystem::create_directories(home + "/config");
    qputenv("HOME", QByteArray::fromStdString(home));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home + "/config"));
    struct Case {
        const char* what;
        const char* userDirs; // nullptr: no user-dirs.dirs
        std::string folder;
    };
    const Case cases[] = {
        {"the default folder", nullptr, home + "/Pictures"},
        {"a folder of user-dirs.dirs, two levels deep", "XDG_PICTURES_DIR=\"$HOME/My pictures/shots\"\n",
         home + "/My pictures/shots"},
    };
    for (const Case& c : cases) {
        if (c.userDirs)
            testing::writeBytes(home + "/config/user-dirs.dirs", c.userDirs);
        fake.answer = testing::FakeScreenshotPortal::Answer::NeedsFolder;
        fake.neededFolder = QString::fromStdString(c.folder);
        fake.requests = 0;
        fake.uri = QUrl::fromLocalFile(writePicture("out.png")).toString();
        ScreenshotPortal portal(5000);
        Bitmap into = previousCapture();
        EXPECT_EQ(captureFailure(portal, into), "no failure") << c.what;
        EXPECT_EQ(into.width(), QGuiApplication::primaryScreen()->geometry().width()) << c.what;
        EXPECT_TRUE(std::filesystem::is_directory(c.folder)) << c.what;
        EXPECT_EQ(fake.requests, 2) << c.what;

        // Now the folder is there; a refusal is reported after one request.
        fake.answer = testing::FakeScreenshotPortal::Answer::Refuse;
        fake.requests = 0;
        EXPECT_EQ(captureFailure(portal, into), "Cannot capture the screen: the screenshot portal refused to take a picture")
            << c.what;
        EXPECT_EQ(fake.requests, 1) << c.what;
    }

    // A folder that cannot be made is named in the message.
    testing::writeBytes(home + "/config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/file/Pictures\"\n");
    testing::writeBytes(home + "/file", "a file where a folder would go");
    fake.answer = testing::FakeScreenshotPortal::Answer::NeedsFolder;
    fake.neededFolder = QString::fromStdString(home + "/file/Pictures");
    fake.requests = 0;
    ScreenshotPortal portal(5000);
    Bitmap into = previousCapture();
    EXPECT_EQ(captureFailure(portal, into),
              "Cannot capture the screen: the screenshot portal refused to take a picture, and the pictures folder \"" +
                  home + "/file/Pictures\" it may need cannot be made (Not a directory)");
    EXPECT_EQ(fake.requests, 1);
    EXPECT_EQ(into.pixel32(2, 1), 0xFF123456u);
}

TEST(ScreenshotPortalAbsent, IsReportedAndNotOffered)
{
    EXPECT_FALSE(ScreenshotPortal::offeredOnSessionBus());
    ScreenshotPortal portal(2000);
    Bitmap into = previousCapture();
    try {
        portal.capture(into);
        ADD_FAILURE() << "a capture without a portal succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(
            std::string(error.what()).rfind("Cannot capture the screen: the screenshot portal cannot be reached (", 0),
            0u)
            << error.what();
    }
    EXPECT_EQ(into.pixel32(2, 1), 0xFF123456u);
}

} // namespace
} // namespace vornik
