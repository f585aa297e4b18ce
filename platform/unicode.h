// Conversions between the UTF-16 text the program keeps in memory and UTF-8, used where
// text leaves the program on a POSIX system or as console output; and the one case fold of
// file names.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

// Upper case the way file names compare without regard to case: ASCII and Latin-1 letters
// fold, which is all game paths use.
inline char16_t upperCase(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<char16_t>(c - 32);
    }
    return c;
}

inline bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperCase(a[i]) != upperCase(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace platform
