#include "scripts/script_entry.h"

#include <algorithm>

std::vector<std::u16string_view> worksForTokens(std::u16string_view list) {
    std::vector<std::u16string_view> tokens;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find_first_of(u" ,", start), list.size());
        if (end > start) {
            tokens.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return tokens;
}

bool scriptWorksFor(const ScriptEntry& script, std::u16string_view campaignFolder) {
    for (const std::u16string_view token : worksForTokens(script.worksFor)) {
        if (token == campaignFolder || token == u"all") {
            return true;
        }
    }
    return false;
}
