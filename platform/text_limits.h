// The capacities of the system's texts, in characters with the terminator of the old fixed
// buffers included: a text holds at most capacity - 1. They limit content where the
// operations apply them; storage is always a growing string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t nameCapacity = 100;
inline constexpr std::size_t descriptionCapacity = 2000;
inline constexpr std::size_t folderCapacity = 260;
inline constexpr std::size_t pathCapacity = 260;
inline constexpr std::size_t statusCapacity = 260; // the main window's status text

// The first capacity - 1 characters of text: what a bounded copy into a buffer of that
// capacity keeps.
inline std::u16string limitText(std::u16string_view text, std::size_t capacity) {
    return std::u16string(text.substr(0, capacity == 0 ? 0 : capacity - 1));
}
