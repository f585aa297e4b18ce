// How recent.txt keeps file names (the campaign's folder name and the script list). The
// file is 8-bit and stays so: a name of characters below 256 without a blank at either end
// is written byte for byte as ever. Each character above 255 becomes "\uXXXX" (its UTF-16
// code unit in four lowercase hex digits; a character beyond 16 bits is two of them), and
// so does a blank at either end of a name ("\u0020"): the reader drops the blanks after a
// header, and the script list is split at blanks. A backslash cannot occur in a Windows
// file name, so no real name is read as an escape, and a backslash that does stand in a
// value (a hand-edited record) is written and read as it is. The reader's cleaning pass
// leaves "\u" alone: it only turns "\n" into a line break.
// In memory the script list keeps the blanks at its names' ends escaped (the list's blanks
// are its separators) and holds every other character as itself.
// The translation's display name comes from an 8-bit descriptor and is no file name: it is
// kept as it always was.
#pragma once

#include <string>
#include <string_view>

namespace recorded_names {

// At most this many characters of the file stand for one character of a name.
inline constexpr std::size_t longestEscape = 6;

inline void appendEscape(std::u16string& out, char16_t c) {
    out += u"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += u"0123456789abcdef"[(c >> shift) & 0xF];
    }
}

// The characters above 255 escaped.
inline std::u16string escape(std::u16string_view names) {
    std::u16string out;
    for (const char16_t c : names) {
        if (c < 256) {
            out += c;
        } else {
            appendEscape(out, c);
        }
    }
    return out;
}

// A name with the blanks at either end escaped, as the script list holds it.
inline std::u16string escapeEndBlanks(std::u16string_view name) {
    const std::size_t first = name.find_first_not_of(u' ');
    const std::size_t end = first == name.npos ? 0 : name.find_last_not_of(u' ') + 1;
    std::u16string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == u' ' && (i < first || i >= end)) {
            appendEscape(out, u' ');
        } else {
            out += name[i];
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

// Every escape read; with `keepBlanks` the escaped blanks stay escaped (the script list).
inline std::u16string unescape(std::u16string_view text, bool keepBlanks = false) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const long unit = escapeAt(text, i);
        if (unit < 0 || (keepBlanks && unit == u' ')) {
            out += text[i];
        } else {
            out += static_cast<char16_t>(unit);
            i += longestEscape - 1;
        }
    }
    return out;
}

} // namespace recorded_names
