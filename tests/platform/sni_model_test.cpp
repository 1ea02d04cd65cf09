#include "platform/freedesktop/snimodel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornik {
namespace {

TEST(DBusMenuLabel, TurnsAmpersandMnemonicsIntoUnderscores)
{
    const struct {
        const char* caption;
        const char* label;
    } cases[] = {
        {"&E-mail collect", "_E-mail collect"},
        {"E&xit", "E_xit"},
        {"Fish && chips", "Fish & chips"},
        {"Save &as && close", "Save _as & close"},
        {"snake_case", "snake__case"},
        {"&_x", "___x"},
        {"dangling&", "dangling"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dbusMenuLabel(c.caption), c.label) << c.caption;
}

std::vector<TrayMenuEntry> trayMenu(bool collecting)
{
    return {
        {"&E-mail collect", false, true, true, collecting},
        {"&Color picker, size, cut tools [ESC to exit]", false, true, true, false},
        {"-", true, true, true, false},
        {"E&xit", false, true, true, false},
    };
}

TEST(DBusMenuItems, ProgramMenuHasFourItemsWithIdsLabelsSeparatorAndCheckmark)
{
    std::set<int> checkable;
    const std::vector<DBusMenuItem> items = dbusMenuItems(trayMenu(true), checkable);
    const std::vector<DBusMenuItem> expected = {
        {1, false, "_E-mail collect", true, true, true, 1},
        {2, false, "_Color picker, size, cut tools [ESC to exit]", true, true, false, 0},
        {3, true, "", true, true, false, 0},
        {4, false, "E_xit", true, true, false, 0},
    };
    EXPECT_EQ(items, expected);
}

TEST(DBusMenuItems, ItemSwitchedOffKeepsItsCheckBoxAndOnlyItChanges)
{
    std::set<int> checkable;
    const std::vector<DBusMenuItem> on = dbusMenuItems(trayMenu(true), checkable);
    const std::vector<DBusMenuItem> off = dbusMenuItems(trayMenu(false), checkable);
    EXPECT_TRUE(off[0].checkmark);
    EXPECT_EQ(off[0].toggleState, 0);
    EXPECT_FALSE(dbusMenuLayoutChanged(on, off));
    EXPECT_EQ(dbusMenuChangedIds(on, off), std::vector<int>{1});

    // Never checked: a plain item, not an empty check box.
    std::set<int> fresh;
    EXPECT_FALSE(dbusMenuItems(trayMenu(false), fresh)[0].checkmark);
}

TEST(DBusMenuItems, HiddenAndDisabledItemsKeepTheirIds)
{
    std::vector<TrayMenuEntry> entries = trayMenu(true);
    entries[1].enabled = false;
    entries[2].visible = false;
    std::set<int> checkable;
    const std::vector<DBusMenuItem> items = dbusMenuItems(entries, checkable);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_FALSE(items[1].enabled);
    EXPECT_FALSE(items[2].visible);
    EXPECT_EQ(items[3].id, 4);
}

TEST(DBusMenuItems, LayoutChangesWhenItemsComeGoOrChangeKind)
{
    std::set<int> checkable;
    const std::vector<DBusMenuItem> four = dbusMenuItems(trayMenu(true), checkable);
    std::vector<TrayMenuEntry> shorter = trayMenu(true);
    shorter.pop_back();
    std::vector<TrayMenuEntry> kind = trayMenu(true);
    kind[2] = {"Other", false, true, true, false};
    EXPECT_TRUE(dbusMenuLayoutChanged(four, dbusMenuItems(shorter, checkable)));
    EXPECT_TRUE(dbusMenuLayoutChanged(four, dbusMenuItems(kind, checkable)));
    EXPECT_FALSE(dbusMenuLayoutChanged(four, four));
    EXPECT_TRUE(dbusMenuChangedIds(four, four).empty());
}

TEST(DBusMenuIds, MapToEntryIndexesWithinBounds)
{
    const struct {
        int id;
        int index;
    } cases[] = {{0, -1}, {1, 0}, {4, 3}, {5, -1}, {-3, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(entryIndexOfDBusMenuId(c.id, 4), c.index) << c.id;
}

TEST(SniPixmapBytes, AreAlphaRedGreenBlueInThatOrder)
{
    const std::uint32_t pixels[] = {0x80FF2010u, 0x00000000u, 0xFF0000FFu};
    const std::vector<std::uint8_t> expected = {0x80, 0xFF, 0x20, 0x10, 0, 0, 0, 0, 0xFF, 0x00, 0x00, 0xFF};
    EXPECT_EQ(sniPixmapBytes(pixels, 3), expected);
}

TEST(WatcherHost, OnlyGnomeShellIsToldOfTheExportedMenu)
{
    EXPECT_TRUE(watcherHostDrawsMenus("gnome-shell"));
    for (const char* name : {"waybar", "kded6", "plasmashell", "", "gnome-shell-x"})
        EXPECT_FALSE(watcherHostDrawsMenus(name)) << name;
}

} // namespace
} // namespace vornik
