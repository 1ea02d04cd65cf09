#pragma once

#include <string>
#include <vector>

namespace vornik {

// The characters automatic mnemonics are taken from, in order of preference.
inline constexpr const char* kMnemonicPool = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The character after the caption's single "&" ("&&" stands for a plain
// "&"), upper-cased; 0 when it has none.
char mnemonicOf(const std::string& caption);

// Gives the captions mnemonics from the pool: captions that already hold an
// unused pool mnemonic keep it, duplicates lose their mark, and the rest get
// the first still-free character of their text, over as many passes as it
// takes to serve as many captions as possible. The input holds the captions
// of the visible items that are neither empty nor "-", in menu order; the
// result holds them, marked, in the same order.
std::vector<std::string> assignMnemonics(const std::vector<std::string>& captions);

// What a typed character does while a menu is open.
enum class MenuCharAction { Ignore, Close, Execute, Select };
struct MenuCharAnswer {
    MenuCharAction action = MenuCharAction::Ignore;
    int index = 0;
    bool operator==(const MenuCharAnswer&) const = default;
};

struct MenuCharItem {
    std::string caption;
    bool enabled = true;
    bool separator = false;
};

// The answer to a typed character (case-insensitive) over the items of the
// open menu, with highlighted the index of the highlighted item or -1.
// Mnemonics are looked at first; only when none matches, the first
// characters of the captions without a mnemonic.
MenuCharAnswer menuCharAnswer(const std::vector<MenuCharItem>& items, char typed, int highlighted);

} // namespace vornik
