// The program's entry: the two window classes, the main window, the message loop.
#include "app/main_window.h"

#include <commctrl.h>

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

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    auto program = std::make_unique<ProgramContext>();
    connectErrorBox(*program);
    registerWindowClass(instance, mainWindowProc, mainWindowClassName);
    registerWindowClass(instance, scriptHandlerProc, scriptHandlerClassName);
    if (!createMainWindow(*program, instance)) {
        return 0;
    }
    return runMessageLoop(*program);
}
