// A game text held in memory while a campaign run's scripts work on it, cut into the pieces
// anchor texts are compared with: each piece runs to and including a line break, or is cut
// after gameLinePiece characters, or ends with the text. A block then finds its anchor by
// comparing a few numbers per line, and a change replaces a few pieces instead of moving
// the whole text.
//
// The characters stay as they are written in the file (an 8-bit text is the very bytes read,
// a UTF-16 text its units after the byte-order mark): a line break is CR LF or a lone LF, and
// each piece knows which. What a piece means is what reading the file gives: its characters
// with a CR LF at its end read as one line break. Inserted text is kept written the same way.
#pragma once

#include "platform/text_file.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Game file lines are compared in pieces of 1999 characters plus their line break, the way
// anchor lines are read.
inline constexpr std::size_t gameLinePiece = 2000;

// Eight bytes a piece: a text of 40,000 lines takes 320 KB of them.
struct TextPiece {
    std::uint32_t at = 0;           // where its units start, counted over all buffers
    std::uint16_t lengthAndEnd = 0; // units; the top two bits tell how the piece ends
    std::uint16_t hash = 0;         // of what the piece means
};

struct PieceText {
    platform::TextEncoding encoding = platform::TextEncoding::Bytes8;
    std::deque<std::string> bytes;    // 8-bit: the characters the pieces refer to
    std::deque<std::u16string> units; // UTF-16: the same; neither moves once added
    std::vector<std::uint32_t> starts; // where each buffer starts in that count
    std::vector<TextPiece> pieces;
};

// The text of a file's bytes read in the given encoding. 8-bit bytes are taken over as
// they are; UTF-16 bytes are copied after their byte-order mark.
PieceText pieceTextOf(std::string bytes, platform::TextEncoding encoding);

// Bytes held, for the memory bound of a run.
std::size_t heldBytes(const PieceText& text);

// Appends the text as a rewrite writes it: each line break as CR LF, no byte-order mark.
void writePieceText(std::string& out, const PieceText& text);
// The first bytes so written (at least `count` when the text has them).
std::string writtenStart(const PieceText& text, std::size_t count);

// Where `lines` (each as read from a descriptor, ending with a line break) stand one after
// another as whole pieces, searched as a rewrite reads a destination: from piece `from` on,
// the first piece equal to the first line starts a match; a match that breaks off goes on
// with the piece after the one that broke it (that piece is not tried as a new start); a
// text that ends during a match holds no match. [first, last) are piece numbers.
struct LinesFound {
    bool found = false;
    std::size_t first = 0;
    std::size_t last = 0;
};
LinesFound findLines(const PieceText& text, std::size_t from,
                     const std::vector<std::u16string>& lines);

// Puts the parts (as read, line breaks as LF) in the place of pieces [first, last), each
// written as a rewrite writes it (in an 8-bit text a character above 255 ends its part).
void replacePieces(PieceText& text, std::size_t first, std::size_t last,
                   std::initializer_list<std::u16string_view> parts);
