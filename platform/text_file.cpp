#include "platform/text_file.h"

#include "platform/file_system.h"

#include <algorithm>

namespace platform {

std::u16string decodeText(std::string_view bytes, TextEncoding encoding) {
    // Written through a pointer into a buffer of the largest possible size, then cut to
    // what was used: game text files are megabytes, and this loop is most of their cost.
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::u16string text;
    std::size_t n = 0;
    if (encoding == TextEncoding::Bytes8) {
        text.resize(size);
        char16_t* out = text.data();
        for (std::size_t i = 0; i < size; ++i) {
            if (in[i] == '\r' && i + 1 < size && in[i + 1] == '\n') {
                continue; // CR LF is one line break
            }
            out[n++] = in[i];
        }
        text.resize(n);
        return text;
    }
    std::size_t i = 0;
    if (size >= 2 && in[0] == 0xFF && in[1] == 0xFE) {
        i = 2;
    }
    text.resize((size - i) / 2);
    char16_t* out = text.data();
    // A last odd byte is not a character and is dropped.
    for (; i + 1 < size; i += 2) {
        const auto c = static_cast<char16_t>(in[i] | (in[i + 1] << 8));
        if (c == u'\n' && n > 0 && out[n - 1] == u'\r') {
            out[n - 1] = u'\n';
            continue;
        }
        out[n++] = c;
    }
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
void encodeInto(std::string& bytes, std::u16string_view text, TextEncoding encoding) {
    // Sized exactly first, then written through a pointer (see decodeText).
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
    bytes.resize(old + unit * (count + breaks));
    char* out = bytes.data() + old;
    if (encoding == TextEncoding::Bytes8) {
        for (std::size_t i = 0; i < count; ++i) {
            if (text[i] == u'\n') {
                *out++ = '\r';
            }
            *out++ = static_cast<char>(text[i]);
        }
        return;
    }
    for (const char16_t c : text) {
        if (c == u'\n') {
            *out++ = '\r';
            *out++ = '\0';
        }
        *out++ = static_cast<char>(c & 0xFF);
        *out++ = static_cast<char>(c >> 8);
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

bool closeTextOutput(TextOutput& output) {
    const bool ok = output.append ? appendToFile(output.path, output.bytes)
                                  : writeWholeFile(output.path, output.bytes);
    output.bytes.clear();
    return ok;
}

} // namespace platform
