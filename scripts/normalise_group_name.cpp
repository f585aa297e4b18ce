#include "scripts/script_entry.h"

std::u16string normaliseGroupName(std::u16string_view raw) {
    std::u16string name(raw.substr(0, raw.find(u'\n')));
    // Inner blanks are part of the name ("Hard mode" and "Hardmode" are two groups); only
    // one blank at the end goes, so "Titles " written by hand joins "Titles".
    if (!name.empty() && name.back() == u' ') {
        name.pop_back();
    }
    return name;
}
