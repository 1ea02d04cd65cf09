// A dialog over the program's window, run with execDialogFor, when its
// focus-in comes while a pop-up of the program is open, as happens on sway
// when the user types into a file dialog's name box and its list of
// completions opens before the dialog has its focus-in.
#include "platform/qt/modaldialog.h"

#include "../support/qtenvironment.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace vornik {
namespace {

VORNIK_QT_TEST_ENVIRONMENT();

TEST(ModalDialog, FocusInDuringAPopupStillMakesTheDialogActive)
{
    QWidget owner;
    owner.setGeometry(0, 0, 400, 300);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));

    QDialog dialog;
    auto* name = new QLineEdit(&dialog);
    (new QVBoxLayout(&dialog))->addWidget(name);
    bool activeAfterPopup = false;
    bool nameHadFocus = false;
    QTimer::singleShot(0, &dialog, [&] {
        // The owner takes the focus back, as the session did once the
        // message box before the dialog closed.
        owner.activateWindow();
        QTest::qWait(20);
        QMenu popup(name);
        popup.addAction(QStringLiteral("completion"));
        popup.popup(name->mapToGlobal(QPoint(0, name->height())));
        QTest::qWait(20);
        dialog.windowHandle()->requestActivate();
        QTest::qWait(20);
        popup.close();
        QTest::qWait(20);
        activeAfterPopup = QApplication::activeWindow() == &dialog;
        nameHadFocus = name->hasFocus();
        dialog.reject();
    });
    execDialogFor(dialog, &owner);
    EXPECT_TRUE(activeAfterPopup) << "active: "
                                  << (QApplication::activeWindow() ? "another window" : "none");
    EXPECT_TRUE(nameHadFocus);
}

} // namespace
} // namespace vornik
