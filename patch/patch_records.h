// The records of the patch engine: one selected script (ScriptJob), one patch block
// (PatchBlock), the per-run list of game files already backed up (TouchedFileList), and
// what every patch operation needs from its caller (PatchContext).
#pragma once

#include "platform/error_sink.h"
#include "platform/text_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ScriptJob {
    std::u16string baseName;       // descriptor file name up to its first "."
    std::u16string descriptorPath; // "data\campaign\sub\" + file name
    std::u16string fileName;       // descriptor file name with extension
};

enum class PatchMode : std::int16_t { replace = 0, overwrite = 1, append = 2, translate = 3 };
enum class WhenCondition : std::int16_t { before = 0, after = 1, none = 2, from = 3, on = 4 };

struct PatchBlock {
    ScriptJob job;
    PatchMode mode = PatchMode::append;
    std::u16string destination;           // a game path such as data\text\names.txt
    std::optional<std::u16string> source; // none when the head line has no with-word
    bool inlineText = false;              // source is inline text (see inlineBytes)
    // The inline text as a file of it would hold it (in the destination's encoding); when
    // absent, an inline source is a temporary file that the block deletes.
    std::optional<std::string> inlineBytes;
    WhenCondition condition = WhenCondition::none;
    std::vector<std::u16string> anchorLines; // each ends with a line break; at most 30
    std::vector<std::u16string> toLines;     // the to-text of a `from` block
};

// Destinations already backed up in this campaign run, exactly as the scripts wrote them
// (compared case-sensitively). No fixed limit: every destination is tracked.
struct TouchedFileList {
    std::vector<std::u16string> names;
};

TouchedFileList createTouchedFileList();
bool isFileTouched(const TouchedFileList& list, std::u16string_view path);
void addTouchedFile(TouchedFileList& list, std::u16string_view path);

struct OpenTexts;

// What the patch engine and the translation merge need from the run that calls them.
struct PatchContext {
    ErrorSink errors;
    TouchedFileList* touchedFiles = nullptr; // the campaign run's list
    // The files the run's scripts work on (open_texts.h); without it each script (or
    // block, when called alone) holds its own and writes them when it is done.
    OpenTexts* texts = nullptr;
    // Told the line (from 1) of each block's head in the script before the block is read,
    // for whoever names the block of each message.
    std::function<void(long line)> atBlock = {};
};

// Text shown when a temporary file cannot be made or written.
inline constexpr std::u16string_view temporaryFileMessage =
    u"Error while trying to create a temporary file.\nOperation aborted.";

// File mode: 0 the file cannot be opened, 1 UTF-16 little-endian with byte-order mark
// (first bytes FF FE), 2 any other file, handled as 8-bit text (also an empty file).
enum class FileMode : int { missing = 0, utf16 = 1, bytes8 = 2 };
FileMode detectFileMode(std::u16string_view path);
// The mode of a file that begins with these bytes.
FileMode fileModeOf(std::string_view start);

// The encoding a text file of that mode is read and written in (a missing file reads as
// 8-bit text).
inline platform::TextEncoding encodingOf(FileMode mode) {
    return mode == FileMode::utf16 ? platform::TextEncoding::Utf16 : platform::TextEncoding::Bytes8;
}
