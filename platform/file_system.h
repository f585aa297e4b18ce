// The one thin layer through which the portable core reaches files and folders.
//
// Paths are game paths: relative to the current directory (the game folder), "\" as the
// separator, UTF-16 in memory. The Win32 implementation hands them to the W functions as
// they are; the POSIX implementation (native tests only) maps "\" to "/" and UTF-16 to UTF-8.
//
// Every operation below counts as one file operation for fault injection (see the end of
// this header): tests can make any single one fail, or stop all work after one of them as
// a crash would, and prove that no fault loses a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Last-write times count 100-nanosecond steps since 1 January 1601 (UTC), as Windows does.
inline constexpr std::int64_t fileTimeSecond = 10'000'000;

struct FolderEntry {
    std::u16string name; // the entry's own name, no folder part
    bool isFolder = false;
    bool isLink = false;        // a symbolic link or junction (never descended into)
    std::uint64_t size = 0;     // bytes, for a file
    std::int64_t lastWrite = 0; // last-write time, for a file
    // For a file: when it last changed in any way, its content or its times (a new file:
    // when it was made), in last-write time steps (POSIX st_ctime, Windows' ChangeTime).
    // Setting the other times moves it to the present: a tool that gives files the times of
    // an archive or of another copy leaves it telling when it did so.
    std::int64_t changeTime = 0;
};

// What a listing tells of one file or folder.
struct FileInfo {
    bool isFolder = false;
    std::uint64_t size = 0;
    std::int64_t lastWrite = 0;
    std::uint32_t names = 1; // the file's names (hard links); told by fileIdentity only
};
// False when nothing of that name can be looked at.
bool fileInfo(std::u16string_view path, FileInfo& info);

// Sets the last-write time of a file.
bool setLastWriteTime(std::u16string_view path, std::int64_t lastWrite);

// The time now, in last-write time steps. No file operation.
std::int64_t currentFileTime();

// Copies a file; the copy keeps the source's last-write time (as Windows copies do). With
// failIfExists an existing target makes the copy fail.
bool copyFile(std::u16string_view from, std::u16string_view to, bool failIfExists);

// Renames (moves) a file or folder; fails when the destination exists.
bool renameFile(std::u16string_view from, std::u16string_view to);

// Gives the file `from` a second name `to` (a hard link: one content, two names, no bytes
// written); fails when `to` exists or the file system has no links.
bool linkFile(std::u16string_view from, std::u16string_view to);

// Puts the file `replacement` in the place of `target` in one step: afterwards `target`
// has the replacement's content and `replacement` is gone. A missing target is fine.
// On failure both files are as they were.
bool replaceFile(std::u16string_view replacement, std::u16string_view target);

bool deleteFile(std::u16string_view path);

// Creates one folder (not its parents); fails when it exists.
bool createFolder(std::u16string_view path);

// Removes an empty folder.
bool removeFolder(std::u16string_view path);

// Lists the entries matching a pattern such as "data\campaign\*" or "data\text\*.txt",
// with Windows wildcard rules ("*" and "*.*" match every name; letters compare without
// regard to case). "." and ".." are never listed. The names come sorted the NTFS way
// (ordinal comparison of the upper-cased names) on every file system, so the order never
// depends on the drive. Returns false when the folder cannot be listed.
bool listFolder(std::u16string_view pattern, std::vector<FolderEntry>& entries);

// What a listing of `folder` ("data\\text") would tell of each of `names`, matched as the
// system matches names there (on Windows without regard to case): entries[i] for names[i]
// (named as asked), empty when the folder holds no such entry. One operation, for many
// names of one folder. False when the folder cannot be read.
bool findInFolder(std::u16string_view folder, const std::vector<std::u16string_view>& names,
                  std::vector<std::optional<FolderEntry>>& entries);

// Which file a path names, whatever its spelling: the same for every path of one file (on
// Windows "data\Text\x.txt" and "data\text\x.txt", or a short name), different for
// different files. False when the path names no file that can be opened (a folder, nothing).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
// With `info`, also what a listing would tell of the file.
bool fileIdentity(std::u16string_view path, FileIdentity& identity, FileInfo* info = nullptr);

// A form of a path that is equal for every spelling the system takes as one name: on
// Windows the full path with case folded (and trailing dots and blanks dropped as Windows
// drops them), elsewhere the path itself. For files that do not exist yet; an existing
// file is better known by its identity. No file operation.
std::u16string fileNameKey(std::u16string_view path);

// True when a file or folder of that name exists.
bool pathExists(std::u16string_view path);
bool folderExists(std::u16string_view path);
// True only when the system says for sure that nothing of that name is there: a look that
// fails for another reason (a scanner holding the folder a moment, a failed operation)
// never passes for "not there". Lock errors are retried.
bool pathMissing(std::u16string_view path);

// Whole-file reading; false when the file cannot be opened or read.
bool readWholeFile(std::u16string_view path, std::string& bytes);
// Reads at most `count` bytes from the start of the file.
bool readFileStart(std::u16string_view path, std::size_t count, std::string& bytes);

// Creates or truncates the file and writes the bytes; every write and the close are
// checked. False when any of them failed (the file may then be cut off: callers that
// replace game files write a temporary file and replace the old one only on success).
bool writeWholeFile(std::u16string_view path, std::string_view bytes);

// Appends bytes to a file, creating it when missing.
bool appendToFile(std::u16string_view path, std::string_view bytes);

// Absolute path of the current directory, in the form the platform uses
// (for example "C:\games\dravik" or, natively, "/tmp/game").
std::u16string currentDirectory();
bool setCurrentDirectory(std::u16string_view path);

// Creates a new, empty, uniquely named file in `folder` and gives its path
// ("<folder>\~dravikXXXXXX.tmp", six hex digits). Fails when no such file can be made.
bool makeTemporaryFile(std::u16string_view folder, std::u16string& path);

// The name makeTemporaryFile gives for a number: "~dravik" + six hex digits + ".tmp".
std::u16string temporaryFileName(unsigned number);

// True for the names makeTemporaryFile gives and nothing else: what a crash may leave
// behind of ours.
bool isTemporaryFileName(std::u16string_view name);

// How many of the temporary files made since the last setFaultPlan (or the start of the
// process) are still there by our account: made, and neither deleted nor renamed or placed
// since. A run that ends with one left must leave its unfinished-run marker too, so that
// the next start removes it. No file operation.
std::size_t temporaryFilesLeft();

// ---- Fault injection ------------------------------------------------------------------
// Operations are numbered from 1 since the last setFaultPlan (or the start of the process),
// which also starts a new account of temporary files.
struct FaultPlan {
    long failOperation = 0;  // this operation fails without doing anything (0: none)
    long stopAfter = 0;      // after this operation every later one fails, as after a crash
    bool exitOnStop = false; // end the process at once when the stop point is passed
};
void setFaultPlan(const FaultPlan& plan);
// Number of file operations since the last setFaultPlan.
long fileOperationCount();

} // namespace platform
