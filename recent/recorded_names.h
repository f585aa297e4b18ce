// How recent.txt keeps file names with characters above 255 (the campaign's folder name and
// the script list). The file is 8-bit and stays so: a name of characters below 256 is
// written byte for byte as ever, and each character above 255 becomes "\uXXXX" (its UTF-16
// code unit in four lowercase hex digits; a character beyond 16 bits is two of them). A
// backslash cannot occur in a Windows file name, so no real name is read as an escape, and
// a backslash that does stand in a value (a hand-edited record) is written and read as it
// is. The reader's cleaning pass leaves "\u" alone: it only turns "\n" into a line break.
// The translation's display name comes from an 8-bit descriptor and is no file name: it is
// kept as it always was.
#pragma once

#include <string>
#include <string_view>

namespace recorded_names {

// At most this many characters of the file stand for one character of a name.
inline constexpr std::size_t longestEscape = 6;

inline std::u16string escape(std::u16string_view names) {
    std::u16string out;
    for (const char16_t c : names) {
        if (c < 256) {
            out += c;
            continue;
        }
        out += u"\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += u"0123456789abcdef"[(c >> shift) & 0xF];
        }
    }
    return out;
}

// The value of the hex digit, or -1.
inline int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    const char16_t lower = static_cast<char16_t>(c | 0x20);
    return lower >= u'a' && lower <= u'f' ? lower - u'a' + 10 : -1;
}

// The code unit of the escape at `at`, or -1 when no whole escape starts there.
inline long escapeAt(std::u16string_view text, std::size_t at) {
    if (text.size() < at + longestEscape || text[at] != u'\\' || text[at + 1] != u'u') {
        return -1;
    }
    long unit = 0;
    for (std::size_t i = at + 2; i < at + longestEscape; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0) {
            return -1;
        }
        unit = unit * 16 + digit;
    }
    return unit;
}

inline bool hasEscape(std::u16string_view text) {
    for (std::size_t i = text.find(u'\\'); i != text.npos; i = text.find(u'\\', i + 1)) {
        if (escapeAt(text, i) >= 0) {
            return true;
        }
    }
    return false;
}

inline std::u16string unescape(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const long unit = escapeAt(text, i);
        if (unit < 0) {
            out += text[i];
        } else {
            out += static_cast<char16_t>(unit);
            i += longestEscape - 1;
        }
    }
    return out;
}

} // namespace recorded_names
