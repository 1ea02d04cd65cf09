#include "platform/freedesktop/snimodel.h"

#include <algorithm>
#include <array>

namespace vornik {

std::string dbusMenuLabel(std::string_view caption)
{
    std::string label;
    label.reserve(caption.size() + 2);
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                label += '&';
                ++i;
            } else if (i + 1 < caption.size()) {
                label += '_';
            }
            // A lone "&" at the end marks nothing and is dropped, as the
            // styled menu draws it.
        } else if (c == '_') {
            label += "__";
        } else {
            label += c;
        }
    }
    return label;
}

std::vector<DBusMenuItem> dbusMenuItems(const std::vector<TrayMenuEntry>& entries, std::set<int>& checkable)
{
    std::vector<DBusMenuItem> items;
    items.reserve(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const TrayMenuEntry& entry = entries[index];
        DBusMenuItem item;
        item.id = static_cast<int>(index) + 1;
        item.visible = entry.visible;
        if (entry.separator || entry.caption == "-") {
            item.separator = true;
        } else {
            item.label = dbusMenuLabel(entry.caption);
            item.enabled = entry.enabled;
            if (entry.checked)
                checkable.insert(item.id);
            item.checkmark = checkable.count(item.id) > 0;
            item.toggleState = item.checkmark && entry.checked ? 1 : 0;
        }
        items.push_back(std::move(item));
    }
    return items;
}

int entryIndexOfDBusMenuId(int id, std::size_t entryCount)
{
    if (id <= kDBusMenuRootId || static_cast<std::size_t>(id) > entryCount)
        return -1;
    return id - 1;
}

bool dbusMenuLayoutChanged(const std::vector<DBusMenuItem>& before, const std::vector<DBusMenuItem>& after)
{
    return !std::equal(before.begin(), before.end(), after.begin(), after.end(),
                       [](const DBusMenuItem& a, const DBusMenuItem& b) {
                           return a.id == b.id && a.separator == b.separator;
                       });
}

std::vector<int> dbusMenuChangedIds(const std::vector<DBusMenuItem>& before, const std::vector<DBusMenuItem>& after)
{
    std::vector<int> ids;
    const std::size_t common = std::min(before.size(), after.size());
    for (std::size_t i = 0; i < common; ++i)
        if (before[i].id == after[i].id && !(before[i] == after[i]))
            ids.push_back(after[i].id);
    return ids;
}

std::vector<std::uint8_t> sniPixmapBytes(const std::uint32_t* pixels, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t argb = pixels[i];
        bytes.push_back(static_cast<std::uint8_t>(argb >> 24));
        bytes.push_back(static_cast<std::uint8_t>(argb >> 16));
        bytes.push_back(static_cast<std::uint8_t>(argb >> 8));
        bytes.push_back(static_cast<std::uint8_t>(argb));
    }
    return bytes;
}

bool watcherHostDrawsMenus(std::string_view processName)
{
    // GNOME Shell's AppIndicator extension runs the watcher inside the shell
    // and drops items without an exported menu. Plasma (kded), waybar and
    // the other wlroots bars call ContextMenu when an item announces no
    // menu, and so keep the styled one.
    static constexpr std::array<std::string_view, 1> kHosts = {"gnome-shell"};
    return std::find(kHosts.begin(), kHosts.end(), processName) != kHosts.end();
}

} // namespace vornik
