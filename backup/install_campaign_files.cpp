#include "backup/switch_campaign.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// Time stamps of coarse file systems are two seconds apart: a campaign file changed less
// than this before its installation could share its time with a later change of the copy.
constexpr std::int64_t racyTime = 3 * platform::fileTimeSecond;

bool sameStamp(const platform::FileInfo& file, const platform::FolderEntry& campaignFile) {
    return !file.isFolder && file.size == campaignFile.size &&
           file.lastWrite == campaignFile.lastWrite;
}

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
void installFile(const platform::FolderEntry& campaignFile, const std::u16string& source,
                 const std::u16string& target, const std::u16string& kept, std::int64_t start) {
    platform::FileInfo game;
    if (platform::fileInfo(target, game)) {
        if (game.isFolder) {
            return; // a game folder of that name: it is not moved into the tree, nor replaced
        }
        // A size of its own tells a different file without reading it. The same size and
        // time are no proof here: two unrelated files written within one tick of the clock
        // share their time.
        if (game.size == campaignFile.size && sameContent(target, source)) {
            return;
        }
    }
    bool copied = false;
    if (platform::renameFile(target, kept)) {
        copied = platform::copyFile(source, target, true);
        if (!copied) {
            platform::copyFile(kept, target, true); // keep the game playable meanwhile
        }
    } else if (platform::pathExists(kept)) {
        copied = platform::copyFile(source, target, false);
    } else {
        // No copy in the tree: only a file that is new to the game may be written.
        copied = platform::copyFile(source, target, true);
    }
    if (copied && campaignFile.lastWrite > start - racyTime) {
        platform::setLastWriteTime(target, campaignFile.lastWrite - 2 * racyTime);
    }
}

// Calls `file` with each file of the campaign (below sub-path `sub`, depth first, in listing
// order), its source path and its relative path ("\text\names.txt"); makes the folders on
// the way when `makeFolders` is set.
void forEachCampaignFile(
    std::u16string_view campaign, const std::u16string& sub, bool makeFolders,
    const std::function<void(const platform::FolderEntry&, const std::u16string& source,
                             const std::u16string& relative)>& file) {
    const bool topLevel = sub == u"\\";
    if (!topLevel && makeFolders) {
        const std::u16string folder = sub.substr(0, sub.size() - 1); // without the last "\"
        platform::createFolder(u"data" + folder);
        platform::createFolder(std::u16string(backupRoot) + folder);
    }
    std::vector<platform::FolderEntry> entries;
    const std::u16string campaignFolder = campaignFolderPath(campaign) + sub;
    if (!platform::listFolder(campaignFolder + u"*.*", entries)) {
        return;
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
            forEachCampaignFile(campaign, deeper, makeFolders, file);
            continue;
        }
        if (topLevel && entry.name == u"campaign.txt") {
            continue; // the campaign's descriptor
        }
        file(entry, campaignFolder + entry.name, sub + entry.name);
    }
}

} // namespace

bool isPlainFolderName(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:*?") == std::u16string_view::npos;
}

bool installCampaignFiles(std::u16string_view campaign, std::u16string_view subPath,
                          const InstalledCopies* leave) {
    if (!isPlainFolderName(campaign)) {
        return true;
    }
    const std::int64_t start = platform::currentFileTime();
    const std::u16string sub = subPath.empty() ? std::u16string(u"\\") : std::u16string(subPath);
    forEachCampaignFile(campaign, sub, true,
                        [&](const platform::FolderEntry& entry, const std::u16string& source,
                            const std::u16string& relative) {
                            const std::u16string target = u"data" + relative;
                            if (leave != nullptr &&
                                leave->paths.count(platform::fileNameKey(target)) != 0) {
                                return;
                            }
                            installFile(entry, source, target,
                                        std::u16string(backupRoot) + relative, start);
                        });
    return true;
}

namespace {

struct KeptFile {
    std::u16string relative; // as spelled in the tree ("\Text\Units.txt")
    platform::FileInfo info;
};

// Every file of the backup tree below `relative` ("\" at the top), by the key of the game
// path it belongs to. Links are not followed.
void listKeptFiles(const std::u16string& relative, std::map<std::u16string, KeptFile>& kept) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(std::u16string(backupRoot) + relative + u"*", entries)) {
        return;
    }
    for (const platform::FolderEntry& entry : entries) {
        if (entry.isLink) {
            continue;
        }
        const std::u16string path = relative + entry.name;
        if (entry.isFolder) {
            listKeptFiles(path + u'\\', kept);
        } else {
            kept[platform::fileNameKey(u"data" + path)] = {path, {false, entry.size, entry.lastWrite}};
        }
    }
}

} // namespace

InstalledCopies unchangedInstalledCopies(std::u16string_view campaign) {
    InstalledCopies unchanged;
    if (!isPlainFolderName(campaign)) {
        return unchanged;
    }
    std::map<std::u16string, KeptFile> keptFiles;
    listKeptFiles(u"\\", keptFiles);
    forEachCampaignFile(
        campaign, u"\\", false,
        [&](const platform::FolderEntry& entry, const std::u16string&,
            const std::u16string& relative) {
            const std::u16string target = u"data" + relative;
            const std::u16string key = platform::fileNameKey(target);
            const auto kept = keptFiles.find(key);
            // The original lies where the installation put it, spelled as the campaign spells
            // it (the way the full way would leave it), and is no copy of the campaign file.
            if (kept == keptFiles.end() || kept->second.relative != relative ||
                sameStamp(kept->second.info, entry)) {
                return;
            }
            platform::FileInfo game;
            if (platform::fileInfo(target, game) && sameStamp(game, entry)) {
                unchanged.paths.insert(key);
            }
        });
    return unchanged;
}
