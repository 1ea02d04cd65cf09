#include "app/application.h"
#include "app/mainform_unit.h"
#include "platform/desktop.h"
#include "platform/error.h"
#include "modalhelper.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace vornik {
namespace {

TEST(ExceptionDisplayText, FullStopOnlyAfterCharactersSortingAfterDot)
{
    struct Case {
        std::string message, shown;
    } cases[] = {
        {"Cannot open clipboard", "Cannot open clipboard."},
        {"ends with a dot.", "ends with a dot."},
        {"ends with !", "ends with !"},      // '!' sorts before '.'
        {"ends with )", "ends with )"},      // so does ')'
        {"ends with -", "ends with -"},      // and '-'
        {"ends with /", "ends with /."},     // '/' sorts after '.'
        {"JPEG error #37", "JPEG error #37."},
        {"accent \xE1", "accent \xE1."},     // bytes from 0x80 up sort after '.'
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exceptionDisplayText(c.message), c.shown) << c.message;
}

// An object whose event handler fails, as a handler of the program may.
class Failing : public QObject {
public:
    int handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            ++handled;
            throw Error(kCannotOpenClipboard);
        }
        return QObject::event(e);
    }
};

TEST(DefaultExceptionDisplay, ShowsTheMessageWithTitleAndErrorIconThenGoesOn)
{
    Failing failing;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    whenMessageBoxShows([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QTest::qWait(50);
    QTRY_COMPARE_WITH_TIMEOUT(failing.handled, 1, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 3000);
    EXPECT_EQ(title.toStdString(), "Vornik Tools");
    EXPECT_EQ(text.toStdString(), "Cannot open clipboard.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);

    // The loop goes on: the next failing event is shown again.
    whenMessageBoxShows([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QTRY_COMPARE_WITH_TIMEOUT(failing.handled, 2, 3000);
}

QAbstractButton* buttonWithText(QMessageBox* box, const char* text)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == QLatin1String(text))
            return button;
    return nullptr;
}

TEST(AskConfirm, ButtonsKeysAndCloseBoxGiveTheirAnswers)
{
    struct Case {
        const char* how;
        std::function<void(QMessageBox*)> answer;
        int expected;
    } cases[] = {
        {"&Yes clicked", [](QMessageBox* b) { buttonWithText(b, "&Yes")->click(); }, IDYES},
        {"&No clicked", [](QMessageBox* b) { buttonWithText(b, "&No")->click(); }, IDNO},
        {"Cancel clicked", [](QMessageBox* b) { buttonWithText(b, "Cancel")->click(); }, IDCANCEL},
        {"Enter", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }, IDYES},
        {"Escape", [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](QMessageBox* b) { b->close(); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList labels;
        whenMessageBoxShows([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                labels << b->text();
            EXPECT_EQ(box->defaultButton(), buttonWithText(box, "&Yes"));
            c.answer(box);
        });
        EXPECT_EQ(askconfirm("Are you sure?"), c.expected) << c.how;
        EXPECT_EQ(caption.toStdString(), "Confirm");
        EXPECT_EQ(text.toStdString(), "Are you sure?");
        EXPECT_EQ(icon, QMessageBox::Question);
        EXPECT_TRUE(labels.contains("&Yes") && labels.contains("&No") && labels.contains("Cancel")) << c.how;
    }
}

} // namespace
} // namespace vornik
