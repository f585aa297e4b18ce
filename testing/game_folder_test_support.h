// Shared by the backup tests: a small game folder with two campaigns, a campaign run as the
// windows drive it, and the checks that prove nothing was lost or mixed.
#pragma once

#include "backup/switch_campaign.h"
#include "platform/file_system.h"
#include "platform/unicode.h"
#include "recent/setup_state.h"
#include "testing/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace backup_testing {

using Snapshot = std::map<std::u16string, std::string>; // folders end with "\", bytes ""

// Every file and folder below `folder`, links not followed; temporary files a crash leaves
// are no game data.
inline void snapshotInto(const std::u16string& folder, const std::u16string& prefix,
                         Snapshot& out) {
    std::vector<platform::FolderEntry> entries;
    platform::listFolder(folder + u"\\*", entries);
    for (const auto& entry : entries) {
        const std::u16string full = folder + u"\\" + entry.name;
        const std::u16string relative = prefix + entry.name;
        if (entry.isLink) {
            out[relative] = "<link>";
        } else if (entry.isFolder) {
            out[relative + u"\\"] = "";
            snapshotInto(full, relative + u"\\", out);
        } else if (!platform::isTemporaryFileName(entry.name)) {
            out[relative] = testing_support::readFile(full);
        }
    }
}

inline Snapshot snapshot(const std::u16string& folder = u".") {
    Snapshot out;
    snapshotInto(folder, u"", out);
    return out;
}

inline std::string describe(const Snapshot& a, const Snapshot& b) {
    std::string text;
    for (const auto& [path, bytes] : a) {
        const auto other = b.find(path);
        if (other == b.end()) {
            text += "  only in the first: " + testing_support::utf8(path) + "\n";
        } else if (other->second != bytes) {
            text += "  differs: " + testing_support::utf8(path) + "\n";
        }
    }
    for (const auto& [path, bytes] : b) {
        if (a.find(path) == a.end()) {
            text += "  only in the second: " + testing_support::utf8(path) + "\n";
        }
    }
    return text;
}

// Two campaigns over a game with nested folders, a text cache, and a campaign file whose
// name differs from the game file's only in case (one file on Windows, two on Linux).
inline void writeSmallGame() {
    for (const auto& [path, bytes] :
         std::initializer_list<std::pair<std::u16string_view, std::string_view>>{
             {u"text\\names.txt", "game names"},
             {u"text\\units.txt", "game units"},
             {u"text\\names.txt.strings.bin", "cache"},
             {u"world\\maps\\base\\map1.txt", "game map1"},
             {u"world\\maps\\base\\map2.txt", "game map2"},
             {u"world\\maps\\base\\deep\\map3.txt", "game map3"},
             {u"menu\\setup_bg.bmp", "BM picture"},
             {u"campaign\\sub\\walls.txt", "[name] Walls\r\n"},
             {u"campaign\\alpha\\campaign.txt", "[name] Alpha\r\n"},
             {u"campaign\\alpha\\text\\names.txt", "alpha names"},
             {u"campaign\\alpha\\text\\campaign.txt", "alpha's own text file"},
             {u"campaign\\alpha\\world\\maps\\base\\map1.txt", "alpha map1"},
             {u"campaign\\alpha\\world\\maps\\base\\deep\\map3.txt", "alpha map3"},
             {u"campaign\\alpha\\world\\newzone\\zone.txt", "alpha zone"},
             {u"campaign\\beta\\campaign.txt", "[name] Beta\r\n"},
             {u"campaign\\beta\\Text\\Units.txt", "beta units"},
             {u"campaign\\beta\\world\\maps\\base\\map1.txt", "beta map1"},
             {u"campaign\\beta\\world\\maps\\base\\map2.txt", "beta map2"},
             {u"campaign\\beta\\beta_only.txt", "beta only"}}) {
        testing_support::writeFile(u"data\\" + std::u16string(path), bytes);
    }
    testing_support::makeFolders(u"data\\campaign\\alpha\\empty");
}

// A campaign run without scripts: reread recent.txt, take its campaign as the previous one,
// empty the record (keeping the translation), switch and record.
inline void runCampaign(SetupState& state, std::u16string_view chosen) {
    loadRecentSelection(state);
    state.previousCampaign = state.hasCampaign ? state.folder : u"none";
    const std::u16string translation = state.hasTranslation ? state.translation : u"none";
    clearRecentSelection(state);
    state.translation = translation;
    // As the campaign run does: when "saves" could not be switched, it stays the previous
    // campaign's.
    const std::u16string owner =
        switchCampaign(chosen, state) ? std::u16string(chosen) : state.previousCampaign;
    state.folder = owner;
    state.previousCampaign = owner;
    saveRecentSelection(state);
}

// A campaign run in a freshly started program.
inline void runCampaignAfterStart(std::u16string_view chosen) {
    SetupState state;
    loadRecentSelection(state);
    runCampaign(state, chosen);
}

// The game's own files before any change: data\ (caches, record and backup tree aside) with
// each kept copy in place of the changed file.
inline Snapshot originalGameFiles() {
    Snapshot originals;
    for (const auto& [path, bytes] : snapshot(u"data")) {
        if (path.ends_with(u"\\") || path.ends_with(u".strings.bin") ||
            path == u"campaign\\recent.txt" || path.starts_with(u"campaign\\backup\\")) {
            continue;
        }
        originals[path] = bytes;
    }
    for (const auto& [path, bytes] : snapshot(u"data\\campaign\\backup")) {
        if (!path.ends_with(u"\\")) {
            originals[path] = bytes;
        }
    }
    return originals;
}

// The originals found neither in data\ nor kept in the backup tree.
inline std::string lostOriginals(const Snapshot& originals) {
    std::string lost;
    for (const auto& [path, bytes] : originals) {
        const bool inData = testing_support::readFile(u"data\\" + path) == bytes;
        const bool kept = testing_support::readFile(u"data\\campaign\\backup\\" + path) == bytes;
        if (!inData && !kept) {
            lost += " " + testing_support::utf8(path);
        }
    }
    return lost;
}

// Save games are files named "<campaign>-<n>.sav" holding their own name.
inline void writeSaves(std::u16string_view folder, std::u16string_view campaign, int count) {
    for (int i = 1; i <= count; ++i) {
        const std::string name = testing_support::utf8(campaign) + "-" + std::to_string(i) + ".sav";
        testing_support::writeFile(std::u16string(folder) + u"\\" + platform::utf8ToUtf16(name),
                                   name);
    }
}

// What is wrong with the save games: each must exist once, hold its own name, and sit in
// its campaign's folder ("save_<c>" and its ".old" siblings, or "saves" for the campaign
// recent.txt names).
inline std::string saveProblems(const std::vector<std::string>& expectedSaves) {
    std::string problems;
    SetupState record;
    const std::string owner = loadRecentSelection(record) && record.hasCampaign
                                  ? testing_support::utf8(record.folder)
                                  : std::string("none");
    std::map<std::string, int> seen;
    std::vector<platform::FolderEntry> folders;
    platform::listFolder(u"*", folders);
    for (const auto& folder : folders) {
        const std::string name = testing_support::utf8(folder.name);
        std::string campaign;
        if (name == "saves") {
            campaign = owner;
        } else if (name.starts_with("save_")) {
            campaign = name.substr(5, name.find(".old") - 5); // npos - 5 still takes the rest
        } else {
            continue;
        }
        for (const auto& [file, bytes] : snapshot(folder.name)) {
            const std::string fileName = testing_support::utf8(file);
            ++seen[fileName];
            if (bytes != fileName) {
                problems += " " + fileName + " changed;";
            }
            if (!fileName.starts_with(campaign + "-")) {
                problems += " " + fileName + " in " + name + " (owner " + campaign + ");";
            }
        }
    }
    for (const std::string& save : expectedSaves) {
        if (seen[save] != 1) {
            problems += " " + save + " found " + std::to_string(seen[save]) + " times;";
        }
    }
    return problems;
}

} // namespace backup_testing
