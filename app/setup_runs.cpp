#include "app/setup_runs.h"

#include "backup/remove_leftovers.h"
#include "backup/switch_campaign.h"
#include "catalogue/game_paths.h"
#include "patch/open_texts.h"
#include "patch/run_patch_script.h"
#include "platform/file_system.h"
#include "translation/translation_entry.h"

namespace {

// After a save the record in memory is what recent.txt holds; should a later reading of the
// file fail, the run still records from the right values.
void markRecordComplete(SetupState& state) {
    state.hasCampaign = true;
    state.hasScripts = true;
    state.hasTranslation = true;
}

} // namespace

void markRunStarted() {
    platform::writeWholeFile(unfinishedRunMarker, "");
}

void markRunFinished() {
    if (platform::temporaryFilesLeft() == 0) {
        platform::deleteFile(unfinishedRunMarker);
    }
}

void confirmCampaignChoice(AppState& app, const std::array<bool, maxScripts>& checked) {
    SetupState& state = app.setupState;
    const std::u16string keptTranslation =
        state.hasTranslation ? state.translation : std::u16string(u"none");
    clearRecentSelection(state);
    state.translation = limitText(keptTranslation, folderCapacity);
    app.scriptSelected = checked;
}

void runCampaignSetup(AppState& app) {
    SetupState& state = app.setupState;
    markRunStarted();
    TouchedFileList touched = createTouchedFileList();
    app.touchedFiles = &touched;

    // The whole folder name: a cut one would install from, and record, a folder that does
    // not exist.
    const std::u16string chosen = app.chosenCampaignFolder;
    const std::u16string previous = state.previousCampaign;
    const bool savesSwitched = switchCampaign(chosen, state);
    if (!savesSwitched) {
        showError(app.errors,
                  u"The save folders could not be switched: \"saves\" still holds the "
                  u"save games of %s.",
                  {previous});
    }

    // The scripts work on the run's files in memory; each changed file is written once, after
    // the last script.
    OpenTexts texts;
    PatchContext context{app.errors, &touched, &texts};
    const auto& scripts = app.catalogue.scriptList;
    for (std::size_t slot = 0; slot < maxScripts; ++slot) {
        if (!app.scriptSelected[slot] || slot >= scripts.size()) {
            continue;
        }
        const ScriptEntry& entry = scripts[slot];
        // Whole names: a path built from a cut name would name another file.
        ScriptJob job{entry.folder, scriptDescriptorPath(entry.fileName), entry.fileName};
        runPatchScript(job, context);
        // Recorded whatever the outcome: the script may have changed files before failing.
        appendRecordedScript(state, entry.fileName);
    }
    writeOpenTexts(texts, app.errors);

    app.touchedFiles = nullptr;
    // The record names the campaign whose save games are in "saves": when they could not be
    // parked, that is still the previous campaign, and the next switch parks them under its
    // name.
    const std::u16string& owner = savesSwitched ? chosen : previous;
    state.folder = owner;
    state.previousCampaign = owner;
    if (saveRecentSelection(state)) {
        markRecordComplete(state);
    }
    markRunFinished();
    finishRun(app);
}

void runTranslationSetup(AppState& app) {
    SetupState& state = app.setupState;
    markRunStarted();
    const auto& packs = app.catalogue.translationList;
    if (app.selectedTranslation >= 0 &&
        static_cast<std::size_t>(app.selectedTranslation) < packs.size()) {
        PatchContext context{app.errors, nullptr};
        applyTranslationPack(packs[static_cast<std::size_t>(app.selectedTranslation)], context);
    }

    // A record that exists but cannot be read now is left alone: rewriting it from memory
    // could name the wrong owner of "saves".
    const bool loaded = loadRecentSelection(state);
    if (loaded || platform::pathMissing(recentSelectionPath)) {
        const std::u16string keptCampaign =
            state.hasCampaign ? state.folder : std::u16string(u"none");
        const std::u16string keptScripts =
            state.hasScripts ? state.recordedScriptList : std::u16string(u"none");
        clearRecentSelection(state);
        state.folder = limitText(keptCampaign, folderCapacity);
        state.recordedScriptList = limitText(keptScripts + u" ", recordedScriptListCapacity);
        state.translation = limitText(app.choiceDisplayName, folderCapacity);
        if (saveRecentSelection(state)) {
            markRecordComplete(state);
        }
    }
    markRunFinished();
    finishRun(app);
}

bool recoverFromUnfinishedRun(const ErrorSink& errors) {
    if (!platform::pathExists(unfinishedRunMarker)) {
        return false;
    }
    // Leftovers first: should this stop too, the marker is still there for the next start,
    // which says it then. Said once: only with the marker surely gone.
    removeLeftovers();
    if (!platform::deleteFile(unfinishedRunMarker) && !platform::pathMissing(unfinishedRunMarker)) {
        return false;
    }
    showError(errors, unfinishedRunMessage);
    return true;
}

void finishRun(AppState& app) {
    const std::u16string status = stopProgress(app.progress, app.choiceDisplayName);
    if (app.handBackMainWindow) {
        app.handBackMainWindow(status);
    }
}
