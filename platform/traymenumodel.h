#pragma once

#include <string>
#include <vector>

namespace vornik {

// One top-level item of a tray icon's menu as a tray host that draws menus
// itself shows it.
struct TrayMenuEntry {
    // The caption, with "&" before the mnemonic letter ("&&" for a plain "&").
    std::string caption;
    bool separator = false;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
};

// A tray icon's menu as a notification-area service may hand it to such a
// host: its items now, and a way to run one as a click on it would.
class TrayMenuModel {
  public:
    virtual ~TrayMenuModel() = default;
    // Every top-level item, in menu order, hidden ones included.
    virtual std::vector<TrayMenuEntry> trayMenuEntries() const = 0;
    // Clicks the item with this index in trayMenuEntries().
    virtual void runTrayMenuEntry(int index) = 0;
};

} // namespace vornik
