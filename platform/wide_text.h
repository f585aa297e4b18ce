// The core keeps text as char16_t; Win32 wants wchar_t (16 bits with MinGW). The two meet
// only here, at the window boundary.
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline std::wstring toWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string fromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}
