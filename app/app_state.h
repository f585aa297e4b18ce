// The process-wide state: one record, owned by the program's entry (or by a test), handed
// to the operations that need it.
#pragma once

#include "app/error_box.h"
#include "app/progress_animation.h"
#include "catalogue/scan_catalogue.h"
#include "patch/patch_records.h"
#include "recent/setup_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

struct AppState {
    void* mainWindow = nullptr; // HWND of the main window, when there is one
    void* appInstance = nullptr;

    Catalogue catalogue;
    std::array<bool, maxScripts> scriptSelected{};
    std::int16_t selectedTranslation = 0;
    std::u16string chosenCampaignFolder; // the whole folder name (never cut)
    std::u16string choiceDisplayName;

    SetupState setupState;
    TouchedFileList* touchedFiles = nullptr; // the campaign run's list while it works
    ProgressAnimation progress;
    bool campaignListShown = false;
    bool translationListShown = false;

    ErrorSink errors;
    std::u16string currentDirectory; // asked once, at the first run that needs it

    // Repaints, focuses, brings forward and enables the main window (finishRun's last
    // step); empty without windows.
    std::function<void()> handBackMainWindow;
};
