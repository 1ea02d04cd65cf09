#include "widgets/menurules.h"
#include "widgets/mnemonics.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vornik {
namespace {

using Captions = std::vector<std::string>;

struct MnemonicCase {
    const char* name;
    Captions in;
    Captions out;
};

TEST(AutomaticMnemonics, AssignsByTheMenuRules) {
    const std::vector<MnemonicCase> cases = {
        {"tray menu",
         {"E-mail collect", "Color picker, size, cut tools [ESC to exit]", "Exit"},
         {"&E-mail collect", "&Color picker, size, cut tools [ESC to exit]", "E&xit"}},
        {"tray menu again keeps its marks",
         {"&E-mail collect", "&Color picker", "E&xit"},
         {"&E-mail collect", "&Color picker", "E&xit"}},
        {"taken mark is dropped and reassigned",
         {"&Open", "Save", "&Options"},
         {"&Open", "&Save", "O&ptions"}},
        {"mark outside the pool is left alone", {"&-dash", "Dash"}, {"&-dash", "&Dash"}},
        {"double ampersand is text", {"A&&B"}, {"&A&&B"}},
        {"digits come from the pool", {"1st", "1nd"}, {"&1st", "1&nd"}},
        {"case-insensitive", {"abc", "ABC"}, {"&abc", "A&BC"}},
        {"second pass serves the starved item first", {"AB", "A"}, {"A&B", "&A"}},
        {"no pool character at all", {"--", "&"}, {"--", "&"}},
        {"mark on the last character", {"Quit&"}, {"&Quit&"}},
    };
    for (const MnemonicCase& c : cases)
        EXPECT_EQ(assignMnemonics(c.in), c.out) << c.name;
}

TEST(AutomaticMnemonics, PoolExhaustionServesTheFirstItems) {
    const std::string all = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890";
    const Captions in(40, all);
    const Captions out = assignMnemonics(in);
    std::set<char> used;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char m = mnemonicOf(out[i]);
        if (i < 36) {
            ASSERT_NE(m, 0) << i;
            EXPECT_TRUE(used.insert(m).second) << "duplicate " << m;
        } else {
            EXPECT_EQ(out[i], all) << i;
        }
    }
    EXPECT_EQ(used.size(), 36u);
}

std::string withoutMark(const std::string& caption) {
    std::string out;
    bool marked = false;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (caption[i + 1] == '&') {
                out += "&&";
                ++i;
                continue;
            }
            if (!marked) {
                marked = true;
                continue;
            }
        }
        out += caption[i];
    }
    return out;
}

// Random captions over a small alphabet, so that collisions are common.
TEST(AutomaticMnemonics, RandomCaptionsKeepTheirTextAndGetDistinctMarks) {
    std::mt19937 random(1234);
    const std::string alphabet = "abcAB1 -";
    for (int round = 0; round < 500; ++round) {
        Captions in(1 + random() % 12);
        for (std::string& caption : in) {
            const int length = 1 + int(random() % 5);
            for (int k = 0; k < length; ++k)
                caption += alphabet[random() % alphabet.size()];
            // At most one mark per caption, sometimes a literal "&&" too.
            if (random() % 3 == 0)
                caption.insert(random() % (caption.size() + 1), "&");
            if (random() % 4 == 0)
                caption.insert(random() % (caption.size() + 1), "&&");
        }
        const Captions out = assignMnemonics(in);
        ASSERT_EQ(out.size(), in.size());
        std::set<char> poolMarks;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(withoutMark(out[i]), withoutMark(in[i])) << in[i] << " -> " << out[i];
            const char m = mnemonicOf(out[i]);
            if (m != 0 && std::string(kMnemonicPool).find(m) != std::string::npos) {
                EXPECT_TRUE(poolMarks.insert(m).second) << "duplicate mark " << m << " in round " << round;
            }
        }
        // An item left without a mark only has characters that others use.
        for (const std::string& caption : out) {
            if (mnemonicOf(caption) != 0)
                continue;
            for (char c : caption) {
                const char u = char(std::toupper(static_cast<unsigned char>(c)));
                if (std::string(kMnemonicPool).find(u) != std::string::npos) {
                    EXPECT_TRUE(poolMarks.count(u)) << caption << " could have had " << u;
                }
            }
        }
        EXPECT_EQ(assignMnemonics(out), out) << "a second opening changes nothing";
    }
}

struct MenuCharCase {
    const char* name;
    std::vector<MenuCharItem> items;
    char typed;
    int highlighted;
    MenuCharAnswer expected;
};

TEST(MenuCharAnswer, MnemonicsFirstThenInitials) {
    const std::vector<MenuCharItem> tray = {
        {"&E-mail collect"}, {"&Color picker, size, cut tools [ESC to exit]"}, {"-", true, true}, {"E&xit"}};
    using A = MenuCharAction;
    const std::vector<MenuCharCase> cases = {
        {"tray E", tray, 'e', -1, {A::Execute, 0}},
        {"tray C", tray, 'C', -1, {A::Execute, 1}},
        {"tray X", tray, 'x', 0, {A::Execute, 3}},
        {"tray nothing", tray, 'z', -1, {A::Ignore, 0}},
        {"separator never matches", tray, '-', -1, {A::Ignore, 0}},
        {"several: first", {{"&Open"}, {"&Other"}, {"&Odd"}}, 'o', -1, {A::Select, 0}},
        {"several: after highlight", {{"&Open"}, {"&Other"}, {"&Odd"}}, 'o', 0, {A::Select, 1}},
        {"several: wraps", {{"&Open"}, {"&Other"}, {"&Odd"}}, 'o', 2, {A::Select, 0}},
        {"only disabled closes", {{"&Open", false}, {"Save"}}, 'o', -1, {A::Close, 0}},
        {"enabled beats disabled", {{"&Open", false}, {"&Other"}}, 'o', -1, {A::Execute, 1}},
        {"initials second", {{"Print"}, {"Preview"}, {"&Save"}}, 'p', -1, {A::Select, 0}},
        {"initials after highlight", {{"Print"}, {"Preview"}, {"&Save"}}, 'P', 0, {A::Select, 1}},
        {"mnemonic pass wins", {{"Print"}, {"Preview"}, {"&Save"}}, 's', -1, {A::Execute, 2}},
        {"initial of marked item ignored", {{"P&en"}, {"Pot"}}, 'p', -1, {A::Execute, 1}},
        {"disabled initial closes", {{"Preview"}, {"Print", false}}, 'p', -1, {A::Close, 1}},
        {"no mnemonic falls to initials", {{"&Open"}, {"Exit"}}, 'e', -1, {A::Execute, 1}},
    };
    for (const MenuCharCase& c : cases)
        EXPECT_EQ(menuCharAnswer(c.items, c.typed, c.highlighted), c.expected) << c.name;
}

struct LineCase {
    const char* name;
    std::vector<LineItem> items;
    std::vector<bool> visible;
};

TEST(LineReduction, HidesRedundantSeparators) {
    const LineItem item{false, true}, hidden{false, false}, sep{true, true}, hiddenSep{true, false};
    const std::vector<LineCase> cases = {
        {"tray menu", {item, item, sep, item}, {true, true, true, true}},
        {"leading and trailing", {sep, item, sep}, {false, true, false}},
        {"run keeps the last", {item, sep, sep, sep, item}, {true, false, false, true, true}},
        {"hidden item does not break a run",
         {item, sep, hidden, sep, item},
         {true, false, false, true, true}},
        {"shown again", {item, hiddenSep, item}, {true, true, true}},
        {"only separators", {sep, sep}, {false, false}},
        {"only hidden items", {hidden, sep, hidden}, {false, false, false}},
        {"trailing after hidden item", {item, sep, hidden}, {true, false, false}},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(reducedLines(c.items), c.visible) << c.name;
}

struct PlacementCase {
    int x, measured;
    TPopupAlignment alignment;
    int desktop;
    int expected;
};

TEST(PopupPlacement, MovesOffThePointerNearTheEdge) {
    const std::vector<PlacementCase> cases = {
        {1000, 100, paLeft, 1280, 1000}, {1128, 100, paLeft, 1280, 1128}, // x + m + 51 = 1279
        {1129, 100, paLeft, 1280, 1146},                                  // x + m + 51 = 1280
        {1200, 100, paLeft, 1280, 1217}, {1270, 100, paLeft, 1280, 1279}, // 1287 clamped
        {1279, 100, paLeft, 1280, 1279}, {1280, 0, paLeft, 1280, 1279},
        {0, 2000, paLeft, 1280, 17},     {200, 100, paRight, 1280, 217},
        {134, 100, paRight, 1280, 151},  {133, 100, paRight, 1280, 133},
        {500, 100, paCenter, 1280, 508}, {1275, 100, paCenter, 1280, 1279},
        {2000, 100, paLeft, 2560, 2000}, // a second screen widens the desktop
    };
    for (const PlacementCase& c : cases)
        EXPECT_EQ(popupX(c.x, c.measured, c.alignment, c.desktop), c.expected)
            << c.x << " " << c.measured << " " << c.alignment;
}

TEST(PopupTrackFlags, CombineAlignmentButtonAndAnimation) {
    EXPECT_EQ(popupTrackFlags(paLeft, tbLeftButton, maLeftToRight | maRightToLeft), 0x0C00u);
    EXPECT_EQ(popupTrackFlags(paRight, tbRightButton, 0), 0x000Au);
    EXPECT_EQ(popupTrackFlags(paCenter, tbLeftButton, maNone), 0x4004u);
    EXPECT_EQ(popupTrackFlags(paLeft, tbRightButton, maTopToBottom | maBottomToTop), 0x3002u);
    EXPECT_EQ(popupTrackFlags(paLeft, tbLeftButton, 0, true), 0x0008u);
    EXPECT_EQ(popupTrackFlags(paRight, tbLeftButton, 0, true), 0x0000u);
}

} // namespace
} // namespace vornik
