#include "backup/switch_campaign.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

#include <string>
#include <vector>

namespace {

// True when both files can be read and hold the same bytes. The starts are compared first:
// files that differ usually differ there, and then neither is read whole.
bool sameContent(const std::u16string& a, const std::u16string& b) {
    constexpr std::size_t startLength = 4096;
    std::string startA, startB;
    if (!platform::readFileStart(a, startLength, startA) ||
        !platform::readFileStart(b, startLength, startB) || startA != startB) {
        return false;
    }
    if (startA.size() < startLength) {
        return true; // both read whole
    }
    std::string wholeA, wholeB;
    return platform::readWholeFile(a, wholeA) && platform::readWholeFile(b, wholeB) &&
           wholeA == wholeB;
}

// Installs one campaign file over the game file of the same place, keeping the game file
// in the backup tree first. When the tree has no copy yet, the game file itself is moved
// there (one rename instead of a copy: the same end state, half the bytes written); a
// copy already in the tree is never replaced, because it may be the only original left
// (a restore that could not move it back). A game file that has no copy and could not be
// moved is left alone rather than overwritten. A game file that already holds the
// campaign's bytes (typically one the campaign added in an earlier run) is neither kept
// nor written: a file the campaign itself put there is no original, and this way a
// campaign installed again leaves the same game folder as a first install.
void installFile(const std::u16string& source, const std::u16string& target,
                 const std::u16string& kept) {
    if (platform::folderExists(target)) {
        return; // a game folder of that name: it is not moved into the tree, nor replaced
    }
    if (sameContent(target, source)) {
        return;
    }
    if (platform::renameFile(target, kept)) {
        if (!platform::copyFile(source, target, true)) {
            platform::copyFile(kept, target, true); // keep the game playable meanwhile
        }
        return;
    }
    if (platform::pathExists(kept)) {
        platform::copyFile(source, target, false);
        return;
    }
    // No copy in the tree: only a file that is new to the game may be written.
    platform::copyFile(source, target, true);
}

} // namespace

bool isPlainFolderName(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:*?") == std::u16string_view::npos;
}

bool installCampaignFiles(std::u16string_view campaign, std::u16string_view subPath) {
    if (!isPlainFolderName(campaign)) {
        return true;
    }
    const bool topLevel = subPath.empty();
    const std::u16string sub = topLevel ? std::u16string(u"\\") : std::u16string(subPath);
    if (!topLevel) {
        const std::u16string folder = sub.substr(0, sub.size() - 1); // without the last "\"
        platform::createFolder(u"data" + folder);
        platform::createFolder(std::u16string(backupRoot) + folder);
    }

    std::vector<platform::FolderEntry> entries;
    const std::u16string campaignFolder = campaignFolderPath(campaign) + sub;
    if (!platform::listFolder(campaignFolder + u"*.*", entries)) {
        return true;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (entry.isLink) {
            continue; // never followed: it may lead in a circle or out of the game folder
        }
        if (entry.isFolder) {
            const std::u16string deeper = sub + entry.name + u'\\';
            // The backup tree is the one place a campaign must never write into.
            if (platform::equalsIgnoringCase(u"data" + deeper,
                                             std::u16string(backupRoot) + u'\\')) {
                continue;
            }
            installCampaignFiles(campaign, deeper);
            continue;
        }
        if (topLevel && entry.name == u"campaign.txt") {
            continue; // the campaign's descriptor
        }
        installFile(campaignFolder + entry.name, u"data" + sub + entry.name,
                    std::u16string(backupRoot) + sub + entry.name);
    }
    return true;
}
