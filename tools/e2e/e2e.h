// What the end-to-end driver and the main job's walk-through share: DravikSetup.exe from outside.
#pragma once

#include <windows.h>

#include <objidl.h> // the GDI+ headers want the COM types, std::min and std::max

#include <algorithm>
#include <functional>
#include <string>
#include <vector>
using std::max, std::min;

#include <gdiplus.h>

namespace e2e {

inline std::string utf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     nullptr));
    return bytes;
}

// A Unix path handed over by ctest ("/work/...") is the Wine drive path "Z:\work\...".
inline std::wstring windowsPath(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path.rfind(L'\\', 0) == 0 ? L"Z:" + path : path;
}

inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 10000) {
    for (const ULONGLONG end = GetTickCount64() + milliseconds; !condition(); Sleep(20)) {
        if (GetTickCount64() >= end) {
            return false;
        }
    }
    return true;
}

inline PROCESS_INFORMATION startProgram(std::wstring exe, const std::wstring& folder) {
    PROCESS_INFORMATION process{};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    CreateProcessW(exe.c_str(), exe.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                   &startup, &process);
    CloseHandle(process.hThread);
    return process;
}

// The exit code, or -1 when the program did not end in time (it is then ended).
inline long waitForExit(PROCESS_INFORMATION& process, int milliseconds) {
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code)) {
        TerminateProcess(process.hProcess, code);
    }
    CloseHandle(process.hProcess);
    process = {};
    return static_cast<long>(code);
}

// The program's visible top-level window of that class ("#32770" for message boxes); with
// `visibleOnly` false, a hidden one as well.
inline HWND findWindow(const PROCESS_INFORMATION& process, const wchar_t* className,
                       bool visibleOnly = true) {
    HWND window = nullptr;
    DWORD id = 0;
    while ((window = FindWindowExW(nullptr, window, className, nullptr)) &&
           !(GetWindowThreadProcessId(window, &id) && id == process.dwProcessId &&
             (!visibleOnly || IsWindowVisible(window)))) {
    }
    return window;
}

inline std::wstring textOf(HWND window) {
    wchar_t text[5000]; // the longest message
    DWORD_PTR length = 0;
    return window && SendMessageTimeoutW(window, WM_GETTEXT, 5000, reinterpret_cast<LPARAM>(text),
                                         SMTO_ABORTIFHUNG, 3000, &length)
               ? std::wstring(text, length)
               : L"";
}

// The static control of that width (the main window's status label is 156 pixels wide, its
// frame 160); of width 0, the one with the longest text (a message box's message).
inline HWND staticOf(HWND parent, LONG width) {
    HWND found = nullptr;
    RECT rect{};
    for (HWND item = nullptr; parent && (item = FindWindowExW(parent, item, L"Static", nullptr));) {
        GetWindowRect(item, &rect);
        if (width ? rect.right - rect.left == width : textOf(item).size() > textOf(found).size()) {
            found = item;
        }
    }
    return found;
}

// Saves the screen area of the given windows (their union) as a PNG.
inline bool screenshot(const std::vector<HWND>& windows, const std::wstring& path) {
    RECT area{}, rect{};
    for (HWND window : windows) {
        if (window && GetWindowRect(window, &rect)) {
            UnionRect(&area, &area, &rect);
        }
    }
    ULONG_PTR token = 0; // GDI+ stays started: the programs take few screenshots and then end
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right - area.left, area.bottom - area.top);
    SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left,
           area.top, SRCCOPY);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const bool saved =
        Gdiplus::Bitmap(bitmap, nullptr).Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    DeleteObject(bitmap);
    return saved;
}

} // namespace e2e
