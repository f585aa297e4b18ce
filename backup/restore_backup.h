#pragma once

#include <set>
#include <string>

// Game files that a campaign installed again leaves where they are, with their kept
// originals: the campaign's own copies, unchanged since they were installed. Each as
// platform::fileNameKey gives its path ("data\...").
struct InstalledCopies {
    std::set<std::u16string> paths;
};

// Moves everything in the backup tree back over data\ (folders merge, existing game files
// are replaced), deletes every data\text\*.txt.strings.bin and leaves the tree's root
// folder present and empty. Links inside the tree are never followed. The kept originals
// of `leave` stay in the tree (and so do the folders that hold them). Always true.
bool restoreBackup(const InstalledCopies* leave = nullptr);
