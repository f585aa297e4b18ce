// The "Script Handler" window: one check box per script that works for the chosen
// campaign, hover descriptions, groups, required groups, and OK starting the campaign run.
#pragma once

#include <windows.h>

#include "scripts/script_selection.h"

#include <cstdint>
#include <vector>

struct ProgramContext;
struct ScriptEntry;

// The window's state, rebuilt at every opening; at most one window at a time.
struct ScriptHandler {
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
// The main window has filled chosenCampaignFolder and choiceDisplayName.
void openScriptHandler(ProgramContext& program, int campaignIndex);

// Makes the script's check box at the layout cursor and grows the window by one row.
void addScriptBox(ProgramContext& program, ScriptEntry& script);

LRESULT CALLBACK scriptHandlerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
