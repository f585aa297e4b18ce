#include "catalogue/read_section.h"

namespace {

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool startsWithKnownHeader(std::u16string_view piece) {
    for (const std::u16string_view header : knownSectionHeaders) {
        if (startsWith(piece, header)) {
            return true;
        }
    }
    return false;
}

} // namespace

void cleanSectionValue(std::u16string& value) {
    // One pass over the positions, each step in this order; the odd results (half of a run
    // of line breaks survives) are what descriptors in the wild have been written against.
    const auto at = [&value](std::size_t i) -> char16_t { return i < value.size() ? value[i] : 0; };
    std::size_t i = 0;
    while (i < value.size()) {
        if (value[i] == u'\n') {
            value.erase(i, 1);
        }
        if (at(i) == u'\\' && at(i + 1) == u'n') {
            value.erase(i, 1);
            value[i] = u'\n';
        }
        bool removedBlanks = false;
        while (!value.empty() && value[0] == u' ') {
            value.erase(0, 1);
            removedBlanks = true;
        }
        // What moved into this position is looked at too: otherwise the line break of a
        // header line that holds nothing but its blank ("[scripts] ") would survive, and an
        // empty value written to recent.txt would read back as a line break.
        if (!removedBlanks) {
            ++i;
        }
    }
}

bool readSection(platform::TextInput& file, std::u16string_view key, std::u16string& destination,
                 std::size_t capacity) {
    platform::rewindInput(file);
    std::u16string piece;
    if (capacity == 0) {
        int count = 0;
        while (platform::readLinePiece(file, sectionPieceLength, piece)) {
            if (startsWith(piece, key)) {
                ++count;
            }
        }
        return count > 0;
    }

    bool found = false;
    while (platform::readLinePiece(file, sectionPieceLength, piece)) {
        if (startsWith(piece, key)) {
            found = true;
            break;
        }
    }
    if (!found) {
        return false;
    }
    std::u16string value = piece.substr(key.size());
    // A last line without a line break is kept: hand-written descriptors often end so.
    while (platform::readLinePiece(file, sectionPieceLength, piece) &&
           !startsWithKnownHeader(piece)) {
        value += piece;
    }
    if (value.size() > capacity - 1) {
        value.resize(capacity - 1);
    }
    cleanSectionValue(value);
    destination = std::move(value);
    return true;
}
