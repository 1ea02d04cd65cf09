#include "widgets/mnemonics.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace vornik {

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool isPoolChar(char c) {
    return c != 0 && std::strchr(kMnemonicPool, c) != nullptr;
}

// Position of the "&" that marks the mnemonic, or npos.
std::size_t markPosition(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return i;
    }
    return std::string::npos;
}

} // namespace

char mnemonicOf(const std::string& caption) {
    const std::size_t at = markPosition(caption);
    return at == std::string::npos ? char(0) : upper(caption[at + 1]);
}

std::vector<std::string> assignMnemonics(const std::vector<std::string>& captions) {
    std::vector<std::string> result = captions;
    std::string pool = kMnemonicPool;
    auto take = [&pool](char c) {
        const std::size_t at = pool.find(c);
        if (at == std::string::npos)
            return false;
        pool.erase(at, 1);
        return true;
    };

    // The to-do list holds indexes into result, newest first.
    std::deque<std::size_t> todo;
    for (std::size_t i = 0; i < result.size(); ++i) {
        // A caption may hold further single "&"s after a taken mark. Deleting
        // the first one promotes the next, which must be judged in turn: left
        // in place unchecked, it could repeat a taken mnemonic, or a mark
        // inserted just before it would turn the pair into a plain "&".
        char m = mnemonicOf(result[i]);
        while (isPoolChar(m) && pool.find(m) == std::string::npos) {
            result[i].erase(markPosition(result[i]), 1);
            m = mnemonicOf(result[i]);
        }
        if (m == 0)
            todo.push_front(i);
        else if (isPoolChar(m))
            take(m);
    }
    if (todo.empty())
        return result;

    const std::string basePool = pool;
    std::vector<std::string> best = result;
    std::size_t bestServed = 0;
    const std::size_t passes = todo.size();
    for (std::size_t pass = 0; pass < passes; ++pass) {
        pool = basePool;
        std::vector<std::string> attempt = result;
        std::vector<std::size_t> unserved;
        std::size_t served = 0;
        for (auto it = todo.rbegin(); it != todo.rend(); ++it) {
            std::string& caption = attempt[*it];
            bool got = false;
            for (std::size_t c = 0; c < caption.size(); ++c) {
                if (take(upper(caption[c]))) {
                    caption.insert(c, 1, '&');
                    got = true;
                    break;
                }
            }
            if (got)
                ++served;
            else
                unserved.push_back(*it);
        }
        if (served > bestServed || pass == 0) {
            bestServed = served;
            best = attempt;
        }
        if (unserved.empty())
            break;
        // The pass walks the list from its end, so moving the unserved items
        // there lets them choose first next time.
        std::deque<std::size_t> next;
        for (std::size_t index : todo)
            if (std::find(unserved.begin(), unserved.end(), index) == unserved.end())
                next.push_back(index);
        for (auto it = unserved.rbegin(); it != unserved.rend(); ++it)
            next.push_back(*it);
        todo.swap(next);
    }
    return best;
}

MenuCharAnswer menuCharAnswer(const std::vector<MenuCharItem>& items, char typed, int highlighted) {
    const char wanted = upper(typed);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<int> matches;
        bool disabledMatch = false;
        for (int i = 0; i < int(items.size()); ++i) {
            const MenuCharItem& item = items[std::size_t(i)];
            if (item.separator)
                continue;
            const char m = mnemonicOf(item.caption);
            char key = 0;
            if (pass == 0)
                key = m;
            else if (m == 0 && !item.caption.empty())
                key = upper(item.caption[0]);
            if (key == 0 || key != wanted)
                continue;
            if (!item.enabled) {
                if (pass == 1)
                    return {MenuCharAction::Close, i};
                disabledMatch = true;
                continue;
            }
            matches.push_back(i);
        }
        if (matches.size() == 1)
            return {MenuCharAction::Execute, matches.front()};
        if (matches.size() > 1) {
            for (int index : matches)
                if (index > highlighted)
                    return {MenuCharAction::Select, index};
            return {MenuCharAction::Select, matches.front()};
        }
        if (disabledMatch)
            return {MenuCharAction::Close, 0};
    }
    return {};
}

} // namespace vornik
