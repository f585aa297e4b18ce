#include "backup/switch_campaign.h"

#include "backup/restore_backup.h"
#include "platform/file_system.h"

#include <string>

namespace {

constexpr std::u16string_view savesFolder = u"saves";

// A path is taken as missing only when two looks agree: one look that fails for another
// reason (a scanner holding the folder a moment) must not pass for "not there".
bool surelyMissing(std::u16string_view path) {
    return !platform::pathExists(path) && !platform::pathExists(path);
}

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
    int failures = 0;
    for (int number = 1; number <= lastNumber;) {
        const std::u16string candidate =
            folder + u".old" + (number == 1 ? u"" : numberText(number));
        if (platform::renameFile(folder, candidate)) {
            return true;
        }
        if (platform::pathExists(candidate)) {
            ++number; // taken: try the next name
        } else if (++failures > 2) {
            return false;
        }
    }
    return false;
}

// Parks "saves" as `parked`. A stale folder of that name is moved aside first, so the
// previous campaign's save games never stay behind in "saves" for the next campaign.
// True when "saves" is gone: parked now, or not there at all (then an existing `parked`
// is the previous campaign's parked folder, not a stale one, and is left alone).
bool parkSaves(const std::u16string& parked) {
    constexpr int attempts = 3;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (platform::renameFile(savesFolder, parked)) {
            return true;
        }
        if (surelyMissing(savesFolder)) {
            return true;
        }
        if (platform::pathExists(parked)) {
            moveAside(parked);
        }
    }
    return false;
}

bool recordChosen(std::u16string_view chosen, SetupState& state) {
    state.folder = std::u16string(chosen);
    state.recordedScriptList.clear();
    return saveRecentSelection(state) || saveRecentSelection(state);
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
    if (!isPlainFolderName(previous) || !parkSaves(u"save_" + previous)) {
        return false; // "saves" still holds the previous campaign's games and stays theirs
    }
    // "saves" holds nobody's games now: record the chosen campaign before its games come
    // in, so that recent.txt always names the campaign whose games "saves" holds.
    if (!recordChosen(chosen, state)) {
        return false;
    }
    const std::u16string chosenParked = u"save_" + std::u16string(chosen);
    if (!platform::renameFile(chosenParked, savesFolder) &&
        !platform::renameFile(chosenParked, savesFolder)) {
        platform::createFolder(savesFolder); // no parked folder yet: a new campaign
    }
    return true;
}

bool switchCampaign(std::u16string_view chosen, SetupState& state) {
    const bool savesSwitched = switchSaveFolders(chosen, state);
    restoreBackup();
    installCampaignFiles(chosen);
    return savesSwitched;
}
