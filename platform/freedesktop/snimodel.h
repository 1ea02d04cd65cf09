#pragma once

#include "platform/traymenumodel.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// One item of an exported menu as the com.canonical.dbusmenu interface
// describes it. Item ids are the entry's index plus one; 0 is the root.
struct DBusMenuItem {
    int id = 0;
    bool separator = false;
    std::string label; // mnemonic marked with "_"
    bool enabled = true;
    bool visible = true;
    bool checkmark = false; // shown as a check-mark toggle
    int toggleState = 0;    // 1 checked, 0 not; only for check-mark items
    bool operator==(const DBusMenuItem&) const = default;
};

inline constexpr int kDBusMenuRootId = 0;

// A caption with "&" mnemonics as a dbusmenu label: "&x" marks x with "_",
// "&&" is a plain "&", and a plain "_" is doubled so that it is not taken
// for a mnemonic.
std::string dbusMenuLabel(std::string_view caption);

// The exported items of a menu. The menu model has no notion of an item that
// can be checked, so an item counts as a check-mark toggle from the first
// time it is seen checked: checkable holds those ids and grows with each call,
// so that an item that is switched off keeps its (now empty) check box.
std::vector<DBusMenuItem> dbusMenuItems(const std::vector<TrayMenuEntry>& entries, std::set<int>& checkable);

// The index into the entries that an item id names, or -1.
int entryIndexOfDBusMenuId(int id, std::size_t entryCount);

// Whether the layout (the list of ids and their kinds) differs, and which
// items kept their place but changed a property.
bool dbusMenuLayoutChanged(const std::vector<DBusMenuItem>& before, const std::vector<DBusMenuItem>& after);
std::vector<int> dbusMenuChangedIds(const std::vector<DBusMenuItem>& before, const std::vector<DBusMenuItem>& after);

// Straight (not premultiplied) ARGB pixels, one 32-bit value each, as the
// bytes of a StatusNotifierItem pixmap: alpha, red, green, blue per pixel,
// the network byte order that the item's IconPixmap property asks for.
std::vector<std::uint8_t> sniPixmapBytes(const std::uint32_t* pixels, std::size_t count);

// Whether a StatusNotifierWatcher run by the process of this name belongs to
// a host that shows only menus exported over com.canonical.dbusmenu and never
// asks the item for its own (ContextMenu). Only such hosts are told of the
// exported menu; all others get the program's own styled menu.
bool watcherHostDrawsMenus(std::string_view processName);

} // namespace vornik
