// The "Script Handler" window: one check box per script that works for the chosen
// campaign, hover descriptions, groups, required groups, and OK starting the campaign run.
#pragma once

#include <windows.h>

#include "platform/error_sink.h"
#include "platform/fonts.h"
#include "scripts/script_selection.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct ScriptEntry;

// The window's state, rebuilt at every opening; at most one window at a time.
struct ScriptHandler {
    // What the program hands the window: the process-wide state it reads and changes, and
    // the confirmation, which records the choice and starts the campaign run.
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    Catalogue* catalogue = nullptr;
    SetupState* setupState = nullptr;
    const ErrorSink* errors = nullptr;
    FontTable* fonts = nullptr;
    std::atomic<bool>* busy = nullptr; // set while a run works
    std::u16string chosenFolder;
    std::function<void(const std::array<bool, maxScripts>& checked)> confirm;

    HWND window = nullptr;
    HWND description = nullptr; // control 998
    HWND nameFrame = nullptr;   // control 1000
    std::vector<ScriptGroup> groups;
    bool hoverShown = false;
    std::int16_t y = 0; // the layout cursor while the window is built
    int left = 0;       // the window's x, kept while it grows
};

inline constexpr wchar_t scriptHandlerClassName[] = L"Script-Handler";

// Builds and shows the window for campaign `campaignIndex` and disables the main window.
// The program has filled what it hands the window, chosenFolder included.
void openScriptHandler(ScriptHandler& handler, int campaignIndex);

// Makes the script's check box at the layout cursor and grows the window by one row.
void addScriptBox(ScriptHandler& handler, ScriptEntry& script);

LRESULT CALLBACK scriptHandlerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
