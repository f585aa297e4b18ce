// Text files, read and written the same way on Windows and Linux (no C runtime text mode,
// no locale). Files are read whole into memory and written whole on close: game text files
// are a few megabytes, and writing on close lets every write be checked in one place.
//
// Two encodings:
//  - 8-bit: each byte is one character 0-255; no byte-order mark handling;
//  - UTF-16 little-endian: reading skips a leading byte-order mark, a new file starts with
//    one, appending to a file that has one adds none.
// In both, a CR LF pair on disk is one line break (u'\n') in memory and a line break is
// written as CR LF.
#pragma once

#include "platform/safe_write.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class TextEncoding { Bytes8, Utf16 };

// A text file opened for reading: its decoded characters and a reading position.
struct TextInput {
    std::u16string text;
    std::size_t position = 0;
};

bool openTextInput(std::u16string_view path, TextEncoding encoding, TextInput& input);

// Decodes bytes as the file layer would deliver them (used by tests and fuzzers too).
std::u16string decodeText(std::string_view bytes, TextEncoding encoding);

// Where c next stands in text, from `from` (at most text.size()) on, or text.size(). Made
// for long texts: several characters are compared at a time.
std::size_t findChar(std::u16string_view text, std::size_t from, char16_t c);

// One character, or -1 at the end of the file.
int readChar(TextInput& input);
// Pushes back the character just read (one character of push-back).
void unreadChar(TextInput& input);
void rewindInput(TextInput& input);
bool atEnd(const TextInput& input);

// Reads the next piece of a line: up to and including the next line break, but at most
// maxChars characters. False (and an empty piece) at the end of the file.
bool readLinePiece(TextInput& input, std::size_t maxChars, std::u16string& piece);

// A text file being written. Nothing reaches the disk before closeTextOutput.
struct TextOutput {
    std::u16string path;
    TextEncoding encoding = TextEncoding::Bytes8;
    bool append = false;
    std::string bytes; // encoded content waiting to be written
};

// A new file (replacing an existing one on close); UTF-16 starts with a byte-order mark.
TextOutput createTextOutput(std::u16string_view path, TextEncoding encoding);
// Appends to a file; UTF-16 adds a byte-order mark only when the file is missing or empty.
TextOutput appendTextOutput(std::u16string_view path, TextEncoding encoding);

// Writes text; each u'\n' becomes CR LF. In an 8-bit file a character above 255 cannot be
// stored: it ends this write (the rest of the text is not written).
void writeText(TextOutput& output, std::u16string_view text);
void writeChar(TextOutput& output, char16_t c);
// Makes room for about this many more characters (a line break counts as two), so that a
// writer that knows roughly how much it will write has the buffer grow once, not by halves.
// Writes nothing; more than that can still be written.
void reserveText(TextOutput& output, std::size_t characters);

// Writes the file; false when any write or the close failed.
bool closeTextOutput(TextOutput& output);

// Puts what was written in the place of output.path through the safe write: the old file
// stays whole unless the new one is complete.
SafeWriteResult writeTextOutputSafely(TextOutput& output);

// Encodes text as writeText would, without a byte-order mark.
std::string encodeText(std::u16string_view text, TextEncoding encoding);

} // namespace platform
