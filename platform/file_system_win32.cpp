// Win32 implementation of the file layer (the W functions). Replace, rename and delete
// retry for a moment when another program (an antivirus, an indexer) holds the file.
// Every path reaches the API through apiPath, so paths of any length work.
#include "platform/file_operation.h"
#include "platform/long_path.h"
#include "platform/unicode.h"

#include <atomic>
#include <unordered_map>
#include <windows.h>
#include <winternl.h>

// The calls beneath FindFirstFileExW and GetFileAttributesExW, for the change time those do
// not pass on. Both have been in ntdll since Windows NT 4.
extern "C" {
NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                    PVOID apcContext, PIO_STATUS_BLOCK status, PVOID information,
                                    ULONG length, FILE_INFORMATION_CLASS informationClass,
                                    BOOLEAN singleEntry, PUNICODE_STRING fileName,
                                    BOOLEAN restartScan);
NTSTATUS NTAPI NtQueryFullAttributesFile(POBJECT_ATTRIBUTES object,
                                         PFILE_NETWORK_OPEN_INFORMATION information);
}

namespace platform {
namespace {

constexpr NTSTATUS statusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS statusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);

std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

// The path as the API gets it: long ones in the "\\?\" form (see long_path.h).
std::wstring apiPath(std::u16string_view path) {
    return wide(longPathForm(path, currentDirectory()));
}

std::int64_t fileTimeOf(const FILETIME& time) {
    return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) |
                                     time.dwLowDateTime);
}

bool isLockError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

template <typename Operation> bool retryWhileLocked(Operation operation) {
    constexpr int attempts = 5;
    for (int i = 0;; ++i) {
        if (operation()) {
            return true;
        }
        if (i + 1 >= attempts || !isLockError(GetLastError())) {
            return false;
        }
        Sleep(100);
    }
}

bool writeHandle(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool readStart(std::u16string_view path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    HANDLE file =
        CreateFileW(apiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The size the file has now is read straight into the string, without a copy in
    // between; a file that grew meanwhile is read on through a buffer.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        bytes.resize(std::min<std::size_t>(limit, static_cast<std::size_t>(size.QuadPart)));
    }
    bool ok = true;
    bool atEnd = false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) {
            atEnd = true; // the file got shorter
            break;
        }
        done += got;
    }
    if (done < bytes.size()) {
        bytes.resize(done);
    }
    char buffer[1 << 16];
    while (ok && !atEnd && bytes.size() < limit) {
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, limit - bytes.size()));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

bool writeFile(std::u16string_view path, std::string_view bytes, bool append) {
    HANDLE file = CreateFileW(apiPath(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = writeHandle(file, bytes);
    const bool closed = CloseHandle(file) != 0;
    return written && closed;
}

} // namespace

bool copyFile(std::u16string_view from, std::u16string_view to, bool failIfExists) {
    if (!detail::beginOperation()) {
        return false;
    }
    return CopyFileW(apiPath(from).c_str(), apiPath(to).c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool renameFile(std::u16string_view from, std::u16string_view to) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::wstring a = apiPath(from), b = apiPath(to);
    const bool moved = retryWhileLocked([&] { return MoveFileW(a.c_str(), b.c_str()) != 0; });
    // Two names of one file: under Wine the move succeeds and changes nothing, although
    // the destination exists.
    if (moved && !equalsIgnoringCase(from, to) &&
        GetFileAttributesW(a.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if (moved) {
        detail::noteTemporaryGone(from);
    }
    return moved;
}

bool linkFile(std::u16string_view from, std::u16string_view to) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::wstring a = apiPath(from), b = apiPath(to);
    return CreateHardLinkW(b.c_str(), a.c_str(), nullptr) != 0;
}

bool replaceFile(std::u16string_view replacement, std::u16string_view target) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::wstring a = apiPath(replacement), b = apiPath(target);
    const bool moved = retryWhileLocked([&] {
        return MoveFileExW(a.c_str(), b.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    // Two names of one file (a kept copy made as a link): under Wine the move succeeds and
    // leaves both, so the replacement's name goes instead.
    const bool gone =
        moved && (GetFileAttributesW(a.c_str()) == INVALID_FILE_ATTRIBUTES ||
                  retryWhileLocked([&] { return DeleteFileW(a.c_str()) != 0; }));
    if (gone) {
        detail::noteTemporaryGone(replacement);
    }
    return gone;
}

bool deleteFile(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::wstring p = apiPath(path);
    const bool deleted = retryWhileLocked([&] { return DeleteFileW(p.c_str()) != 0; });
    if (deleted) {
        detail::noteTemporaryGone(path);
    }
    return deleted;
}

bool createFolder(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    return CreateDirectoryW(apiPath(path).c_str(), nullptr) != 0;
}

bool removeFolder(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    return RemoveDirectoryW(apiPath(path).c_str()) != 0;
}

namespace {

FolderEntry entryOf(std::u16string name, DWORD attributes, DWORD reparseTag, std::int64_t size,
                    std::int64_t lastWrite, std::int64_t changeTime) {
    FolderEntry entry;
    entry.name = std::move(name);
    entry.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = detail::isLinkEntry(attributes, reparseTag);
    entry.size = entry.isFolder ? 0 : static_cast<std::uint64_t>(size);
    entry.lastWrite = lastWrite;
    entry.changeTime = changeTime;
    return entry;
}

// Appends to `entries`, which the callers hand over empty. The folder is read through a
// handle of its own, as FindFirstFileExW reads it, for what that does not pass on: the
// change time (and the reparse tag, which it does).
bool listEntries(std::u16string_view pattern, std::vector<FolderEntry>& entries) {
    std::u16string folder, namePattern;
    detail::splitPattern(pattern, folder, namePattern);
    HANDLE handle = CreateFileW(apiPath(folder).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The system matches the pattern first, so that only the names it may match are looked
    // at (under Wine, each of them with a call of its own). It also matches 8.3 short names
    // ("*.txt" would list "notes.txtx", short name NOTES~1.TXT, on some drives): the long
    // names are matched again.
    std::wstring mask = wide(namePattern);
    UNICODE_STRING maskString{};
    maskString.Buffer = mask.data();
    maskString.Length = maskString.MaximumLength =
        static_cast<USHORT>(std::min<std::size_t>(mask.size() * sizeof(wchar_t), 0xFFFE));
    const bool everything = namePattern == u"*" || namePattern == u"*.*";
    std::vector<LONGLONG> buffer(8192); // 64 KB, aligned for the records
    bool listed = true;
    for (bool first = true;; first = false) {
        IO_STATUS_BLOCK status{};
        const NTSTATUS result = NtQueryDirectoryFile(
            handle, nullptr, nullptr, nullptr, &status, buffer.data(),
            static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)), FileFullDirectoryInformation,
            FALSE, first && !everything ? &maskString : nullptr, first);
        if (result == statusNoMoreFiles || result == statusNoSuchFile) {
            break;
        }
        if (result < 0) {
            listed = false;
            break;
        }
        const char* at = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* record = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            const std::u16string name(reinterpret_cast<const char16_t*>(record->FileName),
                                      record->FileNameLength / sizeof(wchar_t));
            if (name != u"." && name != u".." && detail::wildcardMatches(namePattern, name)) {
                // For a reparse point the record's EA size holds its tag.
                entries.push_back(entryOf(
                    name, record->FileAttributes, record->EaSize, record->EndOfFile.QuadPart,
                    record->LastWriteTime.QuadPart, record->ChangeTime.QuadPart));
            }
            if (record->NextEntryOffset == 0) {
                break;
            }
            at += record->NextEntryOffset;
        }
    }
    CloseHandle(handle);
    if (!listed) {
        entries.clear(); // a listing cut off is no listing
        return false;
    }
    detail::sortEntries(entries);
    return true;
}

// What GetFileAttributesExW tells of a path, and the change time besides: the same one call
// underneath, with no handle opened. False with the system's error code in `error`.
bool fullAttributes(std::u16string_view path, FILE_NETWORK_OPEN_INFORMATION& information,
                    DWORD& error) {
    UNICODE_STRING ntPath{};
    if (!RtlDosPathNameToNtPathName_U(apiPath(path).c_str(), &ntPath, nullptr, nullptr)) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    OBJECT_ATTRIBUTES object{};
    InitializeObjectAttributes(&object, &ntPath, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    const NTSTATUS result = NtQueryFullAttributesFile(&object, &information);
    RtlFreeUnicodeString(&ntPath);
    error = result < 0 ? RtlNtStatusToDosError(result) : ERROR_SUCCESS;
    return result >= 0;
}

} // namespace

bool listFolder(std::u16string_view pattern, std::vector<FolderEntry>& entries) {
    entries.clear();
    return detail::beginOperation() && listEntries(pattern, entries);
}

bool findInFolder(std::u16string_view folder, const std::vector<std::u16string_view>& names,
                  std::vector<std::optional<FolderEntry>>& entries) {
    entries.assign(names.size(), std::nullopt);
    if (!detail::beginOperation()) {
        return false;
    }
    // Each name looked at on its own: under Wine listing a folder costs trips through its
    // server (about a quarter of a millisecond), a name's attributes a few microseconds. A
    // name that is not there, or not spelled so, makes Wine read the whole folder, though:
    // after a few of those one listing answers for the rest.
    constexpr int missesBeforeListing = 8;
    const std::u16string prefix = std::u16string(folder) + u'\\';
    int misses = 0;
    std::size_t i = 0;
    for (; i < names.size() && misses < missesBeforeListing; ++i) {
        const std::u16string name(names[i]);
        FILE_NETWORK_OPEN_INFORMATION data{};
        DWORD error = ERROR_SUCCESS;
        if (fullAttributes(prefix + name, data, error)) {
            FolderEntry entry = entryOf(name, data.FileAttributes, 0, data.EndOfFile.QuadPart,
                                        data.LastWriteTime.QuadPart, data.ChangeTime.QuadPart);
            // Only a listing tells a reparse point's kind: one of this name (seldom needed).
            // Not found so, the entry stays a link.
            std::vector<FolderEntry> listed;
            if (entry.isLink && listEntries(prefix + name, listed) && listed.size() == 1) {
                entry.isLink = listed[0].isLink;
            }
            entries[i] = std::move(entry);
        } else if (error == ERROR_PATH_NOT_FOUND) {
            entries.assign(names.size(), std::nullopt);
            return false; // no such folder
        } else {
            ++misses;
        }
    }
    if (i == names.size()) {
        return true;
    }
    std::vector<FolderEntry> listed;
    if (!listEntries(prefix + u"*", listed)) {
        entries.assign(names.size(), std::nullopt);
        return false;
    }
    std::unordered_map<std::u16string, std::size_t> byKey;
    byKey.reserve(listed.size());
    for (std::size_t j = 0; j < listed.size(); ++j) {
        byKey.emplace(fileNameKey(prefix + listed[j].name), j);
    }
    for (; i < names.size(); ++i) {
        const auto found = byKey.find(fileNameKey(prefix + std::u16string(names[i])));
        if (found != byKey.end()) {
            entries[i] = listed[found->second];
            entries[i]->name = std::u16string(names[i]);
        }
    }
    return true;
}

bool fileIdentity(std::u16string_view path, FileIdentity& identity, FileInfo* info) {
    if (!detail::beginOperation()) {
        return false;
    }
    HANDLE file = CreateFileW(apiPath(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information) != 0 &&
                       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    if (known) {
        identity = {information.dwVolumeSerialNumber,
                    (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
        if (info != nullptr) {
            info->isFolder = false;
            info->size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
            info->lastWrite = fileTimeOf(information.ftLastWriteTime);
            info->names = information.nNumberOfLinks;
        }
    }
    return known;
}

bool fileInfo(std::u16string_view path, FileInfo& info) {
    if (!detail::beginOperation()) {
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(apiPath(path).c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    info.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.size = info.isFolder ? 0 : (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    info.lastWrite = fileTimeOf(data.ftLastWriteTime);
    return true;
}

bool setLastWriteTime(std::u16string_view path, std::int64_t lastWrite) {
    if (!detail::beginOperation()) {
        return false;
    }
    HANDLE file = CreateFileW(apiPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(lastWrite) & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(lastWrite) >> 32);
    const bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return set;
}

std::int64_t currentFileTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return fileTimeOf(now);
}

namespace {

bool longPathOf(const std::wstring& path, std::wstring& longPath) {
    DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) {
        return false;
    }
    longPath.assign(length, L'\0');
    length = GetLongPathNameW(path.c_str(), longPath.data(), length);
    if (length == 0 || length >= longPath.size()) {
        return false;
    }
    longPath.resize(length);
    return true;
}

// Short (8.3) names spelled out, so that "DATA\TEXT~1\X.TXT" and "data\text\x.txt" give one
// key: the long form of the path where it exists, else of its folder. Only a path with a
// "~" can hold a short name.
std::wstring withLongNames(const std::wstring& full) {
    std::wstring longPath;
    if (full.find(L'~') == std::wstring::npos || longPathOf(full, longPath)) {
        return longPath.empty() ? full : longPath;
    }
    const std::size_t slash = full.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 0 && longPathOf(full.substr(0, slash), longPath)) {
        return longPath + full.substr(slash);
    }
    return full;
}

} // namespace

std::u16string fileNameKey(std::u16string_view path) {
    // The full path as Windows forms it (".", trailing dots and blanks, short names spelled
    // out), case folded.
    const std::wstring given = wide(path);
    std::wstring full(given.size() + MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                    nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                  nullptr);
    }
    std::u16string key;
    if (length == 0 || length >= full.size()) {
        key = std::u16string(path);
    } else {
        full.resize(length);
        const std::wstring spelledOut = withLongNames(full);
        key.assign(spelledOut.begin(), spelledOut.end());
    }
    for (char16_t& c : key) {
        c = upperCase(c);
    }
    return key;
}

bool pathExists(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    return GetFileAttributesW(apiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool pathMissing(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::wstring p = apiPath(path);
    DWORD error = ERROR_SUCCESS;
    retryWhileLocked([&] {
        const bool looked = GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
        error = looked ? ERROR_SUCCESS : GetLastError();
        return looked;
    });
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool folderExists(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(apiPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool readWholeFile(std::u16string_view path, std::string& bytes) {
    if (!detail::beginOperation()) {
        return false;
    }
    return readStart(path, SIZE_MAX, bytes);
}

bool readFileStart(std::u16string_view path, std::size_t count, std::string& bytes) {
    if (!detail::beginOperation()) {
        return false;
    }
    return readStart(path, count, bytes);
}

bool writeWholeFile(std::u16string_view path, std::string_view bytes) {
    if (!detail::beginOperation()) {
        return false;
    }
    return writeFile(path, bytes, false);
}

bool appendToFile(std::u16string_view path, std::string_view bytes) {
    if (!detail::beginOperation()) {
        return false;
    }
    return writeFile(path, bytes, true);
}

std::u16string currentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(needed + 1, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed + 1, buffer.data());
    buffer.resize(length);
    return std::u16string(buffer.begin(), buffer.end());
}

// Given as it is: SetCurrentDirectoryW takes no "\\?\" form, and folders of MAX_PATH - 2
// characters or more only where the system and the manifest allow long paths. The
// program never changes its directory (it starts in the game folder); tests and the
// command-line runner do.
bool setCurrentDirectory(std::u16string_view path) {
    return SetCurrentDirectoryW(wide(path).c_str()) != 0;
}

bool makeTemporaryFile(std::u16string_view folder, std::u16string& path) {
    if (!detail::beginOperation()) {
        return false;
    }
    // Numbers start at a value of this process and moment, so that two programs working in
    // one folder seldom meet; a name that exists already is passed over.
    static std::atomic<unsigned> next = (GetCurrentProcessId() << 12) ^ GetTickCount();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::u16string candidate = std::u16string(folder) + u"\\" +
                                         temporaryFileName(next.fetch_add(1) & 0xFFFFFF);
        HANDLE file = CreateFileW(apiPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            path = candidate;
            detail::noteTemporaryMade(path);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

} // namespace platform
