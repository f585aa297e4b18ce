#include "backup/switch_campaign.h"

#include "backup/restore_backup.h"
#include "catalogue/game_paths.h"
#include "platform/file_system.h"

#include <string>

namespace {

std::u16string numberText(int number) {
    std::u16string text;
    for (const char c : std::to_string(number)) {
        text += static_cast<char16_t>(c);
    }
    return text;
}

// Moves a stale parked folder to the first free name of "<folder>.old", "<folder>.old2",
// ... Nothing is deleted; the player can look into it later.
bool moveAside(const std::u16string& folder) {
    constexpr int lastNumber = 1000;
    for (int number = 1; number <= lastNumber; ++number) {
        const std::u16string candidate =
            folder + u".old" + (number == 1 ? u"" : numberText(number));
        if (platform::renameFile(folder, candidate)) {
            return true;
        }
        if (!platform::pathExists(candidate)) {
            return false; // not a taken name: the folder cannot be moved at all
        }
    }
    return false;
}

// Parks "saves" as `parked`. A stale folder of that name is moved aside first, so the
// previous campaign's save games never stay behind in "saves" for the next campaign.
// True when "saves" is gone: parked now, or not there at all (then an existing `parked`
// is the previous campaign's parked folder, not a stale one, and is left alone).
bool parkSaves(const std::u16string& parked) {
    if (platform::renameFile(savesFolder, parked) || platform::pathMissing(savesFolder)) {
        return true;
    }
    return platform::pathExists(parked) && moveAside(parked) &&
           platform::renameFile(savesFolder, parked);
}

bool recordChosen(std::u16string_view chosen, SetupState& state) {
    state.folder = std::u16string(chosen);
    state.recordedScriptList.clear();
    return saveRecentSelection(state);
}

} // namespace

bool switchSaveFolders(std::u16string_view chosen, SetupState& state) {
    if (chosen.empty()) {
        return false;
    }
    // The whole name, not a cut copy: a name cut for parking would never be found again
    // when the campaign is chosen by its whole name.
    const std::u16string& previous = state.previousCampaign;
    if (previous.empty() || previous == u"none") {
        // First use: what is in "saves" belongs to no campaign yet; the chosen one takes it.
        platform::createFolder(savesFolder);
        recordChosen(chosen, state);
        return true;
    }

    // A recorded name that is no folder name (a hand-edited record) cannot have a parked
    // folder: "save_..\\x" would move the save games somewhere else entirely.
    if (!isPlainFolderName(previous) || !parkSaves(parkedSavesFolder(previous))) {
        return false; // "saves" still holds the previous campaign's games and stays theirs
    }
    // "saves" holds nobody's games now: record the chosen campaign before its games come
    // in, so that recent.txt always names the campaign whose games "saves" holds.
    if (!recordChosen(chosen, state)) {
        return false;
    }
    // An empty "saves" only for a campaign that has no parked folder yet: one that could not
    // be brought in stays parked, and the game makes "saves" afresh.
    const std::u16string chosenParked = parkedSavesFolder(chosen);
    if (!platform::renameFile(chosenParked, savesFolder) && platform::pathMissing(chosenParked)) {
        platform::createFolder(savesFolder);
    }
    return true;
}

bool switchCampaign(std::u16string_view chosen, SetupState& state) {
    const bool reapplied = state.previousCampaign == chosen;
    const bool savesSwitched = switchSaveFolders(chosen, state);
    if (reapplied) {
        const InstalledCopies unchanged = unchangedInstalledCopies(chosen);
        restoreBackup(&unchanged);
        installCampaignFiles(chosen, {}, &unchanged);
    } else {
        restoreBackup();
        installCampaignFiles(chosen);
    }
    return savesSwitched;
}
