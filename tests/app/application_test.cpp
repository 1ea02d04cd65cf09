#include "app/application.h"
#include "app/mainform_unit.h"
#include "modalhelper.h"
#include "platform/error.h"
#include "platform/qt/messageboxes.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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

// Asks for the button layout of GNOME's theme, as Qt does under GNOME and
// XFCE: Cancel, No, Yes from the left.
class GnomeButtonLayoutStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Runs the confirmation and returns its buttons' texts from left to right.
std::string confirmButtonsFromTheLeft()
{
    QStringList order;
    whenMessageBoxShows([&](QMessageBox* box) {
        QList<QAbstractButton*> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
            return a->mapTo(box, QPoint(0, 0)).x() < b->mapTo(box, QPoint(0, 0)).x();
        });
        for (QAbstractButton* button : buttons)
            order << button->text();
        buttonWithText(box, "Cancel")->click();
    });
    askconfirm("Are you sure?");
    return order.join(QStringLiteral(", ")).toStdString();
}

// Under the desktop this process was started for (XDG_CURRENT_DESKTOP, on a
// real X server when run so), and under a style that asks GNOME's order.
TEST(AskConfirm, ButtonsStandYesNoCancelFromTheLeftUnderEveryDesktop)
{
    const std::string expected = "&Yes, &No, Cancel";
    EXPECT_EQ(confirmButtonsFromTheLeft(), expected)
        << "XDG_CURRENT_DESKTOP=" << qgetenv("XDG_CURRENT_DESKTOP").toStdString();

    const QString styleName = QApplication::style()->name();
    QApplication::setStyle(new GnomeButtonLayoutStyle(QStyleFactory::create(styleName)));
    const std::string underGnomeLayout = confirmButtonsFromTheLeft();
    QApplication::setStyle(QStyleFactory::create(styleName));
    EXPECT_EQ(underGnomeLayout, expected);
}

// Every box shows its text as given, markup and all, and stands in the
// middle of the primary screen with the size it is shown with.
TEST(MessageBoxes, ShowPlainTextCentredWithTheirFinalSize)
{
    const std::string path = "/home/user/<b>reports</b>/" + std::string(120, 'x') + "/emails.txt";
    const std::string text = "Cannot create file \"" + path + "\". Permission denied";
    struct Case {
        const char* which;
        std::function<void()> show;
        std::function<void(QMessageBox*)> answer;
    } cases[] = {
        {"error", [&] { errorBox("Vornik Tools", text); }, [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); }},
        {"information", [&] { informationBox("Vornik Tools", text); },
         [](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); }},
        {"confirmation", [&] { questionYesNoCancel("Confirm", text); },
         [](QMessageBox* b) { buttonWithText(b, "Cancel")->click(); }},
    };
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const Case& c : cases) {
        bool seen = false;
        whenMessageBoxShows([&](QMessageBox* box) {
            seen = true;
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr) << c.which;
            EXPECT_EQ(label->text().toStdString(), text) << c.which;
            const bool markup = label->textFormat() == Qt::RichText ||
                                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
            EXPECT_FALSE(markup) << c.which << ": the text is read as markup";
            const QPoint centre = box->frameGeometry().center();
            EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1) << c.which << " box at x " << box->x();
            EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1) << c.which << " box at y " << box->y();
            c.answer(box);
        });
        c.show();
        EXPECT_TRUE(seen) << c.which;
    }
}

} // namespace
} // namespace vornik
