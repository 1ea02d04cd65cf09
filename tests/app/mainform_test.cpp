#include "app/mainform_unit.h"
#include "collector/emaillist.h"
#include "modalhelper.h"
#include "platform/posix/files.h"
#include "platform/qt/messageboxes.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/file.h>
#include <fstream>
#include <sstream>

namespace vornik {
namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Each test starts without an address file beside the test program and
// removes the one it leaves.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { std::remove(addressFilePath().c_str()); }
    void TearDown() override { std::remove(addressFilePath().c_str()); }

    static void answer(const char* buttonText)
    {
        whenMessageBoxShows([buttonText](QMessageBox* box) {
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QLatin1String(buttonText))
                    button->click();
        });
    }
};

TEST_F(MainWindow, CreationSetsTheInitialState)
{
    TForm1 form;
    EXPECT_EQ(form.Tag, kTagJustCreated);
    EXPECT_TRUE(form.toolmode.empty());
    ASSERT_TRUE(form.screenshot);
    EXPECT_TRUE(form.screenshot->empty());
    ASSERT_TRUE(form.emaillist);
    EXPECT_EQ(form.emaillist->Count(), 0);
    EXPECT_TRUE(form.ready);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.Timer1.interval(), 10);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainWindow, HidesItselfShortlyAfterStartAndOnlyOnce)
{
    TForm1 form;
    form.showAtStartup();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 2000);
    EXPECT_EQ(form.Tag, kTagRunning);

    // Later showings are the tool window's: the timer only switches itself off.
    form.show();
    form.FormActivate();
    QTest::qWait(60);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Timer1.isActive());
}

TEST_F(MainWindow, CloseRequestsOnlyHideUntilExitIsConfirmed)
{
    TForm1 form;
    form.Tag = kTagRunning;
    form.show();
    EXPECT_FALSE(form.close()) << "an ordinary close must be refused";
    EXPECT_FALSE(form.isVisible());

    form.show();
    form.Tag = kTagExitConfirmed;
    EXPECT_TRUE(form.close()) << "after a confirmed exit the close goes through";
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainWindow, ExitAnsweredOtherwiseThanYesChangesNothing)
{
    TForm1 form;
    form.Tag = kTagRunning;
    form.show();
    for (const char* button : {"&No", "Cancel"}) {
        answer(button);
        form.menu_kilepesClick(nullptr);
        EXPECT_EQ(form.Tag, kTagRunning) << button;
        EXPECT_TRUE(form.isVisible()) << button;
    }
    whenMessageBoxShows([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    form.menu_kilepesClick(nullptr);
    EXPECT_EQ(form.Tag, kTagRunning);
    EXPECT_TRUE(form.isVisible());

    answer("&Yes");
    form.menu_kilepesClick(nullptr);
    EXPECT_EQ(form.Tag, kTagExitConfirmed);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MainWindow, ClipboardChangesAreCollectedIntoTheFile)
{
    TForm1 form;
    QGuiApplication::clipboard()->setText(QStringLiteral("write to a@b or <c@d>; not e@f."));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(readFile(addressFilePath())), QStringLiteral("a@b\r\nc@d\r\n"), 3000);
}

TEST_F(MainWindow, UnreadableAddressFileIsReportedAndKeepsTheCollectorOff)
{
    // Another program holding the file for writing makes it unreadable.
    {
        std::ofstream(addressFilePath(), std::ios::binary) << "kept@file\r\n";
    }
    std::string shown;
    FILE* holder = std::fopen(addressFilePath().c_str(), "r+");
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(flock(fileno(holder), LOCK_EX), 0);
    whenMessageBoxShows([&](QMessageBox* box) {
        shown = box->text().toStdString();
        box->button(QMessageBox::Ok)->click();
    });
    TForm1 form;
    std::fclose(holder);
    EXPECT_EQ(shown.rfind("Cannot open file \"" + addressFilePath() + "\". ", 0), 0u) << shown;
    EXPECT_FALSE(form.ready);
    EXPECT_EQ(form.Tag, kTagJustCreated);

    QGuiApplication::clipboard()->setText(QStringLiteral("new@address"));
    QTest::qWait(200);
    EXPECT_EQ(readFile(addressFilePath()), "kept@file\r\n") << "the file must never be overwritten in that run";
}

} // namespace
} // namespace vornik
