#include "platform/qt/savepicturedialog.h"

#include "screentools/jpegencoder.h"
#include "screentools/picturefilter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

namespace vornik {
namespace {

namespace fs = std::filesystem;

QApplication& application()
{
    static int argc = 1;
    static char name[] = "export-dialog-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down during static destruction, after the
    // file dialog's model threads have gone, crashes at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Constructed before the fixture's members, which are widgets.
struct WithApplication {
    WithApplication() { application(); }
};

// Runs `whileShown` once the next modal dialog is up, inside its loop.
void onceModalShown(std::function<void(QWidget*)> whileShown)
{
    QTimer::singleShot(0, [whileShown] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        whileShown(modal);
    });
}

class SavePictureDialogTest : public ::testing::Test, private WithApplication {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("vornik-dialog-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        // As the main window sets its dialog up.
        m_dialog.setDefaultExt("*.jpg");
        m_dialog.setFilter(buildPictureFilter(registeredPictureFormats()));
        m_dialog.setFilterIndex(1);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    QString path(const char* name) const { return QString::fromStdString((m_folder / name).string()); }
    QLineEdit* nameEdit() const { return m_dialog.dialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
    QComboBox* typeCombo() const { return m_dialog.dialog()->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")); }
    QLabel* pictureLabel() const { return m_dialog.dialog()->findChild<QLabel*>(QStringLiteral("pictureLabel")); }
    QToolButton* previewButton() const
    {
        return m_dialog.dialog()->findChild<QToolButton*>(QStringLiteral("previewButton"));
    }
    void writeJpeg(const QString& target, int width, int height) const
    {
        Bitmap bitmap(width, height, 24, true);
        const auto bytes = encodeJpeg(bitmap);
        std::ofstream(target.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    fs::path m_folder;
    TSavePictureDialog m_dialog;
};

const QStringList kShownFilters = {
    "All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf)",
    "JPEG Image File (*.jpg)",
    "JPEG Image File (*.jpeg)",
    "Bitmaps (*.bmp)",
    "Icons (*.ico)",
    "Enhanced Metafiles (*.emf)",
    "Metafiles (*.wmf)",
};

TEST(QtNameFilters, PairsBecomeQtEntries)
{
    struct Case {
        std::string filter;
        QStringList shown;
    };
    const std::vector<Case> cases = {
        {buildPictureFilter(registeredPictureFormats()), kShownFilters},
        {"", {}},
        // A description without its mask in parentheses gets the patterns.
        {"Pictures|*.png;*.gif", {"Pictures (*.png *.gif)"}},
        {"Text (*.txt)|*.txt|Odd|", {"Text (*.txt)", "Odd ()"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qtNameFilters(c.filter), c.shown) << c.filter;
}

TEST_F(SavePictureDialogTest, FirstRunShowsTheSettingsAndAppliesTheDefaultSuffix)
{
    EXPECT_EQ(m_dialog.DefaultExt(), "*.jpg");
    m_dialog.dialog()->setDirectory(path(""));
    bool checked = false;
    onceModalShown([&](QWidget* modal) {
        QFileDialog* dialog = m_dialog.dialog();
        EXPECT_EQ(modal, dialog);
        EXPECT_EQ(dialog->nameFilters(), kShownFilters);
        EXPECT_EQ(dialog->selectedNameFilter(), kShownFilters[0]);
        ASSERT_NE(typeCombo(), nullptr);
        EXPECT_EQ(typeCombo()->count(), 7);
        EXPECT_EQ(dialog->defaultSuffix(), "jpg");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(dialog->isSizeGripEnabled());
        EXPECT_NE(dialog->windowFlags() & Qt::MSWindowsFixedSizeDialogHint, Qt::MSWindowsFixedSizeDialogHint);
        // The pane sits in its own column right of every standard control.
        auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
        ASSERT_NE(grid, nullptr);
        QWidget* pane = dialog->findChild<QWidget*>(QStringLiteral("previewPane"));
        ASSERT_NE(pane, nullptr);
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(pane), &row, &column, &rowSpan, &columnSpan);
        EXPECT_EQ(column, grid->columnCount() - 1);
        EXPECT_EQ(rowSpan, grid->rowCount());
        for (int i = 0; i < grid->count(); ++i) {
            int r, c, rs, cs;
            grid->getItemPosition(i, &r, &c, &rs, &cs);
            if (grid->itemAt(i)->widget() != pane) {
                EXPECT_LT(c + cs - 1, column);
            }
        }
        EXPECT_EQ(pictureLabel()->text(), "Picture:");
        EXPECT_FALSE(previewButton()->isEnabled());
        EXPECT_EQ(previewButton()->toolTip(), "Preview");
        ASSERT_NE(nameEdit(), nullptr);
        EXPECT_EQ(nameEdit()->text(), "");
        nameEdit()->setText(QStringLiteral("shot"));
        checked = true;
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(m_dialog.Execute());
    EXPECT_TRUE(checked);
    EXPECT_EQ(QString::fromStdString(m_dialog.FileName()), path("shot.jpg"));
    EXPECT_EQ(m_dialog.FilterIndex(), 1);
}

TEST_F(SavePictureDialogTest, NextRunOffersThePreviousNameAndFilter)
{
    m_dialog.dialog()->setDirectory(path(""));
    onceModalShown([&](QWidget*) {
        nameEdit()->setText(QStringLiteral("first.bmp"));
        m_dialog.dialog()->selectNameFilter(kShownFilters[3]);
        static_cast<QDialog*>(m_dialog.dialog())->accept();
    });
    ASSERT_TRUE(m_dialog.Execute());
    EXPECT_EQ(QString::fromStdString(m_dialog.FileName()), path("first.bmp"));
    EXPECT_EQ(m_dialog.FilterIndex(), 4);

    // Somewhere else in between, as another folder visited would.
    m_dialog.dialog()->setDirectory(QDir::tempPath());
    QString offered, offeredFolder, offeredFilter;
    onceModalShown([&](QWidget*) {
        offered = nameEdit()->text();
        offeredFolder = m_dialog.dialog()->directory().absolutePath();
        offeredFilter = m_dialog.dialog()->selectedNameFilter();
        m_dialog.dialog()->reject();
    });
    EXPECT_FALSE(m_dialog.Execute());
    EXPECT_EQ(offered, "first.bmp");
    EXPECT_EQ(offeredFolder, QDir(path("")).absolutePath());
    EXPECT_EQ(offeredFilter, kShownFilters[3]);
    // A cancelled run changes nothing.
    EXPECT_EQ(QString::fromStdString(m_dialog.FileName()), path("first.bmp"));
    EXPECT_EQ(m_dialog.FilterIndex(), 4);
}

TEST_F(SavePictureDialogTest, PreviewPaneFollowsTheCurrentFile)
{
    writeJpeg(path("photo.jpg"), 40, 30);
    std::ofstream((m_folder / "notes.txt").string()) << "not a picture";
    struct Case {
        QString file;
        QString label;
        bool picture;
    };
    const std::vector<Case> cases = {
        {path("photo.jpg"), " (40x30)", true},
        {path("notes.txt"), "Picture:", false},
        {path("photo.jpg"), " (40x30)", true},
        {path("missing.jpg"), "Picture:", false},
        {path(""), "Picture:", false},
    };
    for (const Case& c : cases) {
        emit m_dialog.dialog()->currentChanged(c.file);
        EXPECT_EQ(pictureLabel()->text(), c.label) << c.file.toStdString();
        EXPECT_EQ(previewButton()->isEnabled(), c.picture) << c.file.toStdString();
        EXPECT_EQ(!m_dialog.previewPicture().isNull(), c.picture) << c.file.toStdString();
    }
}

TEST_F(SavePictureDialogTest, PreviewWindowIsSizedToThePictureWithinThreeQuartersOfTheScreen)
{
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    struct Case {
        QSize picture;
        QSize window;
    };
    const std::vector<Case> cases = {
        {QSize(40, 30), QSize(40, 30)},
        {QSize(monitor.width() * 2, 20), QSize(monitor.width() * 3 / 4, 20)},
        {QSize(monitor.width() * 2, monitor.height() * 2),
         QSize(monitor.width() * 3 / 4, monitor.height() * 3 / 4)},
    };
    for (const Case& c : cases) {
        writeJpeg(path("picture.jpg"), c.picture.width(), c.picture.height());
        m_dialog.showPreviewOf(path("picture.jpg"));
        ASSERT_TRUE(previewButton()->isEnabled());
        QString title;
        QSize size;
        QPoint centre;
        bool closed = false;
        onceModalShown([&](QWidget* window) {
            title = window->windowTitle();
            size = window->size();
            centre = window->geometry().center();
            QTest::keyClick(window, Qt::Key_Escape);
            closed = !window->isVisible();
        });
        previewButton()->click();
        EXPECT_EQ(title, "Preview");
        EXPECT_EQ(size, c.window);
        EXPECT_LE(std::abs(centre.x() - monitor.center().x()), 1);
        EXPECT_LE(std::abs(centre.y() - monitor.center().y()), 1);
        EXPECT_TRUE(closed) << "Escape closes the window";
    }
}

} // namespace
} // namespace vornik
