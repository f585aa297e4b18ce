// Shared by the unit tests: scratch game folders, small file helpers, the error recorder.
#pragma once

#include "platform/error_sink.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A fresh, empty folder that is the current directory while the object lives (the core
// works relative to it, as the program does in the game folder); removed afterwards unless
// the test failed. Resets fault injection on entry and exit.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::u16string& path() const { return path_; }

  private:
    std::u16string previous_;
    std::u16string path_;
};

// Creates every folder of a game path such as "data\campaign\backup".
void makeFolders(std::u16string_view path);
// Writes bytes to a file, creating its folders.
void writeFile(std::u16string_view path, std::string_view bytes);
// The file's bytes; "<missing>" when it cannot be read.
std::string readFile(std::u16string_view path);
bool exists(std::u16string_view path);
// Removes a file or a folder with everything in it (links are removed, not followed).
void removeTree(std::u16string_view path);
// Copies a folder tree (links are skipped).
void copyTree(std::u16string_view from, std::u16string_view to);

// Everything below a folder: relative path ("\" separators) -> bytes; a folder is listed as
// "name\" -> "" and a link as "<link>". Our own temporary files are left out.
using Snapshot = std::map<std::u16string, std::string>;
Snapshot snapshot(std::u16string_view folder = u".");
// What differs between two snapshots, one path a line; empty when they are equal.
std::string describe(const Snapshot& actual, const Snapshot& expected);
// How many of our temporary files are left anywhere below the current directory.
std::size_t temporaryFilesLeft();
// The kept copies in data\campaign\backup that are second names (hard links) of a file
// elsewhere in data\ or of one of `others`, one line each ("  <kept> is <file>"); empty
// when there is none.
std::string keptSecondNames(const std::vector<std::u16string>& others = {});

// The repository's folder as a path the file layer understands (under Wine: "Z:\...").
std::u16string sourceDirectory();
// Copies the repository's sample game folder (sample/game) into the current directory.
void copySampleGame();

// Collects the texts shown through its sink.
struct ErrorRecorder {
    std::vector<std::u16string> texts;
    ErrorSink sink() {
        return ErrorSink{[this](const std::u16string& text) { texts.push_back(text); }};
    }
};

std::string utf8(std::u16string_view text);

} // namespace testing_support
