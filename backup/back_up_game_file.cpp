#include "backup/back_up_game_file.h"

#include "platform/file_system.h"

#include <string>

bool backUpGameFile(std::u16string_view gamePath, std::u16string_view relativePath) {
    // One folder per folder level after "data\"; the file name itself is never a folder.
    std::u16string folder = u"data\\campaign\\backup";
    constexpr std::size_t afterData = 5;
    std::size_t start = afterData;
    for (std::size_t slash = gamePath.find(u'\\', start); slash != std::u16string_view::npos;
         slash = gamePath.find(u'\\', start)) {
        folder += u'\\';
        folder += gamePath.substr(start, slash - start);
        platform::createFolder(folder);
        start = slash + 1;
    }
    const std::u16string copy = u"data\\campaign\\backup\\" + std::u16string(relativePath);
    if (platform::pathExists(copy)) {
        return true; // the first copy wins
    }
    // The copy is made under a temporary name and given its place in one step, without
    // replacing anything: a copy cut off by a crash must never become the kept original.
    std::u16string temporary;
    if (!platform::makeTemporaryFile(u".", temporary)) {
        return true;
    }
    if (!platform::copyFile(gamePath, temporary, false) || !platform::renameFile(temporary, copy)) {
        platform::deleteFile(temporary);
    }
    return true;
}
