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

void copyChars16(char16_t* out, const unsigned char* in, std::size_t count) {
    if constexpr (littleEndian) {
        if (count > 0) {
            std::memcpy(out, in, 2 * count);
        }
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            out[k] = static_cast<char16_t>(in[2 * k] | (in[2 * k + 1] << 8));
        }
    }
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

std::u16string decodeText(std::string_view bytes, TextEncoding encoding) {
    // Written into a buffer of the largest possible size, then cut to what was used: game
    // text files are megabytes, and this is much of their cost. The runs between line
    // breaks are copied whole; only a CR right before a LF is left out.
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::u16string text;
    std::size_t n = 0;
    if (encoding == TextEncoding::Bytes8) {
        text.resize(size);
        char16_t* out = text.data();
        std::size_t from = 0;
        while (from < size) {
            const void* hit = std::memchr(in + from, '\n', size - from);
            const std::size_t at =
                hit == nullptr
                    ? size
                    : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - in);
            const bool crLf = at < size && at > from && in[at - 1] == '\r';
            // The run up to and including the LF, without a CR right before it.
            const std::size_t end = at < size ? at + 1 : size;
            for (std::size_t k = from; k < end; ++k) {
                out[n + k - from] = in[k];
            }
            n += end - from;
            if (crLf) {
                out[n - 2] = u'\n';
                --n;
            }
            from = end;
        }
        text.resize(n);
        return text;
    }
    std::size_t i = 0;
    if (size >= 2 && in[0] == 0xFF && in[1] == 0xFE) {
        i = 2;
    }
    in += i;
    // A last odd byte is not a character and is dropped.
    const std::size_t count = (size - i) / 2;
    text.resize(count);
    char16_t* out = text.data();
    std::size_t from = 0;
    while (from < count) {
        const std::size_t at = findUnit(in, from, count, u'\n');
        if (at == count) {
            break;
        }
        // The run up to and including the LF, without a CR right before it.
        const bool crLf = at > from && in[2 * at - 2] == '\r' && in[2 * at - 1] == 0;
        copyChars16(out + n, in + 2 * from, at + 1 - from);
        n += at + 1 - from;
        if (crLf) {
            out[n - 2] = u'\n';
            --n;
        }
        from = at + 1;
    }
    copyChars16(out + n, in + 2 * from, count - from);
    n += count - from;
    text.resize(n);
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
void appendChars16(std::string& bytes, const char16_t* text, std::size_t count) {
    if constexpr (littleEndian) {
        bytes.append(reinterpret_cast<const char*>(text), 2 * count);
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            bytes.push_back(static_cast<char>(text[k] & 0xFF));
            bytes.push_back(static_cast<char>(text[k] >> 8));
        }
    }
}

void encodeInto(std::string& bytes, std::u16string_view text, TextEncoding encoding) {
    // Sized exactly first when it may not fit, so that a long text moves at most once.
    std::size_t count = 0;
    std::size_t breaks = 0;
    if (encoding == TextEncoding::Bytes8) {
        // A character above 255 cannot be stored: the write ends before it.
        while (count < text.size() && text[count] <= 255) {
            breaks += text[count] == u'\n';
            ++count;
        }
    } else {
        count = text.size();
        // Counting is only needed when even a text of nothing but line breaks might not fit.
        if (bytes.capacity() - bytes.size() < 4 * count) {
            for (const char16_t c : text) {
                breaks += c == u'\n';
            }
        }
    }
    const std::size_t unit = encoding == TextEncoding::Bytes8 ? 1 : 2;
    const std::size_t old = bytes.size();
    if (bytes.capacity() < old + unit * (count + breaks)) {
        bytes.reserve(std::max(old + unit * (count + breaks), 2 * bytes.capacity()));
    }
    if (encoding == TextEncoding::Bytes8) {
        bytes.resize(old + count + breaks);
        char* out = bytes.data() + old;
        for (std::size_t i = 0; i < count; ++i) {
            if (text[i] == u'\n') {
                *out++ = '\r';
            }
            *out++ = static_cast<char>(text[i]);
        }
        return;
    }
    // The runs between line breaks are copied whole.
    std::size_t from = 0;
    for (std::size_t at; (at = findChar(text, from, u'\n')) < text.size(); from = at + 1) {
        appendChars16(bytes, text.data() + from, at - from);
        bytes.append("\r\0\n\0", 4);
    }
    appendChars16(bytes, text.data() + from, text.size() - from);
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
