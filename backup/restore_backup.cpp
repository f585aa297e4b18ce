#include "backup/restore_backup.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"

#include <string>
#include <vector>

namespace {

// Moves what is in `from` over `to`: folders merge, files replace the game file of the
// same name in one step each. A folder of the tree that ends up empty is removed; one
// that still holds something (a file that could not be moved) stays for the next restore.
// Links are neither followed nor moved.
void moveTreeOver(const std::u16string& from, const std::u16string& to,
                  const InstalledCopies* leave) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(from + u"\\*", entries)) {
        return;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (entry.isLink) {
            continue;
        }
        const std::u16string source = from + u'\\' + entry.name;
        const std::u16string target = to + u'\\' + entry.name;
        if (entry.isFolder) {
            platform::createFolder(target); // usually there already
            moveTreeOver(source, target, leave);
            platform::removeFolder(source); // fails while anything is left in it
        } else if (leave == nullptr || leave->paths.count(platform::fileNameKey(target)) == 0) {
            platform::replaceFile(source, target);
        }
    }
}

} // namespace

bool restoreBackup(const InstalledCopies* leave) {
    moveTreeOver(std::u16string(backupRoot), u"data", leave);

    // The game rebuilds its compiled text caches; stale ones would hide the restored texts.
    std::vector<platform::FolderEntry> caches;
    if (platform::listFolder(textCachePattern, caches)) {
        for (const platform::FolderEntry& cache : caches) {
            if (!cache.isFolder) {
                platform::deleteFile(gameTextPath(cache.name));
            }
        }
    }

    platform::createFolder(backupRoot);
    return true;
}
