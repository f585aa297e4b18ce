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
    platform::copyFile(gamePath, u"data\\campaign\\backup\\" + std::u16string(relativePath), true);
    return true;
}
