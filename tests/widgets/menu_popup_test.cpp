#include "platform/error.h"
#include "platform/qt/popupmenuhost.h"
#include "platform/qt/qtcanvas.h"
#include "widgets/styledpopupmenu.h"

#include <QApplication>
#include <QBitmap>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vornik {
namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "menu_popup_test";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// Opens the tray menu and, once it is up, runs the steps against its window.
// A step that leaves the menu open is followed by Escape, so a broken menu
// cannot hang the test.
class TrayMenuPopup : public ::testing::Test {
  protected:
    void SetUp() override {
        app();
        menu = std::make_unique<TStyledPopupMenu>();
        items = createTrayMenu(*menu);
        items.Colorpickersizecuttools1->OnClick = [this](QObject* sender) {
            ++colorPickerClicks;
            lastSender = sender;
        };
        items.menu_kilepes->OnClick = [this](QObject*) { ++exitClicks; };
    }

    void popupAnd(std::function<void(QWidget*)> steps, int x = 100, int y = 100) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QWidget* window = openPopupMenuWindow();
            ASSERT_NE(window, nullptr);
            ran = true;
            steps(window);
            if (openPopupMenuWindow())
                QTest::keyClick(openPopupMenuWindow(), Qt::Key_Escape);
        });
        QTimer::singleShot(5000, [] {
            if (openPopupMenuWindow())
                openPopupMenuWindow()->close();
        });
        menu->Popup(x, y);
        EXPECT_TRUE(ran);
        EXPECT_EQ(openPopupMenuWindow(), nullptr);
        // The chosen command arrives through the event loop, as a posted
        // command message would.
        QCoreApplication::sendPostedEvents();
    }

    std::unique_ptr<TStyledPopupMenu> menu;
    TrayMenuItems items;
    int colorPickerClicks = 0;
    int exitClicks = 0;
    QObject* lastSender = nullptr;
};

TEST_F(TrayMenuPopup, TypedMnemonicsRunTheirItems) {
    popupAnd([](QWidget* w) { QTest::keyClick(w, Qt::Key_E); });
    EXPECT_FALSE(items.menu_emailcollect->Checked);
    EXPECT_EQ(items.menu_emailcollect->Caption, "&E-mail collect");
    EXPECT_EQ(items.Colorpickersizecuttools1->Caption, "&Color picker, size, cut tools [ESC to exit]");
    EXPECT_EQ(items.menu_kilepes->Caption, "E&xit");
    EXPECT_EQ(items.menu_vege->Caption, "-");

    popupAnd([](QWidget* w) { QTest::keyClick(w, Qt::Key_E); });
    EXPECT_TRUE(items.menu_emailcollect->Checked) << "two clicks restore the mark";

    popupAnd([](QWidget* w) { QTest::keyClick(w, Qt::Key_C); });
    EXPECT_EQ(colorPickerClicks, 1);
    EXPECT_EQ(lastSender, items.Colorpickersizecuttools1);

    popupAnd([](QWidget* w) { QTest::keyClick(w, Qt::Key_X); });
    EXPECT_EQ(exitClicks, 1);

    popupAnd([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Z);
        EXPECT_TRUE(w->isVisible()) << "an unknown key leaves the menu open";
    });
    EXPECT_EQ(colorPickerClicks + exitClicks, 2) << "an unknown key runs nothing";
    EXPECT_TRUE(items.menu_emailcollect->Checked);
}

TEST_F(TrayMenuPopup, ArrowsAndEnterChooseEscapeCloses) {
    popupAnd([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Down);
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(colorPickerClicks, 1);

    // Up from nothing lands on the last item; the separator is skipped.
    popupAnd([](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Up);
        QTest::keyClick(w, Qt::Key_Up);
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(colorPickerClicks, 2);
    EXPECT_EQ(exitClicks, 0);

    popupAnd([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(colorPickerClicks, 2);
    EXPECT_TRUE(items.menu_emailcollect->Checked);
}

TEST_F(TrayMenuPopup, OnlyTheLeftButtonSelectsAndAClickOutsideCloses) {
    auto itemCentre = [](int index) {
        const int h = ((proposedMenuItemHeight() + 5 + 1) / 2) * 2;
        return QPoint(40, 3 + h * index + h / 2);
    };
    popupAnd([&](QWidget* w) {
        QTest::mouseMove(w, itemCentre(1));
        QTest::mouseRelease(w, Qt::RightButton, {}, itemCentre(1));
        EXPECT_NE(openPopupMenuWindow(), nullptr) << "the right button does not select";
        QTest::mouseRelease(w, Qt::LeftButton, {}, itemCentre(1));
    });
    EXPECT_EQ(colorPickerClicks, 1);

    popupAnd([&](QWidget* w) {
        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(-20, -20));
        EXPECT_FALSE(w->isVisible()) << "a press outside the menu closes it";
    });
    EXPECT_EQ(colorPickerClicks, 1);

    items.Colorpickersizecuttools1->Enabled = false;
    popupAnd([&](QWidget* w) { QTest::mouseRelease(w, Qt::LeftButton, {}, itemCentre(1)); });
    EXPECT_EQ(colorPickerClicks, 1) << "a disabled item is not chosen";
}

TEST_F(TrayMenuPopup, WindowIsFramedCutAndMoved) {
    QPoint placed;
    QSize size;
    QImage shot;
    QRegion mask;
    popupAnd([&](QWidget* w) {
        placed = w->pos();
        size = w->size();
        mask = w->mask();
        shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    });
    // The menu opened at the point and moved 1 left and 2 up.
    EXPECT_EQ(placed, QPoint(99, 98));
    const int w = size.width(), h = size.height();
    EXPECT_EQ(mask.boundingRect(), QRect(1, 1, w - 19, h - 2));
    const Rgb frame = rgb(148, 124, 124), background = rgb(253, 250, 255);
    auto at = [&](int x, int y) { return fromQRgb(shot.pixel(x, y)); };
    for (int y = 1; y < h - 1; ++y) {
        ASSERT_EQ(at(1, y), frame) << y;
        ASSERT_EQ(at(w - 19, y), frame) << y;
    }
    for (int x = 1; x < w - 18; ++x) {
        ASSERT_EQ(at(x, 1), frame) << x;
        ASSERT_EQ(at(x, h - 2), frame) << x;
    }
    for (int y = 2; y < h - 2; ++y) {
        ASSERT_EQ(at(2, y), background) << y;
        ASSERT_EQ(at(w - 20, y), background) << y;
    }
    // Width: the widest item ("Color picker, ...") plus the border.
    QImage scratch(1, 1, QImage::Format_RGB32);
    QImageCanvas canvas(&scratch);
    Rect text{};
    canvas.drawText(items.Colorpickersizecuttools1->Caption, text, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(w, text.width() + 63 + 6);

    // Opened again, it moves from the new opening point again, not twice.
    popupAnd([&](QWidget* win) { placed = win->pos(); }, 300, 200);
    EXPECT_EQ(placed, QPoint(299, 198));
}

TEST_F(TrayMenuPopup, NearTheDesktopEdgeTheMenuShiftsOffThePointer) {
    const int desktop = virtualDesktopWidth();
    int probe = 10, unused = 10;
    ASSERT_TRUE(PopupList::instance().measureItem(items.menu_emailcollect->Command(), probe, unused));
    const int x = desktop - probe - 51;
    popupAnd([](QWidget*) {}, x, 100);
    EXPECT_EQ(menu->PopupPointX, x + 17);
    popupAnd([](QWidget*) {}, x - 1, 100);
    EXPECT_EQ(menu->PopupPointX, x - 1);
}

TEST_F(TrayMenuPopup, EmptyMenuDoesNotOpenAndPopupComesFirst) {
    TStyledPopupMenu empty;
    bool opened = false;
    QTimer::singleShot(0, [&] { opened = openPopupMenuWindow() != nullptr; });
    empty.Popup(10, 10);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);

    int popups = 0;
    menu->OnPopup = [&](QObject* sender) {
        ++popups;
        EXPECT_EQ(sender, menu.get());
        EXPECT_EQ(openPopupMenuWindow(), nullptr);
    };
    popupAnd([](QWidget*) {});
    EXPECT_EQ(popups, 1);
}

TEST_F(TrayMenuPopup, OpeningAgainWhileOpenIsRefusedAndLeavesTheOpenMenuAsItWas) {
    int popups = 0;
    menu->OnPopup = [&](QObject*) { ++popups; };
    TStyledPopupMenu other;
    auto* otherItem = new TMenuItem();
    otherItem->Caption = "Other";
    other.Items()->Add(otherItem);
    other.OnPopup = [&](QObject*) { ++popups; };
    popupAnd([&](QWidget* w) {
        menu->Popup(150, 150);
        other.Popup(150, 150);
        EXPECT_EQ(openPopupMenuWindow(), w);
        // The open menu still paints and answers from its own items: hover
        // each one, then run the second by its mnemonic.
        for (int y = 4; y < w->height() - 4; y += 4)
            QTest::mouseMove(w, QPoint(40, y));
        QTest::keyClick(w, Qt::Key_C);
    });
    EXPECT_EQ(popups, 1) << "the nested openings ran no pop-up steps";
    EXPECT_EQ(colorPickerClicks, 1);
    EXPECT_EQ(otherItem->Caption, "Other") << "the refused menu got no mnemonics";
}

// Opened at a corner of a screen, the menu lies inside that screen, also
// when the screen is scaled (the point comes in the screen's own pixels, the
// window is placed in logical ones). The renderer moves the window 1 left and
// 2 up from where it was placed, so the window may stand out by that much.
TEST_F(TrayMenuPopup, StaysInsideTheScreenAtItsCorners) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect logical = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    const int deviceRight = logical.left() + int(logical.width() * ratio) - 1;
    const int deviceBottom = logical.top() + int(logical.height() * ratio) - 1;
    struct Corner {
        const char* name;
        int x, y;
    } corners[] = {
        {"bottom right", deviceRight, deviceBottom},
        {"bottom left", logical.left(), deviceBottom},
        {"top right", deviceRight, logical.top()},
        {"top left", logical.left(), logical.top()},
    };
    for (const Corner& c : corners) {
        QRect placed;
        popupAnd([&](QWidget* w) { placed = w->geometry(); }, c.x, c.y);
        EXPECT_TRUE(logical.adjusted(-1, -2, 0, 0).contains(placed)) << c.name << ": menu at " << placed.x() << "," << placed.y() << " "
                                              << placed.width() << "x" << placed.height() << " on a screen of "
                                              << logical.width() << "x" << logical.height();
    }
    const ScreenPoint middle = logicalScreenPoint(deviceRight / 2, deviceBottom / 2);
    EXPECT_NEAR(middle.x, logical.left() + logical.width() / 2, 1);
    EXPECT_NEAR(middle.y, logical.top() + logical.height() / 2, 1);
}

TEST(StyledPopupMenu, DefaultsAndStylerOwnership) {
    app();
    TStyledPopupMenu menu;
    EXPECT_EQ(menu.Version(), "2.0.0.0");
    menu.setVersion("9");
    EXPECT_EQ(menu.Version(), "2.0.0.0");
    EXPECT_EQ(menu.TrackButton, tbRightButton);
    EXPECT_EQ(menu.Alignment, paLeft);
    EXPECT_TRUE(menu.AutoPopup);
    EXPECT_TRUE(menu.OwnerDraw);
    EXPECT_EQ(menu.MenuStyler(), nullptr);
    EXPECT_EQ(menu.activeStyler().Name, "InternalMenuStyler");
    EXPECT_TRUE(menu.activeStyler().IsSubComponent);
    TCustomMenuStyler mine;
    mine.FrameColor = rgb(1, 2, 3);
    menu.setMenuStyler(&mine);
    EXPECT_EQ(&menu.activeStyler(), &mine);
    menu.setMenuStyler(nullptr);
    EXPECT_EQ(menu.activeStyler().FrameColor, rgb(148, 124, 124));

    TrayMenuItems items = createTrayMenu(menu);
    EXPECT_EQ(menu.TrackButton, tbLeftButton);
    EXPECT_EQ(popupTrackFlags(menu.Alignment, menu.TrackButton, menu.MenuAnimation), 0x0C00u);
    EXPECT_EQ(items.menu_vege->Tag, -9999);
    EXPECT_EQ(items.menu_kilepes->Tag, -9000);
    EXPECT_EQ(items.menu_emailcollect->Name(), "menu_emailcollect");
    EXPECT_TRUE(items.menu_emailcollect->Checked);
    EXPECT_NE(items.menu_emailcollect->Command(), items.menu_kilepes->Command());

    // Items added later are drawn by the renderer too; own handlers stay.
    auto* later = new TMenuItem();
    bool own = false;
    later->OnMeasureItem = [&](TMenuItem*, Canvas&, int&, int&) { own = true; };
    menu.Items()->Add(later);
    EXPECT_TRUE(later->OnAdvancedDrawItem != nullptr);
    int w = 0, h = 0;
    QImage scratch(1, 1, QImage::Format_RGB32);
    QImageCanvas canvas(&scratch);
    EXPECT_TRUE(menu.measureCommand(later->Command(), canvas, w, h));
    EXPECT_TRUE(own);

    // A command reaches its item through the pop-up list; disabled items
    // ignore it.
    EXPECT_TRUE(PopupList::instance().command(items.menu_emailcollect->Command()));
    EXPECT_FALSE(items.menu_emailcollect->Checked);
    items.menu_emailcollect->Enabled = false;
    EXPECT_TRUE(PopupList::instance().command(items.menu_emailcollect->Command()));
    EXPECT_FALSE(items.menu_emailcollect->Checked);
    EXPECT_FALSE(PopupList::instance().command(0));

    // A failing command leaves through the delivery, for the application's
    // notify() to show; the pop-up list does not swallow it.
    items.menu_kilepes->OnClick = [](QObject*) { throw Error("Stream write error"); };
    EXPECT_THROW(PopupList::instance().command(items.menu_kilepes->Command()), Error);
}

TEST(StyledPopupMenu, MenuAnimationIsOffWhileTheProgramRuns) {
    app();
    TStyledPopupMenu menu;
    EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateMenu));

    // The setting that was in force when the menu module switched it off
    // comes back at the end, whichever it was.
    // Qt reports no effect at all while its general switch is off.
    QApplication::setEffectEnabled(Qt::UI_General, true);
    for (bool user : {true, false}) {
        restoreMenuAnimation();
        QApplication::setEffectEnabled(Qt::UI_AnimateMenu, user);
        switchOffMenuAnimation();
        EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateMenu));
        switchOffMenuAnimation();
        restoreMenuAnimation();
        EXPECT_EQ(QApplication::isEffectEnabled(Qt::UI_AnimateMenu), user);
    }
    switchOffMenuAnimation();
}

} // namespace
} // namespace vornik
