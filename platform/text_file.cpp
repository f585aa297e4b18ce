#include "platform/text_file.h"

#include "platform/file_system.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform {

namespace {

constexpr bool littleEndian = std::endian::native == std::endian::little;

// Where the next u'\n' stands in UTF-16 LE bytes, as a byte offset (even), or `size`. The
// search runs on the bytes with memchr: a byte 0x0A that is not the low half of a line break
// is skipped.
std::size_t nextBreak16(const unsigned char* in, std::size_t from, std::size_t size) {
    while (from < size) {
        const void* hit = std::memchr(in + from, '\n', size - from);
        if (hit == nullptr) {
            return size;
        }
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - in);
        if (at % 2 == 0 && at + 1 < size && in[at + 1] == 0) {
            return at;
        }
        from = at + 1;
    }
    return size;
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

std::u16string decodeText(std::string_view bytes, TextEncoding encoding) {
    // Written into a buffer of the largest possible size, then cut to what was used: game
    // text files are megabytes, and this is much of their cost. The runs between line
    // breaks are copied whole; only a CR right before a LF is left out.
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t size = bytes.size();
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
    size = (size - i) & ~std::size_t{1};
    text.resize(size / 2);
    char16_t* out = text.data();
    std::size_t from = 0;
    while (from < size) {
        const std::size_t at = nextBreak16(in, from, size);
        if (at == size) {
            break;
        }
        if (at >= from + 2 && in[at - 2] == '\r' && in[at - 1] == 0) {
            // Everything up to the CR, then the LF in its place.
            copyChars16(out + n, in + from, (at - 2 - from) / 2);
            n += (at - 2 - from) / 2;
            out[n++] = u'\n';
            from = at + 2;
        } else {
            // No CR before this LF: the run keeps it as it is.
            copyChars16(out + n, in + from, (at + 2 - from) / 2);
            n += (at + 2 - from) / 2;
            from = at + 2;
        }
    }
    copyChars16(out + n, in + from, (size - from) / 2);
    n += (size - from) / 2;
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

// Where the next u'\n' of text stands, from `from` on, or text.size().
std::size_t nextBreak(std::u16string_view text, std::size_t from) {
    if constexpr (littleEndian) {
        return nextBreak16(reinterpret_cast<const unsigned char*>(text.data()), 2 * from,
                           2 * text.size()) /
               2;
    } else {
        const std::size_t at = text.find(u'\n', from);
        return at == std::u16string_view::npos ? text.size() : at;
    }
}

void encodeInto(std::string& bytes, std::u16string_view text, TextEncoding encoding) {
    // Sized exactly first, so that a long text moves at most once.
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
        for (const char16_t c : text) {
            breaks += c == u'\n';
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
    for (std::size_t found = 0; found < breaks; ++found) {
        const std::size_t at = nextBreak(text, from);
        appendChars16(bytes, text.data() + from, at - from);
        bytes.append("\r\0\n\0", 4);
        from = at + 1;
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

bool closeTextOutput(TextOutput& output) {
    const bool ok = output.append ? appendToFile(output.path, output.bytes)
                                  : writeWholeFile(output.path, output.bytes);
    output.bytes.clear();
    return ok;
}

} // namespace platform
