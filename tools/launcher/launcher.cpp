// The launcher stand-in: writes "launcher-started.txt" into the current directory (the
// game folder it was started in) and ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    HANDLE mark = CreateFileW(L"launcher-started.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE) {
        return 1;
    }
    const char text[] = "Dravik_Launcher.exe was started here.\r\n";
    DWORD written = 0;
    const BOOL ok = WriteFile(mark, text, sizeof(text) - 1, &written, nullptr);
    CloseHandle(mark);
    return ok ? 0 : 1;
}
