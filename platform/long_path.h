// The form in which the Win32 file layer hands a game path to the API. Plain Win32 calls
// refuse a full path of MAX_PATH (260) characters or more, and folder creation already one
// of 248 (it keeps room for an 8.3 name). The "\\?\" form has no such limit, but Win32 no
// longer normalises it ("/" is no separator there, "." and ".." are names, trailing dots
// and blanks stay), so it is formed only from paths that need no normalisation. Portable,
// so that the native tests check it as well.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Full paths of at least this many characters go to the API in the "\\?\" form.
inline constexpr std::size_t longPathLength = 248;

namespace detail {

// Every element has a name that Win32 would pass on unchanged: not empty, not "." or "..",
// not ending in a dot or a blank; and no "/" anywhere.
inline bool hasPlainElements(std::u16string_view path) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        const std::u16string_view element = path.substr(start, end - start);
        if (element.empty() || element == u"." || element == u".." || element.back() == u'.' ||
            element.back() == u' ' || element.find(u'/') != std::u16string_view::npos) {
            return false;
        }
        if (end == path.size()) {
            return true;
        }
        start = end + 1;
    }
}

inline bool isDriveAbsolute(std::u16string_view path) {
    const char16_t drive = path.empty() ? 0 : static_cast<char16_t>(path[0] | 0x20);
    return path.size() >= 3 && drive >= u'a' && drive <= u'z' && path[1] == u':' &&
           path[2] == u'\\';
}

// The "\\?\" form of a full path ("C:\..." or "\\server\share\..."); empty when the full
// path has another form or is not plain.
inline std::u16string longFormOfFullPath(std::u16string_view full) {
    if (full.starts_with(u"\\\\?\\")) {
        return std::u16string(full); // already in that form (a long current directory)
    }
    if (isDriveAbsolute(full)) {
        return hasPlainElements(full.substr(3)) ? u"\\\\?\\" + std::u16string(full)
                                                : std::u16string();
    }
    if (full.starts_with(u"\\\\") && full.size() > 2 && hasPlainElements(full.substr(2))) {
        return u"\\\\?\\UNC\\" + std::u16string(full.substr(2));
    }
    return {};
}

} // namespace detail

// `path` (a game path relative to the current directory, or a full path) as the API should
// get it: in the "\\?\" form when its full path has at least longPathLength characters and
// it is plain (see above), otherwise exactly as it is. `currentDirectory` is what
// GetCurrentDirectoryW gives ("C:\games\dravik", "C:\", "\\server\share\games").
inline std::u16string longPathForm(std::u16string_view path, std::u16string_view currentDirectory) {
    const bool relative = !path.empty() && path[0] != u'\\' && path.find(u':') == path.npos;
    std::u16string full;
    if (relative) {
        if (!detail::hasPlainElements(path)) {
            return std::u16string(path);
        }
        full = std::u16string(currentDirectory);
        if (!full.ends_with(u'\\')) {
            full += u'\\';
        }
        full += path;
    } else {
        full = std::u16string(path);
    }
    if (full.size() < longPathLength) {
        return std::u16string(path);
    }
    const std::u16string longForm = detail::longFormOfFullPath(full);
    return longForm.empty() ? std::u16string(path) : longForm;
}

} // namespace platform
