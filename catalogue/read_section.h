// The section text file: 8-bit text of sections, each a header line such as "[name]"
// followed by value lines. readSection is its one reader.
#pragma once

#include "platform/text_file.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Every one of these ends a value, whatever the file is.
inline constexpr std::array<std::u16string_view, 11> knownSectionHeaders = {
    u"[name]",     u"[description]", u"[files]",   u"[works for]",   u"[grouped in]", u"[checked]",
    u"[required]", u"[campaign]",    u"[scripts]", u"[translation]", u"[code]"};

// Lines are read in pieces of at most this many characters.
inline constexpr std::size_t sectionPieceLength = 199;

// Value mode (capacity > 0): on success `destination` holds the cleaned value of the first
// section headed `key` and the result is true; false when no line starts with the key, and
// then `destination` is left as it was. The raw value is cut to capacity - 1 characters.
// Presence mode (capacity == 0): true when any line of the file starts with the key;
// `destination` is not touched.
// The file is rewound first, so one open file serves several calls.
bool readSection(platform::TextInput& file, std::u16string_view key, std::u16string& destination,
                 std::size_t capacity);

// The cleaning pass over a raw value: line breaks dropped (in a run of k line breaks, k/2
// remain), backslash-n turned into a line break, blanks at the start dropped.
void cleanSectionValue(std::u16string& value);
