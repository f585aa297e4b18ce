#include "backup/back_up_game_file.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/safe_write.h"

#include <string>

namespace {

// One folder per folder level after "data\"; the file name itself is never a folder. True
// when the copy is still to be made.
bool prepareCopy(std::u16string_view gamePath, std::u16string_view relativePath,
                 std::u16string& copy) {
    std::u16string folder(backupRoot);
    constexpr std::size_t afterData = 5;
    std::size_t start = afterData;
    for (std::size_t slash = gamePath.find(u'\\', start); slash != std::u16string_view::npos;
         slash = gamePath.find(u'\\', start)) {
        folder += u'\\';
        folder += gamePath.substr(start, slash - start);
        platform::createFolder(folder);
        start = slash + 1;
    }
    copy = keptCopyPath(relativePath);
    return !platform::pathExists(copy); // the first copy wins
}

} // namespace

bool backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath) {
    std::u16string copy;
    if (!prepareCopy(gamePath, relativePath, copy)) {
        return true;
    }
    // Given its place in one step and without replacing anything: a copy cut off by a crash
    // must never become the kept original.
    platform::copyFileSafely(gamePath, copy, platform::Placing::onlyIfMissing);
    return true;
}

bool backUpGameFileContent(std::u16string_view gamePath, std::u16string_view relativePath,
                           std::string_view bytes, std::int64_t lastWrite) {
    std::u16string copy;
    std::u16string temporary;
    if (!prepareCopy(gamePath, relativePath, copy)) {
        return false;
    }
    if (lastWrite != 0 && platform::linkFile(gamePath, copy)) {
        return true;
    }
    if (platform::prepareSafeWrite(copy, bytes, temporary) != platform::SafeWriteResult::written) {
        return false;
    }
    // A re-applied campaign tells the kept copy of its own file by this time.
    if (lastWrite != 0 && !platform::setLastWriteTime(temporary, lastWrite)) {
        platform::deleteFile(temporary);
        return false;
    }
    platform::placeSafeWrite(temporary, copy, platform::Placing::onlyIfMissing);
    return false;
}

void separateKeptCopy(std::u16string_view gamePath, std::u16string_view keptPath) {
    platform::FileIdentity game, kept;
    if (platform::fileIdentity(gamePath, game) && platform::fileIdentity(keptPath, kept) &&
        game == kept) {
        platform::copyFileSafely(gamePath, keptPath, platform::Placing::replace);
    }
}
