#pragma once

#include "platform/file_system.h"

#include <string>
#include <vector>

// One step of a walk through a tree, depth first in listing order: a folder met (its path
// below the tree's root, ending with "\": "\text\"), the end of that folder, a file
// ("\text\names.txt") or a link, with what the listing told of it.
struct TreeStep {
    enum class Kind { folder, folderEnd, file, link } kind = Kind::file;
    std::u16string relative;
    platform::FolderEntry entry;
};

// What choosing the installed campaign again leaves where it is: the game files that are the
// campaign's own copies, unchanged since they were installed, with their kept originals. It
// holds the walks through the backup tree and the campaign that found them, so that the
// restore and the installation need not list them again; `keptLeft` and `campaignLeft`
// mark the file steps that stay.
struct InstalledCopies {
    std::vector<TreeStep> keptTree;
    std::vector<bool> keptLeft;
    std::vector<TreeStep> campaignTree;
    std::vector<bool> campaignLeft;
};

// Moves everything in the backup tree back over data\ (folders merge, existing game files
// are replaced), deletes every data\text\*.txt.strings.bin and leaves the tree's root
// folder present and empty. Links inside the tree are never followed. The kept originals
// of `leave` stay in the tree (and so do the folders that hold them). Always true.
bool restoreBackup(const InstalledCopies* leave = nullptr);

// Walks the tree below root + relative (relative starts and ends with "\"), appending its
// steps; links are steps of their own and are never followed.
void walkTree(const std::u16string& root, const std::u16string& relative,
              std::vector<TreeStep>& steps);

// For each folder step: whether replaying the walk has work in it, that is, whether its
// subtree is empty or holds a file or link for which `needed` is true.
std::vector<bool> foldersWithWork(const std::vector<TreeStep>& steps,
                                  const std::vector<bool>& needed);
