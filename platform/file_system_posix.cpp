// POSIX implementation of the file layer, for the native build and its tests. Game paths
// use "\" as the separator; here it becomes "/".
#include "platform/file_operation.h"
#include "platform/unicode.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::string nativePath(std::u16string_view path) {
    std::string out = utf16ToUtf8(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::size_t limit, std::string& bytes) {
    // The size the file has now is read straight into the string, without a copy in
    // between; a file that grew meanwhile is read on through a buffer.
    bytes.clear();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        bytes.resize(std::min<std::size_t>(limit, static_cast<std::size_t>(st.st_size)));
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            bytes.resize(done); // the file got shorter
            return true;
        }
        done += static_cast<std::size_t>(n);
    }
    char buffer[1 << 16];
    while (bytes.size() < limit) {
        const std::size_t want = std::min<std::size_t>(sizeof buffer, limit - bytes.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::int64_t fileTimeOf(const struct timespec& time) {
    constexpr std::int64_t unixEpoch = 11644473600; // seconds from 1601 to 1970
    return (static_cast<std::int64_t>(time.tv_sec) + unixEpoch) * fileTimeSecond +
           time.tv_nsec / 100;
}

struct timespec timespecOf(std::int64_t fileTime) {
    constexpr std::int64_t unixEpoch = 11644473600;
    struct timespec time {};
    std::int64_t seconds = fileTime / fileTimeSecond;
    std::int64_t rest = fileTime % fileTimeSecond;
    if (rest < 0) {
        rest += fileTimeSecond;
        --seconds;
    }
    time.tv_sec = static_cast<time_t>(seconds - unixEpoch);
    time.tv_nsec = static_cast<long>(rest * 100);
    return time;
}

FileInfo infoOf(const struct stat& st) {
    FileInfo info;
    info.isFolder = S_ISDIR(st.st_mode);
    info.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    info.lastWrite = fileTimeOf(st.st_mtim);
    info.names = static_cast<std::uint32_t>(st.st_nlink);
    return info;
}

bool readStart(std::u16string_view path, std::size_t limit, std::string& bytes) {
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const bool ok = readAll(fd, limit, bytes);
    ::close(fd);
    return ok;
}

bool writeFile(const std::string& path, std::string_view bytes, int flags) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

} // namespace

bool copyFile(std::u16string_view from, std::u16string_view to, bool failIfExists) {
    if (!detail::beginOperation()) {
        return false;
    }
    const int source = ::open(nativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return false;
    }
    struct stat st {};
    std::string bytes;
    const bool read = ::fstat(source, &st) == 0 && !S_ISDIR(st.st_mode) &&
                      readAll(source, SIZE_MAX, bytes);
    ::close(source);
    if (!read) {
        return false;
    }
    const int flags = O_CREAT | (failIfExists ? O_EXCL : O_TRUNC);
    const int target = ::open(nativePath(to).c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
    if (target < 0) {
        return false;
    }
    // The copy keeps the source's last-write time, as a Windows copy does.
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    const bool written = writeAll(target, bytes) && ::futimens(target, times) == 0;
    const bool closed = ::close(target) == 0;
    return written && closed;
}

bool renameFile(std::u16string_view from, std::u16string_view to) {
    if (!detail::beginOperation()) {
        return false;
    }
    if (::renameat2(AT_FDCWD, nativePath(from).c_str(), AT_FDCWD, nativePath(to).c_str(),
                    RENAME_NOREPLACE) != 0) {
        return false;
    }
    detail::noteTemporaryGone(from);
    return true;
}

bool linkFile(std::u16string_view from, std::u16string_view to) {
    if (!detail::beginOperation()) {
        return false;
    }
    // Through a symbolic link to its file, as a copy would read it.
    return ::linkat(AT_FDCWD, nativePath(from).c_str(), AT_FDCWD, nativePath(to).c_str(),
                    AT_SYMLINK_FOLLOW) == 0;
}

bool replaceFile(std::u16string_view replacement, std::u16string_view target) {
    if (!detail::beginOperation()) {
        return false;
    }
    const std::string source = nativePath(replacement), destination = nativePath(target);
    struct stat st {}, targetSt {};
    if (::lstat(source.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    // Two names of one file (a kept copy made as a link): rename leaves both, so the
    // replacement's name goes instead.
    const bool sameFile = ::lstat(destination.c_str(), &targetSt) == 0 &&
                          targetSt.st_dev == st.st_dev && targetSt.st_ino == st.st_ino;
    if ((sameFile ? ::unlink(source.c_str()) : ::rename(source.c_str(), destination.c_str())) != 0) {
        return false;
    }
    detail::noteTemporaryGone(replacement);
    return true;
}

bool deleteFile(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    if (::unlink(nativePath(path).c_str()) != 0) {
        return false;
    }
    detail::noteTemporaryGone(path);
    return true;
}

bool createFolder(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    return ::mkdir(nativePath(path).c_str(), 0755) == 0;
}

bool removeFolder(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    return ::rmdir(nativePath(path).c_str()) == 0;
}

namespace {

// What a listing tells of the entry `name` of the open folder `handle`: one name to
// resolve, not a path. False when the entry cannot be looked at.
bool entryAt(int handle, const char* name, FolderEntry& entry) {
    struct stat st {};
    if (::fstatat(handle, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        entry.isLink = true;
        if (::fstatat(handle, name, &st, 0) != 0) {
            st = {};
        }
    }
    const FileInfo info = infoOf(st);
    entry.isFolder = info.isFolder;
    entry.size = info.size;
    entry.lastWrite = info.lastWrite;
    entry.changeTime = fileTimeOf(st.st_ctim);
    return true;
}

} // namespace

bool listFolder(std::u16string_view pattern, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (!detail::beginOperation()) {
        return false;
    }
    std::u16string folder, namePattern;
    detail::splitPattern(pattern, folder, namePattern);
    const int handle = ::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return false;
    }
    // The folder's records are read in blocks straight from the open folder (opendir would
    // look at the folder once more, and a walk lists thousands of folders).
    alignas(dirent64) std::array<char, 32768> block;
    ssize_t length = 0;
    while ((length = ::getdents64(handle, block.data(), block.size())) > 0) {
        for (ssize_t at = 0; at < length;) {
            const auto* d = reinterpret_cast<const dirent64*>(block.data() + at);
            at += d->d_reclen;
            const std::string_view raw = d->d_name;
            if (raw == "." || raw == "..") {
                continue;
            }
            FolderEntry entry;
            entry.name = utf8ToUtf16(raw);
            if (!detail::wildcardMatches(namePattern, entry.name)) {
                continue;
            }
            if (d->d_type == DT_DIR) {
                entry.isFolder = true; // a folder's size and time tell nobody anything
            } else {
                entryAt(handle, d->d_name, entry); // one that vanished is listed as empty
            }
            entries.push_back(std::move(entry));
        }
    }
    ::close(handle);
    if (length < 0) {
        entries.clear(); // a listing cut off is no listing
        return false;
    }
    detail::sortEntries(entries);
    return true;
}

bool findInFolder(std::u16string_view folder, const std::vector<std::u16string_view>& names,
                  std::vector<std::optional<FolderEntry>>& entries) {
    entries.assign(names.size(), std::nullopt);
    if (!detail::beginOperation()) {
        return false;
    }
    const int handle = ::open(nativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = utf16ToUtf8(names[i]);
        FolderEntry entry;
        if (name.find('/') == std::string::npos && entryAt(handle, name.c_str(), entry)) {
            entry.name = std::u16string(names[i]);
            entries[i] = std::move(entry);
        }
    }
    ::close(handle);
    return true;
}

bool fileIdentity(std::u16string_view path, FileIdentity& identity, FileInfo* info) {
    if (!detail::beginOperation()) {
        return false;
    }
    struct stat st {};
    if (::stat(nativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    if (info != nullptr) {
        *info = infoOf(st);
    }
    return true;
}

bool fileInfo(std::u16string_view path, FileInfo& info) {
    if (!detail::beginOperation()) {
        return false;
    }
    struct stat st {};
    if (::stat(nativePath(path).c_str(), &st) != 0) {
        return false;
    }
    info = infoOf(st);
    return true;
}

bool setLastWriteTime(std::u16string_view path, std::int64_t lastWrite) {
    if (!detail::beginOperation()) {
        return false;
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, timespecOf(lastWrite)};
    return ::utimensat(AT_FDCWD, nativePath(path).c_str(), times, 0) == 0;
}

std::int64_t currentFileTime() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return fileTimeOf(now);
}

std::u16string fileNameKey(std::u16string_view path) {
    return std::u16string(path); // names compare exactly here
}

bool pathExists(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    struct stat st {};
    return ::lstat(nativePath(path).c_str(), &st) == 0;
}

bool pathMissing(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    struct stat st {};
    return ::lstat(nativePath(path).c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

bool folderExists(std::u16string_view path) {
    if (!detail::beginOperation()) {
        return false;
    }
    struct stat st {};
    return ::stat(nativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
    return writeFile(nativePath(path), bytes, O_CREAT | O_TRUNC);
}

bool appendToFile(std::u16string_view path, std::string_view bytes) {
    if (!detail::beginOperation()) {
        return false;
    }
    return writeFile(nativePath(path), bytes, O_CREAT | O_APPEND);
}

std::u16string currentDirectory() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) {
        return {};
    }
    return utf8ToUtf16(buffer);
}

bool setCurrentDirectory(std::u16string_view path) {
    return ::chdir(nativePath(path).c_str()) == 0;
}

bool makeTemporaryFile(std::u16string_view folder, std::u16string& path) {
    if (!detail::beginOperation()) {
        return false;
    }
    // Named as on Windows, so that the leftovers of a crash look the same everywhere.
    static std::atomic<unsigned> next =
        (static_cast<unsigned>(::getpid()) << 12) ^ static_cast<unsigned>(::time(nullptr));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::u16string candidate = std::u16string(folder) + u"\\" +
                                         temporaryFileName(next.fetch_add(1) & 0xFFFFFF);
        const int fd =
            ::open(nativePath(candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            path = candidate;
            detail::noteTemporaryMade(path);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

} // namespace platform
