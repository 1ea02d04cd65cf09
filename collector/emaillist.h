#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// The address list `emaillist`: an ordered list of texts in the locale's
// single-byte encoding, kept exactly as loaded or added (repeats and empty
// entries included). Entries compare with compareIgnoringCase.
//
// Besides the entries the list keeps an index from each case-folded text to
// the first position holding it, so that a collection pass can ask "already
// there?" without comparing against every entry. The index is rebuilt by
// LoadFromFile and Sort and extended by Add and AddIfAbsent. It assumes the locale does not
// change while the list is in use.
class EmailList {
public:
    // Reads the file whole and replaces the entries by its lines. Throws
    // Error("Cannot open file ...") and leaves the list unchanged when the
    // file cannot be read.
    void LoadFromFile(const std::string& path);

    // Replaces the file by the entries, each followed by CR LF. Throws the
    // errors of writeWholeFile; the list is unchanged either way.
    void SaveToFile(const std::string& path) const;

    // Orders the entries with a middle-pivot quicksort whose pivot follows its
    // position through the exchanges. Not stable: entries that differ only in
    // letter case end up in the order the exchanges leave them.
    void Sort();

    // The position of the first entry from the start that compares equal to
    // text, or -1. Scans the entries one by one.
    int IndexOf(std::string_view text) const;

    // The same answer as IndexOf, from the index.
    int Find(std::string_view text) const;
    bool Contains(std::string_view text) const { return Find(text) >= 0; }

    // Appends text as the last entry, without looking for repeats, and
    // returns its position.
    int Add(std::string text);

    // Appends text unless an entry equal to it is there already, with one
    // look at the index; returns whether it was appended.
    bool AddIfAbsent(std::string text);

    void Clear();
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& operator[](int index) const { return m_entries[static_cast<std::size_t>(index)]; }
    // A copy of all entries, in order.
    std::vector<std::string> entries() const { return {m_entries.begin(), m_entries.end()}; }

private:
    // An open-addressing table of (hash of the folded text, position) pairs,
    // at most half full. It holds no texts of its own: a hash match is
    // confirmed against the entry, so the table stays small enough for a
    // lookup to cost one memory access, however long the list.
    struct Slot {
        std::uint32_t hash;
        std::int32_t position; // kFree when the slot is free
    };
    static constexpr std::int32_t kFree = -1;

    static std::uint32_t hashOf(std::string_view folded);
    // The slot holding the folded text, or the free slot where it belongs.
    std::size_t slotFor(std::string_view folded, std::uint32_t hash) const;
    void indexEntry(int position);
    void rebuildIndex();
    void growIndex();

    // A deque, so that appending never moves the entries already there: with
    // a long list, reallocating one big array in the middle of a pass costs
    // more than the whole pass.
    std::deque<std::string> m_entries;
    std::vector<Slot> m_slots;
    std::size_t m_indexed = 0;
};

// The file's lines: a line ends at CR, at LF or at CR LF; a zero byte ends
// the content; a line end at the very end adds no empty line.
std::vector<std::string> parseAddressFile(std::string_view bytes);

// Each entry followed by CR LF; nothing for no entries.
std::string formatAddressFile(const std::deque<std::string>& entries);

// The start-up of the address store, on a list created empty: when path
// names an existing file (a folder of that name counts as none), load it;
// then sort. Throws Error("Cannot open file ...") when the file exists but
// cannot be read; the list then stays empty and unsorted.
void loadAddressStore(EmailList& list, const std::string& path);

} // namespace vornik
