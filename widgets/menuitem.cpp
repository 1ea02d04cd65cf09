#include "widgets/menuitem.h"

#include <algorithm>
#include <atomic>

namespace vornik {

namespace {

int nextCommand() {
    // Command identifiers travel in the low word of a command message, so
    // they stay within 1..0xFFFF and never use 0, which means "no choice".
    static std::atomic<int> counter{0};
    return counter.fetch_add(1) % 0xFFFF + 1;
}

} // namespace

TMenuItem::TMenuItem(QObject* owner) : QObject(owner), m_command(nextCommand()) {}

TMenuItem::~TMenuItem() {
    // Sub-items go first, while this object is still a whole TMenuItem.
    std::vector<TMenuItem*> items;
    items.swap(m_items);
    for (TMenuItem* item : items) {
        item->m_parent = nullptr;
        delete item;
    }
    if (m_parent)
        m_parent->Remove(this);
}

void TMenuItem::Click() {
    if (Enabled && OnClick)
        OnClick(this);
}

void TMenuItem::Add(TMenuItem* item) {
    if (!item || item == this)
        return;
    if (item->m_parent)
        item->m_parent->Remove(item);
    item->setParent(this);
    item->m_parent = this;
    m_items.push_back(item);
    changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it == m_items.end())
        return;
    m_items.erase(it);
    item->m_parent = nullptr;
    item->setParent(nullptr);
    changed();
}

TMenuItem* TMenuItem::Find(int command) {
    if (m_command == command)
        return this;
    for (TMenuItem* item : m_items)
        if (TMenuItem* found = item->Find(command))
            return found;
    return nullptr;
}

void TMenuItem::changed() {
    for (TMenuItem* item = this; item; item = item->m_parent)
        if (item->OnChange) {
            item->OnChange();
            return;
        }
}

} // namespace vornik
