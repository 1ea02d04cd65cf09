#include "app/mainform_unit.h"
#include "modalhelper.h"
#include "platform/posix/files.h"

#include "../support/fakeportal.h"
#include "../support/testfolder.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace vornik {
namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class ToolWindowOverPortal : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove(addressFilePath().c_str());
        form = std::make_unique<TForm1>();
        form->Tag = kTagRunning;
        *form->screenshot = Bitmap(4, 3, 32);
        form->screenshot->setPixel32(3, 2, 0xFF445566u);
    }
    void TearDown() override
    {
        form.reset();
        std::remove(addressFilePath().c_str());
    }

    // Opens the tool window as the tray's events do: from the event loop,
    // whose boundary shows what the handler raises.
    void openFromTheLoop()
    {
        QMetaObject::invokeMethod(
            form.get(), [this] { form->Colorpickersizecuttools1Click(nullptr); }, Qt::QueuedConnection);
    }

    QString writePicture(QRgb colour)
    {
        QImage image(QGuiApplication::primaryScreen()->geometry().size(), QImage::Format_RGB32);
        image.fill(colour);
        const QString path = QString::fromStdString(folder.path("shot.png"));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    testing::TestFolder folder;
    testing::FakeScreenshotPortal portal;
    std::unique_ptr<TForm1> form;
};

TEST_F(ToolWindowOverPortal, ARefusedCaptureIsReportedAndTheWindowStaysClosed)
{
    using A = testing::FakeScreenshotPortal::Answer;
    for (const A answer : {A::Refuse, A::Fail, A::Error}) {
        portal.answer = answer;
        QString text;
        QString caption;
        whenMessageBoxShows([&](QMessageBox* box) {
            text = box->text();
            caption = box->windowTitle();
            box->buttons().value(0)->click();
        });
        openFromTheLoop();
        ASSERT_TRUE(waitFor([&] { return !text.isEmpty(); })) << "no message for answer " << int(answer);
        EXPECT_TRUE(text.startsWith(QLatin1String("Cannot capture the screen: "))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(')'))) << text.toStdString();
        EXPECT_EQ(caption, QLatin1String("Vornik Tools"));
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(form->toolmode.empty());
        ASSERT_EQ(form->screenshot->width(), 4);
        EXPECT_EQ(form->screenshot->pixel32(3, 2), 0xFF445566u);
    }
}

TEST_F(ToolWindowOverPortal, APictureOpensTheWindowAndASecondRequestDuringTheWaitIsDropped)
{
    const QString path = writePicture(qRgb(0x12, 0x9A, 0xBC));
    portal.uri = QUrl::fromLocalFile(path).toString();
    portal.answer = testing::FakeScreenshotPortal::Answer::PictureLate;
    QString unexpected;
    whenMessageBoxShows(
        [&](QMessageBox* box) {
            unexpected = box->text();
            box->buttons().value(0)->click();
        },
        form.get());
    openFromTheLoop();
    // While the first capture waits for the portal, the panel's icon is
    // clicked again.
    QTimer::singleShot(100, form.get(), [this] { form->Colorpickersizecuttools1Click(nullptr); });
    ASSERT_TRUE(waitFor([&] { return form->isVisible(); }));
    EXPECT_EQ(portal.requests, 1);
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.toStdString();
    EXPECT_EQ(form->toolmode, "screentools");
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    ASSERT_EQ(form->screenshot->width(), screen.width());
    EXPECT_EQ(form->screenshot->pixel32(5, 5), 0xFF129ABCu);
    EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
    form->hide();
}

} // namespace
} // namespace vornik
