// The record shape that campaigns, scripts, translation packs and the remembered selection
// have in common, and the capacities of its texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Capacities in characters, terminator included: a text holds at most capacity - 1.
inline constexpr std::size_t nameCapacity = 100;
inline constexpr std::size_t descriptionCapacity = 2000;
inline constexpr std::size_t folderCapacity = 260;
inline constexpr std::size_t pathCapacity = 260;

// The first capacity - 1 characters of text: what a bounded copy into a buffer of that
// capacity keeps.
inline std::u16string limitText(std::u16string_view text, std::size_t capacity) {
    return std::u16string(text.substr(0, capacity == 0 ? 0 : capacity - 1));
}

struct CatalogueEntry {
    std::int16_t index = 0;
    std::u16string name;        // at most nameCapacity - 1
    std::u16string description; // at most descriptionCapacity - 1
    std::u16string folder;      // at most folderCapacity - 1
};
