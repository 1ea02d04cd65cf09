#include "platform/error.h"
#include "widgets/trayicon.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vornik {
namespace {

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// Stands in for the desktop: keeps the entries a shell would hold, records
// every call in one log together with the component's events.
class FakeShell : public NotifyIconService {
  public:
    struct Call {
        int message;
        NotifyIconData record;
    };

    bool shellNotifyIcon(int message, const NotifyIconData& record) override {
        calls.push_back({message, record});
        const auto key = std::make_pair(record.hWnd, record.uID);
        switch (message) {
        case NIM_ADD:
            if (refuseAdds || !record.hWnd || held.count(key))
                return false;
            held.insert(key);
            return true;
        case NIM_MODIFY:
            return held.count(key) > 0;
        case NIM_DELETE:
            return held.erase(key) > 0;
        }
        return false;
    }
    QPoint cursorPos() override { return cursor; }
    KeyState keyState() override { return keys; }
    LRESULT defWindowProc(UtilityWindow*, UINT message, WPARAM, LPARAM) override {
        log.push_back("default " + hex(message));
        return 0;
    }
    void setForegroundWindow(UtilityWindow* window) override {
        log.push_back(window == expectedWindow ? "foreground" : "foreground of another window");
    }
    void cancelMouseMode() override { log.push_back("cancel mode"); }
    void processMessages() override { log.push_back("process messages"); }

    std::vector<int> messages() const {
        std::vector<int> result;
        for (const Call& call : calls)
            result.push_back(call.message);
        return result;
    }

    std::vector<Call> calls;
    std::set<std::pair<const UtilityWindow*, std::uint32_t>> held;
    bool refuseAdds = false;
    QPoint cursor{100, 200};
    KeyState keys;
    UtilityWindow* expectedWindow = nullptr;
    std::vector<std::string> log;
};

class FakeMenu : public TTrayPopupMenu {
  public:
    explicit FakeMenu(std::vector<std::string>& log) : m_log(log) {}

    struct Item {
        bool isDefault = false;
        bool enabled = true;
    };

    bool AutoPopup() const override { return autoPopup; }
    void setPopupComponent(QObject* component) override { popupComponent = component; }
    int itemCount() const override { return static_cast<int>(items.size()); }
    bool itemDefault(int index) const override { return items.at(static_cast<std::size_t>(index)).isDefault; }
    bool itemEnabled(int index) const override { return items.at(static_cast<std::size_t>(index)).enabled; }
    void clickItem(int index) override { m_log.push_back("item " + std::to_string(index)); }
    void Popup(int x, int y) override {
        m_log.push_back("popup " + std::to_string(x) + "," + std::to_string(y));
        if (throwOnPopup)
            throw Error("menu failed");
    }

    bool autoPopup = true;
    bool throwOnPopup = false;
    QObject* popupComponent = nullptr;
    std::vector<Item> items{{}, {}, {}, {}};

  private:
    std::vector<std::string>& m_log;
};

QIcon testIcon() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(0xff336699);
    return QIcon(QPixmap::fromImage(image));
}

std::string shiftText(TShiftState shift) {
    std::string text;
    const std::pair<TShiftStateFlag, const char*> names[] = {
        {ssShift, "Shift"}, {ssAlt, "Alt"},       {ssCtrl, "Ctrl"},    {ssLeft, "Left"},
        {ssRight, "Right"}, {ssMiddle, "Middle"}, {ssDouble, "Double"}};
    for (const auto& [flag, name] : names)
        if (shift & flag)
            text += std::string(text.empty() ? "" : "+") + name;
    return text;
}

const char* buttonText(TMouseButton button) {
    switch (button) {
    case TMouseButton::mbLeft:
        return "left";
    case TMouseButton::mbRight:
        return "right";
    case TMouseButton::mbMiddle:
        return "middle";
    }
    return "?";
}

class TrayIconTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!qApp) {
            static int argc = 1;
            static char name[] = "trayicon_test";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    // Builds the component as the main window's stored settings do.
    void SetUp() override {
        tray = std::make_unique<TTrayIcon>(nullptr, &shell);
        shell.expectedWindow = tray->Handle();
        tray->setHint("Press right click to open menu");
        tray->setIcon(TIcon(testIcon()));
        tray->setPopupMenu(&menu);
        tray->Loaded();
        auto mouse = [this](const char* what) {
            return [this, what](QObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
                EXPECT_EQ(sender, tray.get());
                shell.log.push_back(std::string(what) + " " + buttonText(button) + " " + shiftText(shift) +
                                    " " + std::to_string(x) + "," + std::to_string(y));
            };
        };
        tray->OnMouseDown = mouse("down");
        tray->OnMouseUp = mouse("up");
        tray->OnClick = mouse("click");
        tray->OnMouseMove = [this](QObject*, TShiftState shift, int x, int y) {
            shell.log.push_back("move " + shiftText(shift) + " " + std::to_string(x) + "," +
                                std::to_string(y));
        };
        tray->OnDblClick = [this](QObject* sender) {
            EXPECT_EQ(sender, tray.get());
            shell.log.push_back("dblclick");
        };
        shell.calls.clear();
    }

    void report(UINT mouseMessage) { tray->Handle()->sendMessage(kTrayCallbackMessage, 0, mouseMessage); }

    const NotifyIconData& lastRecord(int message) {
        for (auto call = shell.calls.rbegin(); call != shell.calls.rend(); ++call)
            if (call->message == message)
                return call->record;
        ADD_FAILURE() << "no call with message " << message;
        static NotifyIconData none;
        return none;
    }

    FakeShell shell;
    FakeMenu menu{shell.log};
    std::unique_ptr<TTrayIcon> tray;
};

TEST_F(TrayIconTest, StartUpLeavesExactlyOneEntryWithTheFilledRecord) {
    FakeShell fresh;
    TTrayIcon icon(nullptr, &fresh);
    icon.setHint("Press right click to open menu");
    icon.setIcon(TIcon(testIcon()));
    icon.Loaded();
    // Construction, the hint and the icon each try to activate; every
    // activation begins with a delete.
    EXPECT_EQ(fresh.messages(),
              (std::vector<int>{NIM_DELETE, NIM_DELETE, NIM_DELETE, NIM_ADD, NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(fresh.held.size(), 1u);
    EXPECT_TRUE(icon.Added());

    const NotifyIconData& record = fresh.calls.back().record;
    EXPECT_EQ(record.cbSize, 88u);
    EXPECT_EQ(record.hWnd, icon.Handle());
    EXPECT_EQ(record.uID, 0u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0xB054u);
    EXPECT_EQ(record.hIcon, icon.Icon().Handle());
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, "Press right click to open menu");
}

TEST_F(TrayIconTest, TooltipIsTheShortHintCutTo63Characters) {
    const std::string seventy(70, 'h');
    struct Case {
        std::string hint;
        std::string tip;
        bool modifiedAfterAdd;
    } cases[] = {
        {"Press right click to open menu", "Press right click to open menu", false},
        {seventy, seventy.substr(0, 63), false},
        {std::string(63, 'x'), std::string(63, 'x'), false},
        {std::string(64, 'x'), std::string(63, 'x'), false},
        {"Short|Long hint", "Short", false},
        {"a|b|c", "a", false},
        {std::string(60, 's') + "|" + std::string(10, 'l'), std::string(60, 's'), false},
        {"|only long", "", true},
        {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hint);
        tray->setHint(c.hint);
        shell.calls.clear();
        tray->setActive(false);
        tray->setActive(true);
        EXPECT_EQ(tray->ShortHint().substr(0, 63), c.tip);
        EXPECT_STREQ(lastRecord(NIM_ADD).szTip, c.tip.c_str());
        const std::vector<int> expected = c.modifiedAfterAdd
                                              ? std::vector<int>{NIM_DELETE, NIM_DELETE, NIM_ADD, NIM_MODIFY}
                                              : std::vector<int>{NIM_DELETE, NIM_DELETE, NIM_ADD};
        EXPECT_EQ(shell.messages(), expected);
    }
}

TEST_F(TrayIconTest, ClicksPostedWithAPointHappenThereAndOthersWhereThePointerIs) {
    // A host that reports the click's point (a StatusNotifierItem host)
    // posts it with each message; a message without one, even right after,
    // is read at the pointer.
    shell.cursor = QPoint(100, 200);
    UtilityWindow* window = tray->Handle();
    window->postMessage(kTrayCallbackMessage, 0, WM_RBUTTONDOWN, QPoint(7, 9));
    window->postMessage(kTrayCallbackMessage, 0, WM_RBUTTONUP, QPoint(7, 9));
    window->postMessage(kTrayCallbackMessage, 0, WM_MOUSEMOVE);
    EXPECT_FALSE(window->messagePoint()) << "a point outside the handling of its message";
    QCoreApplication::processEvents();
    EXPECT_EQ(shell.log, (std::vector<std::string>{"down right Right 7,9", "cancel mode", "foreground",
                                                   "process messages", "popup 7,9", "foreground",
                                                   "up right Right 7,9", "move  100,200"}));
    EXPECT_FALSE(window->messagePoint());
}

struct Step {
    UINT message;
    QPoint cursor;
};

struct SequenceCase {
    std::string name;
    std::vector<Step> steps;
    std::vector<std::string> expected;
    NotifyIconService::KeyState keys{};
};

void PrintTo(const SequenceCase& sequence, std::ostream* out) {
    *out << sequence.name;
}

class TrayIconSequences : public TrayIconTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(TrayIconSequences, DispatchTableTurnsReportsIntoEvents) {
    shell.keys = GetParam().keys;
    for (const Step& step : GetParam().steps) {
        shell.cursor = step.cursor;
        report(step.message);
    }
    EXPECT_EQ(shell.log, GetParam().expected);
}

const QPoint P{10, 20}, Q{30, 40};

INSTANTIATE_TEST_SUITE_P(
    Messages, TrayIconSequences,
    ::testing::Values(
        SequenceCase{"LeftClickDoesNothingButEvents",
                     {{WM_LBUTTONDOWN, P}, {WM_LBUTTONUP, Q}},
                     {"down left Left 10,20", "click left Left 30,40", "up left Left 30,40"}},
        SequenceCase{"RightClickOpensTheMenuOnReleaseAtThatPosition",
                     {{WM_RBUTTONDOWN, P}, {WM_RBUTTONUP, Q}},
                     {"down right Right 10,20", "cancel mode", "foreground", "process messages",
                      "popup 30,40", "foreground", "up right Right 30,40"}},
        SequenceCase{"RightPressedOutsideReleasedOverOpensNothing",
                     {{WM_MOUSEMOVE, P}, {WM_RBUTTONUP, Q}},
                     {"move  10,20", "up right Right 30,40"}},
        SequenceCase{"RightDoubleClickOpensTheMenuOnlyOnTheFirstClick",
                     {{WM_RBUTTONDOWN, P}, {WM_RBUTTONUP, P}, {WM_RBUTTONDBLCLK, P}, {WM_RBUTTONUP, P}},
                     {"down right Right 10,20", "cancel mode", "foreground", "process messages",
                      "popup 10,20", "foreground", "up right Right 10,20", "down right Double 10,20",
                      "up right Right 10,20"}},
        SequenceCase{"LeftDoubleClickReachesOnDblClickOnce",
                     {{WM_LBUTTONDOWN, P}, {WM_LBUTTONUP, P}, {WM_LBUTTONDBLCLK, P}, {WM_LBUTTONUP, P}},
                     {"down left Left 10,20", "click left Left 10,20", "up left Left 10,20", "dblclick",
                      "down left Double 10,20", "up left Left 10,20"}},
        SequenceCase{"MiddleButtonNeverClicks",
                     {{WM_MBUTTONDOWN, P}, {WM_MBUTTONUP, P}, {WM_MBUTTONDBLCLK, P}, {WM_MBUTTONUP, P}},
                     {"down middle Middle 10,20", "up middle Middle 10,20", "down middle Double 10,20",
                      "up middle Middle 10,20"}},
        SequenceCase{"KeysJoinTheShiftState",
                     {{WM_LBUTTONDOWN, P}, {WM_MOUSEMOVE, Q}},
                     {"down left Shift+Alt+Ctrl+Left 10,20", "move Shift+Alt+Ctrl 30,40"},
                     {true, true, true}},
        SequenceCase{"UnknownReportsDoNothing", {{0x20A, P}, {WM_MOUSEMOVE + 0x100, P}}, {}}),
    [](const ::testing::TestParamInfo<SequenceCase>& param) { return param.param.name; });

TEST_F(TrayIconTest, DisabledIconPassesNotificationsToDefaultHandling) {
    tray->setEnabled(false);
    for (UINT message : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONDBLCLK})
        report(message);
    tray->Handle()->sendMessage(0x0400, 1, 2);
    EXPECT_EQ(shell.log, (std::vector<std::string>{"default 0xb054", "default 0xb054", "default 0xb054",
                                                   "default 0x400"}));
}

TEST_F(TrayIconTest, MenuIsOpenedOnlyWhenActiveWithAnAutoPopupMenu) {
    struct Case {
        const char* name;
        bool active;
        bool autoPopup;
        bool haveMenu;
        bool opens;
    } cases[] = {{"all set", true, true, true, true},
                 {"inactive", false, true, true, false},
                 {"no auto popup", true, false, true, false},
                 {"no menu", true, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.log.clear();
        menu.popupComponent = nullptr;
        tray->setActive(c.active);
        menu.autoPopup = c.autoPopup;
        tray->setPopupMenu(c.haveMenu ? &menu : nullptr);
        report(WM_RBUTTONDOWN);
        report(WM_RBUTTONUP);
        const bool opened = std::find(shell.log.begin(), shell.log.end(), "popup 100,200") != shell.log.end();
        EXPECT_EQ(opened, c.opens);
        EXPECT_EQ(menu.popupComponent, c.opens ? tray.get() : nullptr);
        // Without a menu the right click reaches OnClick instead.
        const bool clicked =
            std::find(shell.log.begin(), shell.log.end(), "click right Right 100,200") != shell.log.end();
        EXPECT_EQ(clicked, !c.opens);
    }
}

TEST_F(TrayIconTest, DoubleClickRunsTheFirstEnabledDefaultItemInstead) {
    menu.items = {{true, false}, {false, true}, {true, true}, {true, true}};
    report(WM_LBUTTONDBLCLK);
    EXPECT_EQ(shell.log, (std::vector<std::string>{"item 2", "down left Double 100,200"}));

    shell.log.clear();
    menu.items = {{true, false}, {false, true}};
    report(WM_LBUTTONDBLCLK);
    EXPECT_EQ(shell.log, (std::vector<std::string>{"dblclick", "down left Double 100,200"}));
}

TEST_F(TrayIconTest, ActiveOffRemovesTheIconAndOnBringsItBack) {
    tray->setActive(false);
    EXPECT_EQ(shell.messages(), (std::vector<int>{NIM_DELETE}));
    EXPECT_TRUE(shell.held.empty());
    EXPECT_FALSE(tray->Added());

    // Changes while inactive add nothing.
    tray->setHint("another");
    EXPECT_TRUE(shell.held.empty());

    tray->setActive(true);
    EXPECT_EQ(shell.held.size(), 1u);
    EXPECT_TRUE(tray->Added());
    EXPECT_STREQ(lastRecord(NIM_ADD).szTip, "another");
}

TEST_F(TrayIconTest, ChangesWhileAddedModifyTheEntry) {
    tray->setHint("new tip|long");
    EXPECT_EQ(shell.messages(), (std::vector<int>{NIM_MODIFY}));
    EXPECT_STREQ(lastRecord(NIM_MODIFY).szTip, "new tip");

    // The same text again changes nothing.
    tray->setHint("new tip|long");
    EXPECT_EQ(shell.calls.size(), 1u);

    // Without an image the icon leaves the area; with one it comes back.
    shell.calls.clear();
    tray->setIcon(TIcon());
    EXPECT_EQ(shell.messages(), (std::vector<int>{NIM_DELETE, NIM_DELETE}));
    EXPECT_FALSE(tray->Added());
    tray->setIcon(TIcon(testIcon()));
    EXPECT_TRUE(tray->Added());
    EXPECT_EQ(shell.held.size(), 1u);
}

TEST_F(TrayIconTest, RefusedAddIsRetriedOnlyAtTheNextChange) {
    shell.held.clear();
    shell.refuseAdds = true;
    tray->setActive(false);
    tray->setActive(true);
    EXPECT_FALSE(tray->Added());
    shell.refuseAdds = false;
    shell.calls.clear();
    tray->setHint("changed");
    EXPECT_EQ(shell.messages(), (std::vector<int>{NIM_DELETE, NIM_ADD}));
    EXPECT_TRUE(tray->Added());
}

TEST_F(TrayIconTest, NewTrayHostGetsTheIconAgain) {
    // The host went away and took the entry with it.
    shell.held.clear();
    tray->Handle()->sendMessage(WM_TASKBARCREATED, 0, 0);
    EXPECT_EQ(shell.messages(), (std::vector<int>{NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(shell.held.size(), 1u);
    EXPECT_STREQ(lastRecord(NIM_ADD).szTip, "Press right click to open menu");
    EXPECT_TRUE(shell.log.empty()) << "the broadcast is not passed to default handling";

    tray->setActive(false);
    shell.calls.clear();
    tray->Handle()->sendMessage(WM_TASKBARCREATED, 0, 0);
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIconTest, ExceptionsFromHandlersGoToTheExceptionDisplay) {
    std::vector<std::string> shown;
    tray->OnException = [&](const std::exception& error) { shown.push_back(error.what()); };
    tray->OnMouseDown = [](QObject*, TMouseButton, TShiftState, int, int) {
        throw Error("Cannot open clipboard");
    };
    EXPECT_EQ(tray->Handle()->sendMessage(kTrayCallbackMessage, 0, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(shown, (std::vector<std::string>{"Cannot open clipboard"}));

    // A failing menu still gets the window back to the foreground after it.
    menu.throwOnPopup = true;
    shell.log.clear();
    tray->OnMouseDown = nullptr;
    report(WM_RBUTTONDOWN);
    report(WM_RBUTTONUP);
    EXPECT_EQ(shell.log, (std::vector<std::string>{"cancel mode", "foreground", "process messages",
                                                   "popup 100,200", "foreground"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"Cannot open clipboard", "menu failed"}));
}

TEST_F(TrayIconTest, WithoutItsOwnHandlerTheDefaultHandlerShowsIt) {
    std::vector<std::string> shown;
    setDefaultTrayExceptionHandler([&](const std::exception& error) { shown.push_back(error.what()); });
    tray->OnDblClick = [](QObject*) { throw Error("JPEG error #1"); };
    report(WM_LBUTTONDBLCLK);
    setDefaultTrayExceptionHandler(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"JPEG error #1"}));
}

TEST_F(TrayIconTest, DestructionRemovesTheIconAndLeavesTheMenuAlone) {
    UtilityWindow* window = tray->Handle();
    tray.reset();
    ASSERT_FALSE(shell.calls.empty());
    EXPECT_EQ(shell.calls.back().message, NIM_DELETE);
    EXPECT_EQ(shell.calls.back().record.hWnd, window);
    EXPECT_TRUE(shell.held.empty());
    // The menu outlives the component and must not reach back into it when
    // it goes; a fresh component then sees the menu's end.
    FakeShell other;
    TTrayIcon second(nullptr, &other);
    {
        FakeMenu shortLived(other.log);
        second.setPopupMenu(&shortLived);
        EXPECT_EQ(second.PopupMenu(), &shortLived);
    }
    EXPECT_EQ(second.PopupMenu(), nullptr);
}

TEST_F(TrayIconTest, PostedMessagesArriveInOrderAndNotAfterTheWindowIsGone) {
    for (UINT message : {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONUP})
        tray->Handle()->postMessage(kTrayCallbackMessage, 0, message);
    EXPECT_TRUE(shell.log.empty()) << "posting must not deliver at once";
    QCoreApplication::processEvents();
    ASSERT_GE(shell.log.size(), 3u);
    EXPECT_EQ(shell.log.front(), "down right Right 100,200");
    EXPECT_EQ(shell.log[1], "move  100,200");
    EXPECT_EQ(shell.log.back(), "up right Right 100,200");

    shell.log.clear();
    tray->Handle()->postMessage(kTrayCallbackMessage, 0, WM_LBUTTONDOWN);
    tray.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shell.log.empty());
}

} // namespace
} // namespace vornik
