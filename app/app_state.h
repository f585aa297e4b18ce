// The process-wide state: one record, owned by the program's entry (or by a test), handed
// to the operations that need it.
#pragma once

#include "app/progress_animation.h"
#include "catalogue/scan_catalogue.h"
#include "patch/patch_records.h"
#include "platform/error_sink.h"
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

    // finishRun's last step, once per run: shows the final status text and repaints,
    // focuses, brings forward and enables the main window. The program hands both to the
    // window's thread in one posted message; tests and the runner record the text.
    std::function<void(const std::u16string& status)> handBackMainWindow;
};
