#include "translation/translation_entry.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"

#include <vector>

bool applyTranslationPack(const TranslationEntry& entry, PatchContext& context) {
    // Without a folder name the pattern would list the pack descriptors themselves
    // ("data\campaign\translation\\*.txt") and merge them into game files.
    if (entry.folder.empty()) {
        return true;
    }
    std::vector<platform::FolderEntry> files;
    if (!platform::listFolder(joinPath(translationFolderPath(entry.folder), u"*.txt"), files)) {
        return true;
    }
    for (const platform::FolderEntry& file : files) {
        if (!file.isFolder) {
            applyTranslationFile(entry, file.name, context);
        }
    }
    return true;
}
