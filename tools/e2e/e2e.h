// What the end-to-end driver and the main job's walk-through share to work a running
// DravikSetup.exe from outside: its process, its windows and controls, files, screenshots.
#pragma once

#include <windows.h>

#include <algorithm>
using std::max; // the GDI+ headers want both, and the COM types
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

inline std::wstring wide(const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    text.data(), static_cast<int>(text.size())));
    return text;
}

// Printable UTF-8, line breaks shown as \n.
inline std::string shown(const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     nullptr));
    for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; at += 2) {
        bytes.replace(at, 1, "\\n");
    }
    return bytes;
}

// A Unix path handed over by ctest ("/work/...") is the Wine drive path "Z:\work\...".
inline std::wstring windowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        path = L"Z:" + path;
        std::replace(path.begin(), path.end(), L'/', L'\\');
    }
    return path;
}

inline void makeFolders(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

inline bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (; !condition(); Sleep(20)) {
        if (GetTickCount64() >= end) {
            return false;
        }
    }
    return true;
}

// ---- the program ---------------------------------------------------------------------------

inline PROCESS_INFORMATION startProgram(const std::wstring& exe, const std::wstring& folder) {
    PROCESS_INFORMATION process{};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"";
    CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                   folder.c_str(), &startup, &process);
    return process;
}

// The exit code, or -1 when the program did not end in time (it is then ended).
inline long waitForExit(PROCESS_INFORMATION& process, int milliseconds) {
    if (process.hProcess == nullptr) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, code);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
    return static_cast<long>(code);
}

// The program's visible top-level window of that class ("#32770" for message boxes).
inline HWND findWindow(const PROCESS_INFORMATION& process, const wchar_t* className) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr));) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == process.dwProcessId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

inline std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!window ||
        !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &length)) {
        return L"<no window>";
    }
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 3000, &length);
    text.resize(length);
    return text;
}

// The main window's status label is its static control 156 pixels wide, the frame 160.
inline HWND staticOfWidth(HWND parent, LONG width) {
    for (HWND child = nullptr; parent && (child = FindWindowExW(parent, child, L"Static", nullptr));) {
        RECT rect{};
        GetWindowRect(child, &rect);
        if (rect.right - rect.left == width) {
            return child;
        }
    }
    return nullptr;
}

// A message box's text: the longest static text in it.
inline std::wstring messageBoxText(HWND box) {
    std::wstring longest;
    for (HWND child = nullptr; box && (child = FindWindowExW(box, child, L"Static", nullptr));) {
        const std::wstring text = textOf(child);
        longest = text.size() > longest.size() ? text : longest;
    }
    return longest;
}

// ---- screenshots ---------------------------------------------------------------------------

// Saves the screen area of the given windows (their union) as a PNG.
inline bool screenshot(const std::vector<HWND>& windows, const std::wstring& path) {
    RECT area{};
    for (HWND window : windows) {
        RECT rect{};
        if (window && GetWindowRect(window, &rect)) {
            UnionRect(&area, &area, &rect);
        }
    }
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen)) {
        return false;
    }
    static ULONG_PTR gdiplus = [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        return token;
    }();
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDc, area.right - area.left, area.bottom - area.top);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, area.right - area.left, area.bottom - area.top, screenDc, area.left,
           area.top, SRCCOPY);
    SelectObject(memory, previous);
    const CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const bool saved = gdiplus && Gdiplus::Bitmap(bitmap, nullptr).Save(path.c_str(), &png, nullptr) == 0;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
    return saved;
}

} // namespace e2e
