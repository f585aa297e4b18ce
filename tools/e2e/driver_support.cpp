#include "driver_support.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace e2e {

// ---- checks ------------------------------------------------------------------------------

Report& report() {
    static Report theReport; // the driver is one short-lived test process
    return theReport;
}

void beginScenario(const std::string& name) {
    report().scenario = name;
    std::printf("== %s\n", name.c_str());
    std::fflush(stdout);
}

bool check(bool ok, const std::string& what) {
    ++report().checks;
    if (!ok) {
        ++report().failures;
        std::printf("FAIL [%s] %s\n", report().scenario.c_str(), what.c_str());
        std::fflush(stdout);
    }
    return ok;
}

std::string utf8(const std::wstring& text) {
    std::wstring shown;
    for (wchar_t c : text) {
        if (c == L'\n') {
            shown += L"\\n";
        } else if (c == L'\r') {
            shown += L"\\r";
        } else {
            shown += c;
        }
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), bytes.data(),
                        size, nullptr, nullptr);
    return bytes;
}

bool checkText(const std::wstring& actual, const std::wstring& expected, const std::string& what) {
    return check(actual == expected,
                 what + ": \"" + utf8(actual) + "\", expected \"" + utf8(expected) + "\"");
}

namespace {
std::string printable(const std::string& bytes) {
    std::string shown;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c < 32 || c > 126) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}
} // namespace

bool checkBytes(const std::string& actual, const std::string& expected, const std::string& what) {
    return check(actual == expected, what + ": \"" + printable(actual) + "\", expected \"" +
                                         printable(expected) + "\"");
}

bool checkRect(const RECT& actual, int x, int y, int width, int height, const std::string& what) {
    char text[200];
    std::snprintf(text, sizeof(text), "%s: (%ld, %ld) %ld x %ld, expected (%d, %d) %d x %d",
                  what.c_str(), actual.left, actual.top, actual.right - actual.left,
                  actual.bottom - actual.top, x, y, width, height);
    return check(actual.left == x && actual.top == y && actual.right - actual.left == width &&
                     actual.bottom - actual.top == height,
                 text);
}

// ---- files -------------------------------------------------------------------------------

std::wstring windowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') {
        return path;
    }
    std::wstring converted = L"Z:" + path;
    std::replace(converted.begin(), converted.end(), L'/', L'\\');
    return converted;
}

void makeFolders(const std::wstring& path) {
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') {
            const std::wstring part = path.substr(0, i);
            if (!part.empty() && part.back() != L':') {
                CreateDirectoryW(part.c_str(), nullptr);
            }
        }
    }
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) {
        makeFolders(path.substr(0, slash));
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!check(file != INVALID_HANDLE_VALUE, "write " + utf8(path))) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
template <typename Visit> void forEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void snapshotInto(const std::wstring& folder, const std::wstring& prefix,
                  std::vector<std::pair<std::wstring, std::string>>& files) {
    forEachEntry(folder, [&](const std::wstring& name, bool isFolder) {
        if (isFolder) {
            snapshotInto(folder + L"\\" + name, prefix + name + L"\\", files);
        } else {
            files.emplace_back(prefix + name, readFile(folder + L"\\" + name));
        }
    });
}
} // namespace

void removeTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(path.c_str());
        return;
    }
    forEachEntry(path, [&](const std::wstring& name, bool) { removeTree(path + L"\\" + name); });
    RemoveDirectoryW(path.c_str());
}

std::vector<std::pair<std::wstring, std::string>> snapshotTree(const std::wstring& folder) {
    std::vector<std::pair<std::wstring, std::string>> files;
    snapshotInto(folder, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}

std::string backgroundBitmap() {
    constexpr int width = 640;
    constexpr int height = 480;
    constexpr int rowBytes = width * 3;
    std::string bytes(54 + rowBytes * height, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<std::uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, rowBytes * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = 54 + static_cast<std::size_t>(y) * rowBytes + x * 3;
            bytes[at] = static_cast<char>(90 + y / 4);     // blue
            bytes[at + 1] = static_cast<char>(60 + x / 8); // green
            bytes[at + 2] = static_cast<char>(40 + y / 6); // red
        }
    }
    return bytes;
}

// ---- waiting -----------------------------------------------------------------------------

bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (true) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(20);
    }
}

void pause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

// ---- the program -------------------------------------------------------------------------

Program startProgram(const std::wstring& exe, const std::wstring& folder, bool waitForMain) {
    Program program;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"";
    program.started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, folder.c_str(), &startup, &program.process) != FALSE;
    if (!check(program.started, "start " + utf8(exe))) {
        return program;
    }
    if (waitForMain) {
        waitUntil([&] { return (program.main = findWindow(program, L"Dravik-Setup")) != nullptr; },
                  20000);
        check(program.main != nullptr, "the main window appears");
    }
    return program;
}

long waitForExit(Program& program, int milliseconds) {
    if (!program.started) {
        return -1;
    }
    if (WaitForSingleObject(program.process.hProcess, static_cast<DWORD>(milliseconds)) !=
        WAIT_OBJECT_0) {
        endProgram(program);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
    program.started = false;
    return static_cast<long>(code);
}

void endProgram(Program& program) {
    if (!program.started) {
        return;
    }
    if (program.main != nullptr && IsWindow(program.main)) {
        PostMessageW(program.main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(program.process.hProcess, 5000) == WAIT_OBJECT_0) {
            CloseHandle(program.process.hProcess);
            CloseHandle(program.process.hThread);
            program.started = false;
            return;
        }
    }
    TerminateProcess(program.process.hProcess, 99);
    WaitForSingleObject(program.process.hProcess, 5000);
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
    program.started = false;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64];
    if (processId == search.processId && IsWindowVisible(window) &&
        GetClassNameW(window, className, 64) > 0 && std::wstring(className) == search.className) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    HWND parent;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK matchChild(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<ChildSearch*>(data);
    wchar_t className[64];
    if (GetParent(window) == search.parent && GetClassNameW(window, className, 64) > 0 &&
        lstrcmpiW(className, search.className) == 0) {
        search.found.push_back(window);
    }
    return TRUE;
}
} // namespace

HWND findWindow(const Program& program, const wchar_t* className) {
    WindowSearch search{program.process.dwProcessId, className, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- controls ----------------------------------------------------------------------------

std::wstring textOf(HWND window) {
    if (window == nullptr) {
        return L"<no window>";
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &length)) {
        return L"<no answer>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 3000, &copied);
    text.resize(copied);
    return text;
}

RECT rectInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool isChecked(HWND box) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 3000, &state);
    return state == BST_CHECKED;
}

std::vector<HWND> childrenOf(HWND parent, const wchar_t* className) {
    ChildSearch search{parent, className, {}};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring messageBoxText(HWND box) {
    std::wstring longest;
    for (HWND child : childrenOf(box, L"Static")) {
        const std::wstring text = textOf(child);
        if (text.size() > longest.size()) {
            longest = text;
        }
    }
    return longest;
}

void clickOk(HWND messageBox) {
    HWND ok = GetDlgItem(messageBox, IDOK);
    if (ok != nullptr) {
        postClick(ok);
    } else {
        PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
    }
}

void postClick(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

HWND focusOf(const Program& program) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(program.process.dwThreadId, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

// ---- real input --------------------------------------------------------------------------

void moveMouseTo(int x, int y) {
    SetCursorPos(x, y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    Sleep(60);
}

void moveMouseOnto(HWND control, int dx, int dy) {
    RECT rect{};
    GetWindowRect(control, &rect);
    moveMouseTo((rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2 + dy);
}

void realClick(HWND control) {
    moveMouseOnto(control);
    std::array<INPUT, 2> inputs{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(40);
    SendInput(1, &inputs[1], sizeof(INPUT));
    Sleep(120);
}

void pressAndReleaseElsewhere(HWND control, HWND elsewhere) {
    moveMouseOnto(control);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(80);
    moveMouseOnto(elsewhere);
    input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(120);
}

void pressKey(WORD key, bool shift) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD code, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (shift) {
        add(VK_SHIFT, false);
    }
    add(key, false);
    add(key, true);
    if (shift) {
        add(VK_SHIFT, true);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(150);
}

// ---- screenshots -------------------------------------------------------------------------

namespace {
std::uint32_t crc32(const std::string& bytes, std::size_t from) {
    static std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        c = table[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void putBig32(std::string& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((value >> shift) & 0xFF);
    }
}

void addChunk(std::string& png, const char* type, const std::string& data) {
    putBig32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png += type;
    png += data;
    putBig32(png, crc32(png, start));
}

// An RGB PNG with stored (uncompressed) deflate blocks: no library needed.
std::string encodePng(int width, int height, const std::vector<unsigned char>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(rgb.data()) +
                       static_cast<std::size_t>(y) * width * 3,
                   static_cast<std::size_t>(width) * 3);
    }
    std::string zlib = "\x78\x01";
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
        zlib += static_cast<char>(at + length >= raw.size() ? 1 : 0);
        zlib += static_cast<char>(length & 0xFF);
        zlib += static_cast<char>(length >> 8);
        zlib += static_cast<char>(~length & 0xFF);
        zlib += static_cast<char>((~length >> 8) & 0xFF);
        zlib.append(raw, at, length);
        if (raw.empty()) {
            break;
        }
    }
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(zlib, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    addChunk(png, "IHDR", header);
    addChunk(png, "IDAT", zlib);
    addChunk(png, "IEND", "");
    return png;
}
} // namespace

bool screenshot(const std::vector<HWND>& windows, const std::wstring& path) {
    RECT area{};
    bool first = true;
    for (HWND window : windows) {
        RECT rect{};
        if (window == nullptr || !GetWindowRect(window, &rect)) {
            continue;
        }
        if (first) {
            area = rect;
            first = false;
        } else {
            UnionRect(&area, &area, &rect);
        }
    }
    if (first) {
        return false;
    }
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    Sleep(300); // let the windows finish painting
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDc, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screenDc, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> bgra(static_cast<std::size_t>(width) * height * 4);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bgra.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);

    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0, j = 0; i < bgra.size(); i += 4, j += 3) {
        rgb[j] = bgra[i + 2];
        rgb[j + 1] = bgra[i + 1];
        rgb[j + 2] = bgra[i];
    }
    writeFile(path, encodePng(width, height, rgb));
    std::printf("   screenshot: %s\n", utf8(path).c_str());
    return true;
}

} // namespace e2e
