#include "platform/text_file.h"

#include "platform/file_system.h"

namespace platform {

std::u16string decodeText(std::string_view bytes, TextEncoding encoding) {
    std::u16string text;
    if (encoding == TextEncoding::Bytes8) {
        text.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                continue; // CR LF is one line break
            }
            text += static_cast<char16_t>(c);
        }
        return text;
    }
    std::size_t i = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        i = 2;
    }
    text.reserve(bytes.size() / 2);
    // A last odd byte is not a character and is dropped.
    for (; i + 1 < bytes.size(); i += 2) {
        const auto c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (c == u'\n' && !text.empty() && text.back() == u'\r') {
            text.back() = u'\n';
            continue;
        }
        text += c;
    }
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

void rewindInput(TextInput& input) { input.position = 0; }

bool atEnd(const TextInput& input) { return input.position >= input.text.size(); }

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
    if (encoding == TextEncoding::Bytes8) {
        bytes.reserve(bytes.size() + text.size() + text.size() / 16);
        for (const char16_t c : text) {
            if (c > 255) {
                return; // cannot be stored in an 8-bit file: the write ends here
            }
            if (c == u'\n') {
                bytes += '\r';
            }
            bytes += static_cast<char>(c);
        }
        return;
    }
    bytes.reserve(bytes.size() + 2 * text.size() + text.size() / 8);
    for (const char16_t c : text) {
        if (c == u'\n') {
            bytes += '\r';
            bytes += '\0';
        }
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
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
