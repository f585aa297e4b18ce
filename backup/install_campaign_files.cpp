#include "backup/switch_campaign.h"

#include "backup/back_up_game_file.h"

#include "catalogue/game_paths.h"
#include "platform/file_system.h"
#include "platform/safe_write.h"
#include "platform/unicode.h"

#include <functional>
#include <unordered_map>
#include <string>
#include <vector>

namespace {

// Time stamps of coarse file systems are two seconds apart: a campaign file changed less
// than this before its installation could share its time with a later change of the copy.
constexpr std::int64_t racyTime = 3 * platform::fileTimeSecond;

bool sameStamp(const platform::FolderEntry& file, const platform::FolderEntry& campaignFile) {
    return !file.isFolder && !file.isLink && file.size == campaignFile.size &&
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
// there (one rename instead of a copy: the same end state, half the bytes written; a copy
// when the game file has other names, see keepGameFile); a
// copy already in the tree is never replaced, because it may be the only original left
// (a restore that could not move it back). A game file that has no copy and could not be
// moved is left alone rather than overwritten. A game file that is a copy of the campaign
// file (typically one the campaign added in an earlier run: a copy keeps its file's size
// and time) is neither kept nor written: a file the campaign itself put there is no
// original, and this way a campaign installed again leaves the same game folder as a first
// install.
void installFile(const platform::FolderEntry& campaignFile, const std::u16string& source,
                 const std::u16string& target, const std::u16string& kept, std::int64_t start) {
    platform::FileInfo game;
    const bool gameExists = platform::fileInfo(target, game);
    if (gameExists) {
        if (game.isFolder) {
            return; // a game folder of that name: it is not moved into the tree, nor replaced
        }
        // Only a file with the campaign file's size and time (or the time an installation
        // gives a copy of a recent file, below) can be its copy; the bytes decide then,
        // since two unrelated files written within one tick of the clock share their time.
        // Any other file is read by nobody: under Wine each open costs a trip through its
        // server.
        if (game.size == campaignFile.size &&
            (game.lastWrite == campaignFile.lastWrite ||
             game.lastWrite == campaignFile.lastWrite - 2 * racyTime) &&
            sameContent(target, source)) {
            return;
        }
    }
    bool copied = false;
    const KeptAs keptAs = gameExists ? keepGameFile(target, kept) : KeptAs::nothing;
    if (keptAs == KeptAs::moved) {
        copied = platform::copyFile(source, target, true);
        if (!copied) {
            platform::copyFile(kept, target, true); // keep the game playable meanwhile
        }
    } else if (keptAs == KeptAs::copied || platform::pathExists(kept)) {
        // Never written in place: the game file may be a second name of its kept copy.
        copied = platform::copyFileSafely(source, target) == platform::SafeWriteResult::written;
    } else {
        // No copy in the tree: only a file that is new to the game may be written.
        copied = platform::copyFile(source, target, true);
    }
    if (copied && campaignFile.lastWrite > start - racyTime) {
        platform::setLastWriteTime(target, campaignFile.lastWrite - 2 * racyTime);
    }
}

// Walks the campaign's folders and files below sub-path `sub` ("\\" at the top), depth first
// in listing order, handing on each step (a folder as it is met, its end, a file with its
// path "\\text\\names.txt"); with `makeFolders` the folders of each sub-path are made in
// data\\ and in the backup tree before its content. The campaign's own campaign.txt, links,
// and a folder where the backup tree lies are passed over.
void walkCampaign(std::u16string_view campaign, const std::u16string& sub, bool makeFolders,
                  const std::function<void(TreeStep&&)>& step) {
    const bool topLevel = sub == u"\\";
    if (!topLevel && makeFolders) {
        const std::u16string folder = sub.substr(0, sub.size() - 1); // without the last "\\"
        platform::createFolder(u"data" + folder);
        platform::createFolder(std::u16string(backupRoot) + folder);
    }
    std::vector<platform::FolderEntry> entries;
    const std::u16string campaignFolder = campaignFolderPath(campaign) + sub;
    if (!platform::listFolder(campaignFolder + u"*.*", entries)) {
        return;
    }
    for (platform::FolderEntry& entry : entries) {
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
            step({TreeStep::Kind::folder, deeper, entry});
            walkCampaign(campaign, deeper, makeFolders, step);
            step({TreeStep::Kind::folderEnd, deeper, entry});
            continue;
        }
        if (topLevel && entry.name == u"campaign.txt") {
            continue; // the campaign's descriptor
        }
        step({TreeStep::Kind::file, sub + entry.name, std::move(entry)});
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
    const std::u16string campaignFolder = campaignFolderPath(campaign);
    const std::u16string root(backupRoot);
    if (leave == nullptr) {
        const std::u16string sub =
            subPath.empty() ? std::u16string(u"\\") : std::u16string(subPath);
        walkCampaign(campaign, sub, true, [&](const TreeStep& step) {
            if (step.kind == TreeStep::Kind::file) {
                installFile(step.entry, campaignFolder + step.relative, u"data" + step.relative,
                            root + step.relative, start);
            }
        });
        return true;
    }
    // The walk made already, without the files left where they are; a folder that holds
    // nothing else is there already, in data\ and in the tree alike.
    const std::vector<TreeStep>& steps = leave->campaignTree;
    std::vector<bool> installs(steps.size(), false);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        installs[i] = steps[i].kind == TreeStep::Kind::file && !leave->campaignLeft[i];
    }
    const std::vector<bool> work = foldersWithWork(steps, installs);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TreeStep& step = steps[i];
        if (step.kind == TreeStep::Kind::folder && work[i]) {
            const std::u16string folder = step.relative.substr(0, step.relative.size() - 1);
            platform::createFolder(u"data" + folder);
            platform::createFolder(root + folder);
        } else if (installs[i]) {
            installFile(step.entry, campaignFolder + step.relative, u"data" + step.relative,
                        root + step.relative, start);
        }
    }
    return true;
}

InstalledCopies unchangedInstalledCopies(std::u16string_view campaign) {
    InstalledCopies unchanged;
    if (!isPlainFolderName(campaign)) {
        return unchanged;
    }
    walkTree(std::u16string(backupRoot), u"\\", unchanged.keptTree);
    unchanged.keptLeft.assign(unchanged.keptTree.size(), false);
    std::unordered_map<std::u16string, std::size_t> kept;
    kept.reserve(unchanged.keptTree.size());
    for (std::size_t i = 0; i < unchanged.keptTree.size(); ++i) {
        if (unchanged.keptTree[i].kind == TreeStep::Kind::file) {
            kept.emplace(platform::fileNameKey(unchanged.keptTree[i].relative), i);
        }
    }
    walkCampaign(campaign, u"\\", false, [&](TreeStep&& step) {
        unchanged.campaignTree.push_back(std::move(step));
    });
    const std::vector<TreeStep>& steps = unchanged.campaignTree;
    unchanged.campaignLeft.assign(steps.size(), false);

    // The campaign files of one folder whose original lies where the installation put it,
    // spelled as the campaign spells it (the way the full way would leave it), and is no
    // copy of the campaign file; their game files are looked at together, once the folder
    // has been walked: a folder may hold thousands.
    struct Folder {
        std::u16string relative;
        std::vector<std::size_t> files;    // campaign steps
        std::vector<std::size_t> originals; // their kept steps
    };
    const auto leaveUnchanged = [&](const Folder& folder) {
        if (folder.files.empty()) {
            return;
        }
        std::vector<std::u16string_view> names;
        names.reserve(folder.files.size());
        for (const std::size_t i : folder.files) {
            names.push_back(steps[i].entry.name);
        }
        std::vector<std::optional<platform::FolderEntry>> games;
        const std::u16string& relative = folder.relative;
        platform::findInFolder(u"data" + relative.substr(0, relative.size() - 1), names, games);
        for (std::size_t j = 0; j < folder.files.size(); ++j) {
            // The game file has the campaign file's size and time, and the campaign file has
            // not changed since the copy was made: a copy is made after its file's last
            // change, so its change time is the same or later, and any change of the campaign
            // file afterwards, whatever times it gives the file, moves that file's change
            // time past it. Equal times count as unchanged: the clock ticks every few
            // milliseconds, so a copy made right after its file (a fast machine, a test) may
            // share its time, while a change within that tick would have had to come during
            // the installation itself.
            const platform::FolderEntry& campaignFile = steps[folder.files[j]].entry;
            if (games[j] && sameStamp(*games[j], campaignFile) &&
                campaignFile.changeTime <= games[j]->changeTime) {
                unchanged.campaignLeft[folder.files[j]] = true;
                unchanged.keptLeft[folder.originals[j]] = true;
            }
        }
    };
    std::vector<Folder> open(1, Folder{u"\\", {}, {}});
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TreeStep& step = steps[i];
        if (step.kind == TreeStep::Kind::folder) {
            open.push_back({step.relative, {}, {}});
            continue;
        }
        if (step.kind == TreeStep::Kind::folderEnd) {
            leaveUnchanged(open.back());
            open.pop_back();
            continue;
        }
        const auto original = kept.find(platform::fileNameKey(step.relative));
        if (original != kept.end() &&
            unchanged.keptTree[original->second].relative == step.relative &&
            !sameStamp(unchanged.keptTree[original->second].entry, step.entry)) {
            open.back().files.push_back(i);
            open.back().originals.push_back(original->second);
        }
    }
    leaveUnchanged(open.back());
    return unchanged;
}
