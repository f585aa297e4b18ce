#include "backup/back_up_game_file.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/safe_write.h"

#include <string>

KeptAs keepGameFile(std::u16string_view gamePath, std::u16string_view keptPath) {
    platform::FileIdentity identity;
    platform::FileInfo info;
    if (!platform::fileIdentity(gamePath, identity, &info)) {
        return KeptAs::nothing;
    }
    if (info.names > 1) {
        return platform::copyFileSafely(gamePath, keptPath, platform::Placing::onlyIfMissing) ==
                       platform::SafeWriteResult::written
                   ? KeptAs::copied
                   : KeptAs::nothing;
    }
    return platform::renameFile(gamePath, keptPath) ? KeptAs::moved : KeptAs::nothing;
}

KeptAs backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath) {
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
    return keepGameFile(gamePath, keptCopyPath(relativePath));
}
