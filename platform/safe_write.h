// The one way the system replaces a file: the new content is written whole to a temporary
// file in the destination's own folder, every write and the close are checked, and only
// then does the temporary file take the destination's place, in one step. Whatever fails,
// the destination stays as it was and the temporary file is removed, so a crash or a full
// disk never leaves a cut-off file under a game file's name.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class SafeWriteResult {
    written,
    noTemporaryFile, // no temporary file could be made in the destination's folder
    writeFailed,     // writing or closing the temporary file failed (or the copy did)
    placeFailed,     // the temporary file could not take the destination's place
};

enum class Placing {
    replace,       // an existing destination is replaced
    onlyIfMissing, // an existing destination stays and the write fails (a first copy wins)
};

SafeWriteResult writeFileSafely(std::u16string_view path, std::string_view bytes,
                                Placing placing = Placing::replace);

// The same with a copy of the file `source` as the new content.
SafeWriteResult copyFileSafely(std::u16string_view source, std::u16string_view path,
                               Placing placing = Placing::replace);

// The same in two halves, for content that is ready long before it may take its place:
// the first writes it whole to a temporary file in the destination's folder (`temporary`
// names it; on failure none is left), the second puts that file in the destination's place
// in one step (on failure it is removed).
SafeWriteResult prepareSafeWrite(std::u16string_view path, std::string_view bytes,
                                 std::u16string& temporary);
SafeWriteResult placeSafeWrite(std::u16string_view temporary, std::u16string_view path,
                               Placing placing = Placing::replace);

// The folder a path lies in ("." for a bare name).
std::u16string_view folderOf(std::u16string_view path);

} // namespace platform
