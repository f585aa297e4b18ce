// The program's entry: the two window classes, the main window, the message loop.
#include "app/main_window.h"
#include "platform/game_folder_claim.h"
#include "platform/wide_text.h"

#include <commctrl.h>

#include <cstdint>
#include <memory>

namespace {

// The Script Handler's messages go through dialog navigation, so Tab, Shift+Tab and
// Space move between and toggle its boxes.
int runMessageLoop(const ProgramContext& program) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND scriptHandler = program.scriptHandler.window;
        if (scriptHandler != nullptr && IsDialogMessageW(scriptHandler, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// The copy that works in this folder comes forward: its main window, or what that window
// has open in front of it (the Script Handler, an error box). False when it shows no window
// (it is still starting, or it is the command-line runner) or could not be brought forward.
bool bringRunningCopyForward(std::uint64_t folderKey) {
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, mainWindowClassName, nullptr)) != nullptr;) {
        if (folderKey != 0 &&
            reinterpret_cast<std::uintptr_t>(GetPropW(window, gameFolderProperty)) == folderKey) {
            HWND front = GetLastActivePopup(window);
            return IsWindowVisible(front) && SetForegroundWindow(front);
        }
    }
    return false;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything touches the game folder: a second copy would take the running one's
    // temporary files and marker for a crash's leftovers. It changes nothing there and ends.
    platform::GameFolderClaim claim;
    if (!platform::claimGameFolder(claim)) {
        if (!bringRunningCopyForward(claim.key)) {
            MessageBoxW(nullptr, toWide(platform::gameFolderBusyMessage).c_str(), L"Dravik Setup",
                        MB_OK | MB_ICONINFORMATION);
        }
        return 0;
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    auto program = std::make_unique<ProgramContext>(); // ends before the claim
    program->gameFolderKey = claim.key;
    connectErrorBox(*program);
    registerWindowClass(instance, mainWindowProc, mainWindowClassName);
    registerWindowClass(instance, scriptHandlerProc, scriptHandlerClassName);
    if (!createMainWindow(*program, instance)) {
        return 0;
    }
    return runMessageLoop(*program);
}
