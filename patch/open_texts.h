// The files a campaign run's scripts read and change, held in memory for the whole run:
// the first block that needs a file reads it once, every later read (a destination, a
// source, a script descriptor) sees the run's changes, and each changed file is written
// once, through the safe write, when the scripts are done. A crash before then leaves every
// file as the campaign left it; the end replaces each changed file in one step.
//
// Held text is kept within a memory bound (OpenTexts::memoryBound): past it, the texts used
// longest ago make room. An unchanged one is dropped and read again when needed; a changed
// one is written whole to a temporary file beside its game file (the first half of the safe
// write), which takes the game file's place at the end, or is read back when a later block
// changes the file again.
//
// One file may be spelled in several ways (on Windows "data\Text\x.txt" and
// "data\text\x.txt"): every file is known by the platform's form of its name, so that every
// spelling finds the one text. Two names of one file (hard links) are two files here, as
// they are to each block written to disk in turn: the safe write gives the changed name a
// file of its own and leaves the other as it was.
//
// The original of a game file a script changes is kept when its new version is written:
// the game file itself moves into the backup tree right before the new version takes its
// place (or is copied there when it has other names: a kept copy is never a second name of
// a live file). A crash between the two steps leaves the original safe in the tree, for
// the next campaign run to restore; a file that ends up unchanged is never kept.
#pragma once

#include "patch/piece_text.h"
#include "platform/error_sink.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class FileMode : int;

// What the last change of a file was, for the message its failed write shows at the end.
enum class ChangeKind { rewrite, appendAtEnd, overwrite };
struct TextChange {
    std::u16string script;      // the script's file name
    std::u16string destination; // the path as the block wrote it
    ChangeKind kind = ChangeKind::rewrite;
};

struct OpenText {
    std::u16string readPath;  // where the unchanged file is read from
    std::u16string writePath; // the spelling of the first change: the file is written so
    bool loaded = false;      // the content is in memory (bytes, text or both)
    std::optional<std::string> bytes; // the content as on disk
    std::optional<PieceText> text;    // cut for blocks; the content itself when `bytes` is empty
    bool pristine = false;    // the text's first buffer still is the whole content
    bool changed = false;
    std::u16string spill;     // a temporary file beside the game file holding the content
    bool spillCurrent = false; // the spill holds the current content
    TextChange change;
    std::size_t changeOrder = 0;
    std::uint64_t lastUse = 0;
    // Below data\ ("text\names.txt"): where the original is kept when the file is written;
    // empty when nothing is to be kept.
    std::u16string keepAs;
    // Which scripts of a check used the file and changed it (OpenTexts::user bits).
    std::uint64_t usedBy = 0, changedBy = 0;
};

struct OpenTexts {
    std::size_t memoryBound = std::size_t{256} << 20; // bytes of content held
    // False for a check: the run's work is done on the texts alone, nothing is ever written
    // (no folder, no temporary file; the end only forgets), and every text stays in memory.
    bool writes = true;
    // Where a game file is read from instead (by the platform's form of its name): a check's
    // picture of the game folder as a campaign's switch would leave it.
    std::map<std::u16string, std::u16string> readInstead;
    // For a check: the bit of the script at work, noted in each file it uses and changes, so
    // that the check can tell which scripts met others' files (0: none noted).
    std::uint64_t user = 0;
    std::deque<OpenText> files; // never moved: entries are referred to while others come
    std::map<std::u16string, std::size_t> bySpelling;
    std::map<std::u16string, std::size_t> byNameKey;
    std::uint64_t uses = 0;
    std::size_t changes = 0;
    std::string scratch; // one buffer for the content of texts being written
};

// The file mode of the file as the run has it (FileMode::missing when it cannot be read).
FileMode openTextMode(OpenTexts& texts, std::u16string_view path);

// The file's text in the given encoding, cut for blocks to search, or null when it cannot
// be read. Valid until the next call on `texts`.
PieceText* openText(OpenTexts& texts, std::u16string_view path, platform::TextEncoding encoding);

// The file read as text in the given encoding; false when it cannot be read.
bool readText(OpenTexts& texts, std::u16string_view path, platform::TextEncoding encoding,
              std::u16string& text);

// The file's bytes as the run has them; false when it cannot be read.
bool openBytes(OpenTexts& texts, std::u16string_view path, std::string& bytes);

// True when the file exists as the run has it.
bool openTextExists(OpenTexts& texts, std::u16string_view path);


// The file's text in the given encoding, to be changed in place: from now on this text is
// the file's content. Null when the file cannot be read. Valid until the next call.
PieceText* changeText(OpenTexts& texts, std::u16string_view path, platform::TextEncoding encoding,
                      const TextChange& change);

// The file's content is now `bytes` (the file is made when missing).
void replaceBytes(OpenTexts& texts, std::u16string_view path, std::string bytes,
                  const TextChange& change);

// Appends text, written in the given encoding, at the end of the file's content. False
// when the file cannot be read.
bool appendText(OpenTexts& texts, std::u16string_view path, platform::TextEncoding encoding,
                std::u16string_view appended, const TextChange& change);

// Before the first change of a game file (`relative` below data\, "text\names.txt"): its
// original is to be kept in the backup tree when its new version is written. True when the
// original is safe so: to be kept, or none to keep (a file the run makes, or one it changed
// already, whose original was dealt with then); false when the file cannot be read.
bool keepOriginalOnWrite(OpenTexts& texts, std::u16string_view path, std::u16string_view relative);

// Instead of writing them: the files the run changed (as first spelled) with their content
// now, in the order of their first changes. The store is empty afterwards.
std::vector<std::pair<std::u16string, std::string>> takeChangedTexts(OpenTexts& texts);

// Writes every changed file through the safe write, in the order of their first changes,
// keeping each original noted by keepOriginalOnWrite right before its new version takes its
// place, and reports each failed write as the block that made the last change would have (a
// file whose original could not be kept is not written). The store is empty afterwards.
void writeOpenTexts(OpenTexts& texts, const ErrorSink& errors);
