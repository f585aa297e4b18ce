#include "platform/text_file.h"

#include "platform/file_system.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

constexpr bool littleEndian = std::endian::native == std::endian::little;

// Where the UTF-16 little-endian unit c first stands among the units [from, limit) of
// `bytes`, or limit. Eight units at a time where the processor has SSE2 (always little-endian).
std::size_t findUnit(const unsigned char* bytes, std::size_t from, std::size_t limit, char16_t c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(c));
    for (; from + 8 <= limit; from += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * from));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted)));
        if (mask != 0) {
            return from + static_cast<std::size_t>(std::countr_zero(mask)) / 2;
        }
    }
#endif
    for (; from < limit; ++from) {
        if ((bytes[2 * from] | (bytes[2 * from + 1] << 8)) == c) {
            return from;
        }
    }
    return limit;
}

} // namespace

std::size_t findChar(std::u16string_view text, std::size_t from, char16_t c) {
    if constexpr (littleEndian) {
        return findUnit(reinterpret_cast<const unsigned char*>(text.data()), from, text.size(), c);
    } else {
        const std::size_t at = text.find(c, from);
        return at == std::u16string_view::npos ? text.size() : at;
    }
}

namespace {

// 8-bit: every byte becomes one character; a CR right before a LF is left out. Returns the
// number of characters written to `out` (room for `size` characters).
std::size_t decodeBytes8(const unsigned char* in, std::size_t size, char16_t* out) {
    std::size_t i = 0;
    std::size_t n = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, widened and stored whole; where a CR LF pair begins, only the
    // characters before the CR count and the next round starts at the LF. The stores never
    // pass `size` characters: n stays at most i.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (i + 17 <= size) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n + 8), _mm_unpackhi_epi8(block, zero));
        const auto pairs = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(next, lf))));
        if (pairs == 0) {
            i += 16;
            n += 16;
        } else {
            const auto k = static_cast<std::size_t>(std::countr_zero(pairs));
            n += k;
            i += k + 1;
        }
    }
#endif
    for (; i < size; ++i) {
        if (in[i] == '\r' && i + 1 < size && in[i + 1] == '\n') {
            continue;
        }
        out[n++] = in[i];
    }
    return n;
}

// UTF-16 little-endian units (no byte-order mark), CR LF to LF: the same for 16-bit units.
std::size_t decodeUnits16(const unsigned char* in, std::size_t count, char16_t* out) {
    std::size_t i = 0;
    std::size_t n = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16('\r');
    const __m128i lf = _mm_set1_epi16('\n');
    while (i + 9 <= count) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i + 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), block);
        const auto pairs = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(block, cr), _mm_cmpeq_epi16(next, lf))));
        if (pairs == 0) {
            i += 8;
            n += 8;
        } else {
            const auto k = static_cast<std::size_t>(std::countr_zero(pairs)) / 2;
            n += k;
            i += k + 1;
        }
    }
#endif
    for (; i < count; ++i) {
        const auto unit = static_cast<char16_t>(in[2 * i] | (in[2 * i + 1] << 8));
        if (unit == u'\r' && i + 1 < count && in[2 * i + 2] == '\n' && in[2 * i + 3] == 0) {
            continue;
        }
        out[n++] = unit;
    }
    return n;
}

} // namespace

std::u16string decodeText(std::string_view bytes, TextEncoding encoding) {
    // Written into a buffer of the largest possible size, then cut to what was used: game
    // text files are megabytes, and this is much of their cost.
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t size = bytes.size();
    std::u16string text;
    if (encoding == TextEncoding::Bytes8) {
        text.resize(size);
        text.resize(decodeBytes8(in, size, text.data()));
        return text;
    }
    if (size >= 2 && in[0] == 0xFF && in[1] == 0xFE) {
        in += 2;
        size -= 2;
    }
    // A last odd byte is not a character and is dropped.
    text.resize(size / 2);
    text.resize(decodeUnits16(in, size / 2, text.data()));
    return text;
}

bool openTextInput(std::u16string_view path, TextEncoding encoding, TextInput& input) {
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        return false;
    }
    input.text = decodeText(bytes, encoding);
    input.position = 0;
    return true;
}

int readChar(TextInput& input) {
    if (input.position >= input.text.size()) {
        return -1;
    }
    return input.text[input.position++];
}

void unreadChar(TextInput& input) {
    if (input.position > 0) {
        --input.position;
    }
}

void rewindInput(TextInput& input) {
    input.position = 0;
}

bool atEnd(const TextInput& input) {
    return input.position >= input.text.size();
}

bool readLinePiece(TextInput& input, std::size_t maxChars, std::u16string& piece) {
    piece.clear();
    if (atEnd(input) || maxChars == 0) {
        return false;
    }
    const std::size_t start = input.position;
    const std::size_t limit = std::min(input.text.size(), start + maxChars);
    std::size_t end = start;
    while (end < limit) {
        if (input.text[end++] == u'\n') {
            break;
        }
    }
    piece.assign(input.text, start, end - start);
    input.position = end;
    return true;
}

TextOutput createTextOutput(std::u16string_view path, TextEncoding encoding) {
    TextOutput output;
    output.path = std::u16string(path);
    output.encoding = encoding;
    if (encoding == TextEncoding::Utf16) {
        output.bytes = "\xFF\xFE";
    }
    return output;
}

TextOutput appendTextOutput(std::u16string_view path, TextEncoding encoding) {
    TextOutput output;
    output.path = std::u16string(path);
    output.encoding = encoding;
    output.append = true;
    if (encoding == TextEncoding::Utf16) {
        std::string start;
        if (!readFileStart(path, 2, start) || start.empty()) {
            output.bytes = "\xFF\xFE";
        }
    }
    return output;
}

namespace {
// How many characters of `text` an 8-bit write takes (all up to the first one above 255),
// and how many line breaks are among them.
void measureBytes8(std::u16string_view text, std::size_t& count, std::size_t& breaks) {
    std::size_t i = 0;
    breaks = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi16('\n');
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high), zero)) != 0xFFFF) {
            break; // a character above 255: counted one by one below
        }
        breaks += static_cast<std::size_t>(
                      std::popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, lf))))) /
                  2;
    }
#endif
    for (; i < text.size() && text[i] <= 255; ++i) {
        breaks += text[i] == u'\n';
    }
    count = i;
}

std::size_t countBreaks(std::u16string_view text) {
    std::size_t breaks = 0;
    for (std::size_t at = 0; (at = findChar(text, at, u'\n')) < text.size(); ++at) {
        ++breaks;
    }
    return breaks;
}

// Writes `count` characters (none above 255) as bytes, each line break as CR LF.
void encodeBytes8(const char16_t* text, std::size_t count, char* out) {
    std::size_t i = 0;
    std::size_t n = 0;
#if defined(__SSE2__)
    // Eight characters at a time, narrowed and stored whole; at a line break only the
    // characters before it count, CR LF is written and the next round starts after it.
    const __m128i lf = _mm_set1_epi16('\n');
    while (i + 8 <= count) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + n), _mm_packus_epi16(units, units));
        const auto breaks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, lf)));
        if (breaks == 0) {
            i += 8;
            n += 8;
        } else {
            const auto k = static_cast<std::size_t>(std::countr_zero(breaks)) / 2;
            n += k;
            out[n++] = '\r';
            out[n++] = '\n';
            i += k + 1;
        }
    }
#endif
    for (; i < count; ++i) {
        if (text[i] == u'\n') {
            out[n++] = '\r';
        }
        out[n++] = static_cast<char>(text[i]);
    }
}

// Writes `count` characters as UTF-16 little-endian units, each line break as CR LF.
void encodeUnits16(const char16_t* text, std::size_t count, char* out) {
    std::size_t i = 0;
    std::size_t n = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi16('\n');
    while (i + 8 <= count) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), units);
        const auto breaks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, lf)));
        if (breaks == 0) {
            i += 8;
            n += 16;
        } else {
            const auto k = static_cast<std::size_t>(std::countr_zero(breaks)) / 2;
            n += 2 * k;
            std::memcpy(out + n, "\r\0\n\0", 4);
            n += 4;
            i += k + 1;
        }
    }
#endif
    for (; i < count; ++i) {
        if (text[i] == u'\n') {
            std::memcpy(out + n, "\r\0", 2);
            n += 2;
        }
        out[n++] = static_cast<char>(text[i] & 0xFF);
        out[n++] = static_cast<char>(text[i] >> 8);
    }
}

void encodeInto(std::string& bytes, std::u16string_view text, TextEncoding encoding) {
    // Sized exactly first, so that a long text moves at most once.
    std::size_t count = text.size();
    std::size_t breaks = 0;
    if (encoding == TextEncoding::Bytes8) {
        // A character above 255 cannot be stored: the write ends before it.
        measureBytes8(text, count, breaks);
    } else {
        breaks = countBreaks(text);
    }
    const std::size_t unit = encoding == TextEncoding::Bytes8 ? 1 : 2;
    const std::size_t old = bytes.size();
    const std::size_t needed = unit * (count + breaks);
    if (bytes.capacity() < old + needed) {
        bytes.reserve(std::max(old + needed, 2 * bytes.capacity()));
    }
    bytes.resize(old + needed);
    if (encoding == TextEncoding::Bytes8) {
        encodeBytes8(text.data(), count, bytes.data() + old);
    } else {
        encodeUnits16(text.data(), count, bytes.data() + old);
    }
}
} // namespace

std::string encodeText(std::u16string_view text, TextEncoding encoding) {
    std::string bytes;
    encodeInto(bytes, text, encoding);
    return bytes;
}

void writeText(TextOutput& output, std::u16string_view text) {
    encodeInto(output.bytes, text, output.encoding);
}

void writeChar(TextOutput& output, char16_t c) {
    encodeInto(output.bytes, std::u16string_view(&c, 1), output.encoding);
}

void reserveText(TextOutput& output, std::size_t characters) {
    const std::size_t unit = output.encoding == TextEncoding::Bytes8 ? 1 : 2;
    output.bytes.reserve(output.bytes.size() + unit * characters);
}

SafeWriteResult writeTextOutputSafely(TextOutput& output) {
    const SafeWriteResult result = writeFileSafely(output.path, output.bytes);
    output.bytes.clear();
    return result;
}

bool closeTextOutput(TextOutput& output) {
    const bool ok = output.append ? appendToFile(output.path, output.bytes)
                                  : writeWholeFile(output.path, output.bytes);
    output.bytes.clear();
    return ok;
}

} // namespace platform
