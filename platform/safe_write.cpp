#include "platform/safe_write.h"

#include "platform/file_system.h"

namespace platform {
namespace {

template <typename Fill>
SafeWriteResult prepare(std::u16string_view path, std::u16string& temporary, Fill fill) {
    if (!makeTemporaryFile(folderOf(path), temporary)) {
        return SafeWriteResult::noTemporaryFile;
    }
    if (!fill(temporary)) {
        deleteFile(temporary);
        return SafeWriteResult::writeFailed;
    }
    return SafeWriteResult::written;
}

template <typename Fill>
SafeWriteResult writeSafely(std::u16string_view path, Placing placing, Fill fill) {
    std::u16string temporary;
    const SafeWriteResult prepared = prepare(path, temporary, fill);
    return prepared == SafeWriteResult::written ? placeSafeWrite(temporary, path, placing)
                                                : prepared;
}

} // namespace

std::u16string_view folderOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? std::u16string_view(u".") : path.substr(0, slash);
}

SafeWriteResult prepareSafeWrite(std::u16string_view path, std::string_view bytes,
                                 std::u16string& temporary) {
    return prepare(path, temporary, [&](const std::u16string& file) {
        return writeWholeFile(file, bytes);
    });
}

SafeWriteResult placeSafeWrite(std::u16string_view temporary, std::u16string_view path,
                               Placing placing) {
    const bool placed =
        placing == Placing::replace ? replaceFile(temporary, path) : renameFile(temporary, path);
    if (!placed) {
        deleteFile(temporary);
        return SafeWriteResult::placeFailed;
    }
    return SafeWriteResult::written;
}

SafeWriteResult writeFileSafely(std::u16string_view path, std::string_view bytes, Placing placing) {
    return writeSafely(path, placing, [&](const std::u16string& temporary) {
        return writeWholeFile(temporary, bytes);
    });
}

SafeWriteResult copyFileSafely(std::u16string_view source, std::u16string_view path,
                               Placing placing) {
    return writeSafely(path, placing, [&](const std::u16string& temporary) {
        return copyFile(source, temporary, false);
    });
}

} // namespace platform
