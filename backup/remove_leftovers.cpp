#include "backup/remove_leftovers.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"

#include <string>
#include <vector>

namespace {

std::size_t removeIn(const std::u16string& folder, bool descend) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(joinPath(folder, u"*"), entries)) {
        return 0;
    }
    std::size_t removed = 0;
    for (const platform::FolderEntry& entry : entries) {
        const std::u16string path = joinPath(folder, entry.name);
        if (entry.isFolder) {
            if (descend && !entry.isLink) {
                removed += removeIn(path, true);
            }
        } else if (platform::isTemporaryFileName(entry.name) && platform::deleteFile(path)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace

std::size_t removeLeftovers() {
    // The inline texts of scripts are written in the game folder itself; everything else
    // beside the file it replaces, which is always below data\.
    return removeIn(u".", false) + removeIn(u"data", true);
}
