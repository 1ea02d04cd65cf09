#include "collector/emaillist.h"

#include "platform/posix/collation.h"
#include "platform/posix/files.h"

#include <cstring>
#include <functional>
#include <iterator>
#include <utility>

namespace vornik {

namespace {

// Quicksort over the positions left to right with the pivot in the middle.
// The pivot is not copied out: when an exchange moves it, its position goes
// with it. The left part is sorted by recursion, the right part by the next
// round of the outer loop.
template <typename Compare, typename Exchange>
void quicksort(int left, int right, const Compare& compareAt, const Exchange& exchange)
{
    for (;;) {
        int i = left;
        int j = right;
        int pivot = (left + right) / 2;
        do {
            while (compareAt(i, pivot) < 0)
                ++i;
            while (compareAt(j, pivot) > 0)
                --j;
            if (i <= j) {
                exchange(i, j);
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            quicksort(left, j, compareAt, exchange);
        left = i;
        if (i >= right)
            return;
    }
}

} // namespace

void EmailList::LoadFromFile(const std::string& path)
{
    std::vector<std::string> lines = parseAddressFile(readWholeFile(path));
    m_entries.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    rebuildIndex();
}

void EmailList::SaveToFile(const std::string& path) const
{
    writeWholeFile(path, formatAddressFile(m_entries));
}

void EmailList::Sort()
{
    if (m_entries.size() < 2)
        return;
    // Each entry is transformed once; the comparisons then only compare
    // bytes, and give the answers compareIgnoringCase would give.
    std::vector<CollationKey> keys;
    keys.reserve(m_entries.size());
    for (const std::string& entry : m_entries)
        keys.push_back(collationKey(entry));
    const auto compareAt = [&keys](int a, int b) {
        return compare(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
    };
    const auto exchange = [this, &keys](int a, int b) {
        std::swap(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
        std::swap(m_entries[static_cast<std::size_t>(a)], m_entries[static_cast<std::size_t>(b)]);
    };
    quicksort(0, Count() - 1, compareAt, exchange);
    rebuildIndex();
}

int EmailList::IndexOf(std::string_view text) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (compareIgnoringCase(m_entries[i], text) == 0)
            return static_cast<int>(i);
    return -1;
}

int EmailList::Find(std::string_view text) const
{
    if (m_slots.empty())
        return -1;
    const std::string folded = caseFolded(text);
    return m_slots[slotFor(folded, hashOf(folded))].position;
}

int EmailList::Add(std::string text)
{
    const int position = Count();
    m_entries.push_back(std::move(text));
    indexEntry(position);
    return position;
}

bool EmailList::AddIfAbsent(std::string text)
{
    if ((m_indexed + 1) * 2 > m_slots.size())
        growIndex();
    const std::string folded = caseFolded(text);
    const std::uint32_t hash = hashOf(folded);
    Slot& slot = m_slots[slotFor(folded, hash)];
    if (slot.position != kFree)
        return false;
    m_entries.push_back(std::move(text));
    slot = Slot{hash, Count() - 1};
    ++m_indexed;
    return true;
}

void EmailList::Clear()
{
    m_entries.clear();
    m_slots.clear();
    m_indexed = 0;
}

std::uint32_t EmailList::hashOf(std::string_view folded)
{
    const std::size_t full = std::hash<std::string_view>{}(folded);
    return static_cast<std::uint32_t>(full ^ (full >> 32));
}

std::size_t EmailList::slotFor(std::string_view folded, std::uint32_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.position == kFree)
            return i;
        if (slot.hash == hash && caseFolded(m_entries[static_cast<std::size_t>(slot.position)]) == folded)
            return i;
    }
}

void EmailList::indexEntry(int position)
{
    if ((m_indexed + 1) * 2 > m_slots.size())
        growIndex();
    const std::string folded = caseFolded(m_entries[static_cast<std::size_t>(position)]);
    const std::uint32_t hash = hashOf(folded);
    Slot& slot = m_slots[slotFor(folded, hash)];
    // An earlier entry with the same folded text keeps the slot.
    if (slot.position == kFree) {
        slot = Slot{hash, position};
        ++m_indexed;
    }
}

void EmailList::rebuildIndex()
{
    std::size_t size = 16;
    while (size < m_entries.size() * 2 + 2)
        size *= 2;
    m_slots.assign(size, Slot{0, kFree});
    m_indexed = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        indexEntry(static_cast<int>(i));
}

void EmailList::growIndex()
{
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{0, kFree});
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.position == kFree)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].position != kFree)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

std::vector<std::string> parseAddressFile(std::string_view bytes)
{
    if (const void* zero = std::memchr(bytes.data(), '\0', bytes.size()))
        bytes = bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - bytes.data()));
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(bytes.substr(start, i - start));
        ++i;
        if (c == '\r' && i < bytes.size() && bytes[i] == '\n')
            ++i;
        start = i;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string formatAddressFile(const std::deque<std::string>& entries)
{
    std::size_t size = 0;
    for (const std::string& entry : entries)
        size += entry.size() + 2;
    std::string content;
    content.reserve(size);
    for (const std::string& entry : entries) {
        content += entry;
        content += "\r\n";
    }
    return content;
}

void loadAddressStore(EmailList& list, const std::string& path)
{
    if (isExistingFile(path))
        list.LoadFromFile(path);
    list.Sort();
}

} // namespace vornik
