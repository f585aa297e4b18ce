// The main window "Dravik-Setup": its class, its creation with the start-up scan, its
// message handler, and the start of a run from the user interface thread.
#pragma once

#include <windows.h>

#include "app/app_state.h"
#include "platform/fonts.h"
#include "scripts/script_handler_window.h"

#include <cstdint>
#include <string>

// Everything the windows share: the process-wide state and what only the windows need.
// One instance, owned by the program's entry and handed to every window procedure.
struct ProgramContext {
    AppState app;
    HWND statusFrame = nullptr;
    HWND statusLabel = nullptr;
    FontTable fonts;
    ScriptHandler scriptHandler;
    std::u16string finalStatus;      // the status text of the run that ended last
    std::uint64_t gameFolderKey = 0; // the claim's key of the game folder (game_folder_claim.h)
};

inline constexpr wchar_t mainWindowClassName[] = L"Dravik-Setup";

// The main window's property holding gameFolderKey: a second copy started in the same folder
// finds the window to bring forward by it (properties are read across processes).
inline constexpr wchar_t gameFolderProperty[] = L"DravikSetup.GameFolder";

// Posted by a run thread at its end: the main window shows finalStatus, repaints, takes
// the focus, comes to the foreground and is enabled, all on its own thread.
inline constexpr UINT handBackMessage = WM_APP + 1;

// Registers one class: redraw on resize, icons 107 and 108, arrow cursor, button-face
// background. The result is ignored by the caller.
void registerWindowClass(HINSTANCE instance, WNDPROC handler, const wchar_t* className);

// The main window and its controls, the catalogue scan, the remembered selection, the
// status label; shows the window. False ends the program.
bool createMainWindow(ProgramContext& program, HINSTANCE instance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline HWND mainWindowOf(const ProgramContext& program) {
    return static_cast<HWND>(program.app.mainWindow);
}

// Starts a run whose choice is already in the state: sets busy, starts the run thread
// and the animation. When the run thread cannot be started the run ends at once as
// finishRun ends it, so the main window never stays disabled.
void startCampaignRun(ProgramContext& program);
void startTranslationRun(ProgramContext& program);

// The program's error sink: a modal box titled "Error", owned by the main window when
// there is one (error_box_win32.cpp).
void connectErrorBox(ProgramContext& program);

// Stores the context pointer handed to CreateWindowExW at WM_NCCREATE and returns it for
// every later message (null before WM_NCCREATE).
ProgramContext* contextOfWindow(HWND window, UINT message, LPARAM lParam);
