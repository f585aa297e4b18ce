// The program's error sink. Run threads call it too: the box then blocks only that thread
// while the animation goes on.
#include "app/main_window.h"
#include "platform/wide_text.h"

void connectErrorBox(ProgramContext& program) {
    program.app.errors.show = [&program](const std::u16string& text) {
        HWND owner = mainWindowOf(program);
        const std::wstring wide = toWide(text);
        // A modal box enables its owner again when it closes; a main window disabled by a
        // run or by the Script Handler must stay so.
        const bool ownerDisabled = owner != nullptr && !IsWindowEnabled(owner);
        const int result = MessageBoxW(owner, wide.c_str(), L"Error", MB_OK | MB_ICONERROR);
        if (ownerDisabled) {
            EnableWindow(owner, FALSE);
        }
        if (result != 0 && owner != nullptr) {
            UpdateWindow(owner);
        }
    };
}
