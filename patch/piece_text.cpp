#include "patch/piece_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using platform::TextEncoding;

constexpr bool littleEndian = std::endian::native == std::endian::little;

// How a piece ends: open (cut at the full length, or the end of the text), with a lone LF,
// or with CR LF (which reads as one line break).
enum Ending : std::uint16_t { openEnd = 0, lineFeed = 1, crLf = 2 };
constexpr unsigned endShift = 14;
constexpr std::uint16_t lengthMask = (1u << endShift) - 1;
static_assert(gameLinePiece + 2 <= lengthMask, "a piece's length fits beside its ending");

std::size_t lengthOf(const TextPiece& piece) {
    return piece.lengthAndEnd & lengthMask;
}
Ending endOf(const TextPiece& piece) {
    return static_cast<Ending>(piece.lengthAndEnd >> endShift);
}
std::size_t breakLength(Ending ending) {
    return ending == crLf ? 2 : ending == lineFeed ? 1 : 0;
}
// Units before the line break.
std::size_t bodyLength(const TextPiece& piece) {
    return lengthOf(piece) - breakLength(endOf(piece));
}
// True when a piece starts after this one whatever follows it: after a line break, or
// after a piece cut at the full length.
bool endsFirmly(const TextPiece& piece) {
    return endOf(piece) != openEnd || lengthOf(piece) == gameLinePiece;
}

std::size_t unitSize(TextEncoding encoding) {
    return encoding == TextEncoding::Bytes8 ? 1 : 2;
}

// Of a piece's body and whether a line break follows it: what the piece means.
std::uint16_t hashOf(const void* data, std::size_t bytes, bool endsLine) {
    // Eight bytes at a time: pieces are short, and every one is hashed once.
    const auto* at = static_cast<const unsigned char*>(data);
    std::uint64_t hash = 0x9e3779b97f4a7c15ull ^ bytes ^ (endsLine ? 0x5bd1e99500000000ull : 0);
    for (; bytes >= 8; at += 8, bytes -= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, 8);
        hash = (hash ^ word) * 0xff51afd7ed558ccdull;
        hash ^= hash >> 29;
    }
    std::uint64_t word = 0;
    if (bytes > 0) {
        std::memcpy(&word, at, bytes);
    }
    hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    return static_cast<std::uint16_t>((hash ^ (hash >> 32)) >> 16);
}

std::size_t findLineFeed(const unsigned char* data, std::size_t from, std::size_t size) {
    const void* hit = std::memchr(data + from, '\n', size - from);
    return hit == nullptr ? size
                          : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
}
std::size_t findLineFeed(const char16_t* data, std::size_t from, std::size_t size) {
    return platform::findChar(std::u16string_view(data, size), from, u'\n');
}

// Cuts one line, [at, lineEnd), into pieces appended to `pieces`; its units start at `base`
// in the count over all buffers.
template <typename Unit>
void cutLine(std::vector<TextPiece>& pieces, const Unit* data, std::size_t at, std::size_t lineEnd,
             bool endsWithFeed, std::uint32_t base) {
    Ending ending = openEnd;
    if (endsWithFeed) {
        ending = lineEnd - 1 > at && data[lineEnd - 2] == '\r' ? crLf : lineFeed;
    }
    const auto push = [&](std::size_t from, std::size_t length, Ending end) {
        const std::size_t body = length - breakLength(end);
        pieces.push_back({static_cast<std::uint32_t>(base + from),
                          static_cast<std::uint16_t>(length | (end << endShift)),
                          hashOf(data + from, body * sizeof(Unit), end != openEnd)});
    };
    // Characters as read: a CR LF is one.
    const std::size_t characters = lineEnd - at - (ending == crLf ? 1 : 0);
    if (characters <= gameLinePiece) {
        push(at, lineEnd - at, ending);
        return;
    }
    for (std::size_t done = 0; done < characters; done += gameLinePiece) {
        const bool last = done + gameLinePiece >= characters;
        const std::size_t end = last ? lineEnd : at + done + gameLinePiece;
        push(at + done, end - (at + done), last ? ending : openEnd);
    }
}

// Cuts `size` units into pieces, appended to `pieces`.
template <typename Unit>
void cutInto(std::vector<TextPiece>& pieces, const Unit* data, std::size_t size,
             std::uint32_t base) {
    std::size_t at = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // The line feeds of sixteen bytes at a time (8-bit text, most lines being short).
    if constexpr (sizeof(Unit) == 1) {
        const __m128i feed = _mm_set1_epi8('\n');
        for (; i + 16 <= size; i += 16) {
            auto feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), feed)));
            while (feeds != 0) {
                const std::size_t lineEnd = i + static_cast<std::size_t>(std::countr_zero(feeds)) + 1;
                cutLine(pieces, data, at, lineEnd, true, base);
                at = lineEnd;
                feeds &= feeds - 1;
            }
        }
    }
#endif
    i = std::max(i, at);
    while (at < size) {
        const std::size_t found = findLineFeed(data, i, size);
        const bool endsWithFeed = found < size;
        const std::size_t lineEnd = endsWithFeed ? found + 1 : size;
        cutLine(pieces, data, at, lineEnd, endsWithFeed, base);
        at = lineEnd;
        i = at;
    }
}

const unsigned char* unitsOf(const std::string& buffer) {
    return reinterpret_cast<const unsigned char*>(buffer.data());
}
const char16_t* unitsOf(const std::u16string& buffer) {
    return buffer.data();
}

// Adds a buffer to the text and cuts it into pieces (appended to `pieces`). One unit is left
// free between buffers, so that pieces of two buffers never look adjacent.
template <typename Buffer>
void addBuffer(PieceText& text, std::deque<Buffer>& buffers, Buffer buffer,
               std::vector<TextPiece>& pieces) {
    const std::uint32_t start =
        buffers.empty()
            ? 0
            : static_cast<std::uint32_t>(text.starts.back() + buffers.back().size() + 1);
    buffers.push_back(std::move(buffer));
    text.starts.push_back(start);
    cutInto(pieces, unitsOf(buffers.back()), buffers.back().size(), start);
}

// The units a piece refers to, from `at` on.
const void* dataOf(const PieceText& text, std::uint32_t at) {
    const auto after = std::upper_bound(text.starts.begin(), text.starts.end(), at);
    const auto buffer = static_cast<std::size_t>(after - text.starts.begin()) - 1;
    const std::size_t offset = at - text.starts[buffer];
    if (text.encoding == TextEncoding::Bytes8) {
        return text.bytes[buffer].data() + offset;
    }
    return text.units[buffer].data() + offset;
}

// UTF-16 units as little-endian bytes.
void appendUnits(std::string& out, const char16_t* units, std::size_t count) {
    if constexpr (littleEndian) {
        out.append(reinterpret_cast<const char*>(units), 2 * count);
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            out.push_back(static_cast<char>(units[i] & 0xFF));
            out.push_back(static_cast<char>(units[i] >> 8));
        }
    }
}

void appendPiece(std::string& out, TextEncoding encoding, const void* data, std::size_t units) {
    if (encoding == TextEncoding::Bytes8) {
        out.append(static_cast<const char*>(data), units);
    } else {
        appendUnits(out, static_cast<const char16_t*>(data), units);
    }
}

// Pieces [first, last) as a rewrite writes them: what is written with CR LF already is
// copied in runs; a lone LF becomes CR LF.
void writeRange(std::string& out, const PieceText& text, std::size_t first, std::size_t last) {
    const TextEncoding encoding = text.encoding;
    std::uint32_t runStart = 0;
    std::size_t runUnits = 0;
    const auto flush = [&] {
        if (runUnits > 0) {
            appendPiece(out, encoding, dataOf(text, runStart), runUnits);
        }
        runUnits = 0;
    };
    for (std::size_t i = first; i < last; ++i) {
        const TextPiece& piece = text.pieces[i];
        if (endOf(piece) == lineFeed) {
            flush();
            appendPiece(out, encoding, dataOf(text, piece.at), bodyLength(piece));
            out.append(encoding == TextEncoding::Bytes8 ? std::string_view("\r\n")
                                                        : std::string_view("\r\0\n\0", 4));
            continue;
        }
        if (runUnits > 0 && runStart + runUnits == piece.at) {
            runUnits += lengthOf(piece);
            continue;
        }
        flush();
        runStart = piece.at;
        runUnits = lengthOf(piece);
    }
    flush();
}

// A line as the pieces of the text would hold it, to compare pieces with.
struct WantedLine {
    std::string bytes; // the body in the text's units
    bool endsLine = false;
    bool possible = true; // false: no piece of this text can hold it
    std::uint16_t hash = 0;
};

WantedLine wantedLine(const std::u16string& line, TextEncoding encoding) {
    WantedLine wanted;
    wanted.endsLine = !line.empty() && line.back() == u'\n';
    const std::u16string_view body(line.data(), line.size() - (wanted.endsLine ? 1 : 0));
    if (encoding == TextEncoding::Bytes8) {
        for (const char16_t c : body) {
            wanted.possible = wanted.possible && c <= 255;
            wanted.bytes.push_back(static_cast<char>(c));
        }
    } else {
        wanted.bytes.assign(reinterpret_cast<const char*>(body.data()), 2 * body.size());
    }
    wanted.hash = hashOf(wanted.bytes.data(), wanted.bytes.size(), wanted.endsLine);
    return wanted;
}

bool holds(const PieceText& text, const TextPiece& piece, const WantedLine& wanted,
           std::size_t unit) {
    return piece.hash == wanted.hash && wanted.possible &&
           (endOf(piece) != openEnd) == wanted.endsLine &&
           bodyLength(piece) * unit == wanted.bytes.size() &&
           std::memcmp(dataOf(text, piece.at), wanted.bytes.data(), wanted.bytes.size()) == 0;
}

// The parts as a rewrite writes them, each on its own (in an 8-bit text a character above
// 255 ends its part).
std::string writtenParts(std::initializer_list<std::u16string_view> parts, std::string*) {
    std::string bytes;
    for (const auto part : parts) {
        bytes += platform::encodeText(part, TextEncoding::Bytes8);
    }
    return bytes;
}
std::u16string writtenParts(std::initializer_list<std::u16string_view> parts, std::u16string*) {
    std::u16string units;
    for (const auto part : parts) {
        for (const char16_t c : part) {
            if (c == u'\n') {
                units += u'\r';
            }
            units += c;
        }
    }
    return units;
}

template <typename Buffer>
void replaceIn(PieceText& text, std::deque<Buffer>& buffers, std::size_t first, std::size_t last,
               std::initializer_list<std::u16string_view> parts) {
    Buffer inserted = writtenParts(parts, static_cast<Buffer*>(nullptr));
    std::vector<TextPiece> added;
    if (!inserted.empty()) {
        addBuffer(text, buffers, std::move(inserted), added);
    }
    std::vector<TextPiece>& pieces = text.pieces;
    // Pieces only follow one another unchanged when each join falls where a piece would
    // start anyway; otherwise the text is written out and cut again from the start.
    const bool firmStart = first == 0 || endsFirmly(pieces[first - 1]);
    const bool firmEnd = last == pieces.size() || added.empty() || endsFirmly(added.back());
    if (!firmStart || !firmEnd) {
        std::string whole = text.encoding == TextEncoding::Utf16 ? "\xFF\xFE" : "";
        writeRange(whole, text, 0, first);
        const std::size_t middle = pieces.size();
        pieces.insert(pieces.end(), added.begin(), added.end());
        writeRange(whole, text, middle, pieces.size());
        writeRange(whole, text, last, middle);
        text = pieceTextOf(std::move(whole), text.encoding);
        return;
    }
    const auto at = pieces.begin() + static_cast<std::ptrdiff_t>(first);
    const std::size_t common = std::min(last - first, added.size());
    std::copy_n(added.begin(), common, at);
    if (added.size() > common) {
        pieces.insert(at + static_cast<std::ptrdiff_t>(common),
                      added.begin() + static_cast<std::ptrdiff_t>(common), added.end());
    } else {
        pieces.erase(at + static_cast<std::ptrdiff_t>(common),
                     pieces.begin() + static_cast<std::ptrdiff_t>(last));
    }
}

} // namespace

PieceText pieceTextOf(std::string bytes, TextEncoding encoding) {
    PieceText text;
    text.encoding = encoding;
    if (encoding == TextEncoding::Bytes8) {
        text.pieces.reserve(bytes.size() / 32 + 16);
        addBuffer(text, text.bytes, std::move(bytes), text.pieces);
        return text;
    }
    std::size_t skip = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        skip = 2;
    }
    // A last odd byte is no character and is dropped, as reading drops it.
    std::u16string units((bytes.size() - skip) / 2, u'\0');
    if constexpr (littleEndian) {
        std::memcpy(units.data(), bytes.data() + skip, 2 * units.size());
    } else {
        for (std::size_t i = 0; i < units.size(); ++i) {
            units[i] = static_cast<char16_t>(
                static_cast<unsigned char>(bytes[skip + 2 * i]) |
                (static_cast<unsigned char>(bytes[skip + 2 * i + 1]) << 8));
        }
    }
    text.pieces.reserve(units.size() / 32 + 16);
    addBuffer(text, text.units, std::move(units), text.pieces);
    return text;
}

std::size_t heldBytes(const PieceText& text) {
    std::size_t held = text.pieces.size() * sizeof(TextPiece);
    for (const std::string& buffer : text.bytes) {
        held += buffer.size();
    }
    for (const std::u16string& buffer : text.units) {
        held += 2 * buffer.size();
    }
    return held;
}

void writePieceText(std::string& out, const PieceText& text) {
    writeRange(out, text, 0, text.pieces.size());
}

std::string writtenStart(const PieceText& text, std::size_t count) {
    std::string start;
    for (std::size_t i = 0; i < text.pieces.size() && start.size() < count; ++i) {
        writeRange(start, text, i, i + 1);
    }
    return start;
}

LinesFound findLines(const PieceText& text, std::size_t from,
                     const std::vector<std::u16string>& lines) {
    if (lines.empty()) {
        return {};
    }
    std::vector<WantedLine> wanted;
    for (const std::u16string& line : lines) {
        wanted.push_back(wantedLine(line, text.encoding));
    }
    const std::size_t unit = unitSize(text.encoding);
    const std::vector<TextPiece>& pieces = text.pieces;
    const std::uint16_t firstHash = wanted[0].hash;
    for (std::size_t at = from; at < pieces.size(); ++at) {
        if (pieces[at].hash != firstHash || !holds(text, pieces[at], wanted[0], unit)) {
            continue;
        }
        std::size_t next = at + 1;
        std::size_t matched = 1;
        while (matched < wanted.size()) {
            if (next == pieces.size()) {
                return {}; // the text ended during the match
            }
            if (!holds(text, pieces[next], wanted[matched], unit)) {
                break;
            }
            ++next;
            ++matched;
        }
        if (matched == wanted.size()) {
            return {true, at, next};
        }
        at = next; // the piece that broke the match is no new start
    }
    return {};
}

void replacePieces(PieceText& text, std::size_t first, std::size_t last,
                   std::initializer_list<std::u16string_view> parts) {
    if (text.encoding == TextEncoding::Bytes8) {
        replaceIn(text, text.bytes, first, last, parts);
    } else {
        replaceIn(text, text.units, first, last, parts);
    }
}
