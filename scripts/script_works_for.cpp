#include "scripts/script_entry.h"

bool scriptWorksFor(const ScriptEntry& script, std::u16string_view campaignFolder) {
    const std::u16string_view list = script.worksFor;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(u" ,", start);
        if (end == std::u16string_view::npos) {
            end = list.size();
        }
        const std::u16string_view token = list.substr(start, end - start);
        // An empty token (two separators in a row, or an empty list) matches nothing.
        if (!token.empty() && (token == campaignFolder || token == u"all")) {
            return true;
        }
        start = end + 1;
    }
    return false;
}
