// Conversions between the UTF-16 text the program keeps in memory and UTF-8, used where
// text leaves the program on a POSIX system or as console output.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

} // namespace platform
