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
void moveTreeOver(const std::u16string& from, const std::u16string& to) {
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
            moveTreeOver(source, target);
            platform::removeFolder(source); // fails while anything is left in it
        } else {
            platform::replaceFile(source, target);
        }
    }
}

// moveTreeOver from the walk already made, leaving the files of `leave` where they are; a
// folder whose whole content stays is neither made in data\ nor removed from the tree (both
// would fail: it holds something, and its game folder exists).
void moveAllBut(const InstalledCopies& leave) {
    const std::vector<TreeStep>& steps = leave.keptTree;
    std::vector<bool> moves(steps.size(), false);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        moves[i] = steps[i].kind == TreeStep::Kind::link ||
                   (steps[i].kind == TreeStep::Kind::file && !leave.keptLeft[i]);
    }
    const std::vector<bool> work = foldersWithWork(steps, moves);
    const std::u16string root(backupRoot);
    std::vector<bool> open;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TreeStep& step = steps[i];
        const std::u16string folder = step.relative.substr(0, step.relative.size() - 1);
        switch (step.kind) {
        case TreeStep::Kind::folder:
            open.push_back(work[i]);
            if (work[i]) {
                platform::createFolder(u"data" + folder); // usually there already
            }
            break;
        case TreeStep::Kind::folderEnd:
            if (open.back()) {
                platform::removeFolder(root + folder); // fails while anything is left in it
            }
            open.pop_back();
            break;
        case TreeStep::Kind::file:
            if (moves[i]) {
                platform::replaceFile(root + step.relative, u"data" + step.relative);
            }
            break;
        case TreeStep::Kind::link:
            break;
        }
    }
}

} // namespace

void walkTree(const std::u16string& root, const std::u16string& relative,
              std::vector<TreeStep>& steps) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(root + relative + u"*", entries)) {
        return;
    }
    for (platform::FolderEntry& entry : entries) {
        std::u16string path = relative + entry.name;
        if (entry.isLink) {
            steps.push_back({TreeStep::Kind::link, std::move(path), std::move(entry)});
        } else if (entry.isFolder) {
            path += u'\\';
            steps.push_back({TreeStep::Kind::folder, path, entry});
            walkTree(root, path, steps);
            steps.push_back({TreeStep::Kind::folderEnd, std::move(path), std::move(entry)});
        } else {
            steps.push_back({TreeStep::Kind::file, std::move(path), std::move(entry)});
        }
    }
}

std::vector<bool> foldersWithWork(const std::vector<TreeStep>& steps,
                                  const std::vector<bool>& needed) {
    struct Open {
        std::size_t step;
        bool holdsSomething = false;
        bool hasWork = false;
    };
    std::vector<bool> work(steps.size(), false);
    std::vector<Open> open;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        switch (steps[i].kind) {
        case TreeStep::Kind::folder:
            open.push_back({i});
            break;
        case TreeStep::Kind::folderEnd: {
            const Open folder = open.back();
            open.pop_back();
            work[folder.step] = folder.hasWork || !folder.holdsSomething;
            if (!open.empty()) {
                open.back().holdsSomething = true;
                open.back().hasWork = open.back().hasWork || work[folder.step];
            }
            break;
        }
        case TreeStep::Kind::file:
        case TreeStep::Kind::link:
            if (!open.empty()) {
                open.back().holdsSomething = true;
                open.back().hasWork = open.back().hasWork || needed[i];
            }
            break;
        }
    }
    return work;
}

bool restoreBackup(const InstalledCopies* leave) {
    if (leave == nullptr) {
        moveTreeOver(std::u16string(backupRoot), u"data");
    } else {
        moveAllBut(*leave);
    }

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
