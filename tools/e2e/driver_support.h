// What the end-to-end driver needs to work a running DravikSetup.exe from outside: game
// folders on disk, the program's process, its windows and controls, real mouse and keyboard
// input, and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// ---- checks ------------------------------------------------------------------------------
struct Report {
    int failures = 0;
    int checks = 0;
    std::string scenario;
};
Report& report();
void beginScenario(const std::string& name);
bool check(bool ok, const std::string& what);
bool checkText(const std::wstring& actual, const std::wstring& expected, const std::string& what);
bool checkBytes(const std::string& actual, const std::string& expected, const std::string& what);
bool checkRect(const RECT& actual, int x, int y, int width, int height, const std::string& what);
std::string utf8(const std::wstring& text); // line breaks shown as \n

// ---- files -------------------------------------------------------------------------------
// A Unix path handed over by ctest ("/work/...") becomes the Wine drive path "Z:\work\...".
std::wstring windowsPath(const std::wstring& path);
void makeFolders(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& bytes);
std::string readFile(const std::wstring& path); // "<missing>" when it cannot be read
bool fileExists(const std::wstring& path);
void removeTree(const std::wstring& path);
// Every file below a folder as "relative\path" -> bytes, sorted.
std::vector<std::pair<std::wstring, std::string>> snapshotTree(const std::wstring& folder);
// A 640 x 480 24-bit picture for data\menu\setup_bg.bmp.
std::string backgroundBitmap();

// ---- waiting -----------------------------------------------------------------------------
bool waitUntil(const std::function<bool()>& condition, int milliseconds);
void pause(int milliseconds);

// ---- the program -------------------------------------------------------------------------
struct Program {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
    bool started = false;
};
// Starts the program with `folder` as its current directory and waits (up to 20 s) until
// its main window exists; `main` stays null when it never appears.
Program startProgram(const std::wstring& exe, const std::wstring& folder, bool waitForMain = true);
// The exit code, or -1 when the program did not end in time (it is then ended).
long waitForExit(Program& program, int milliseconds);
void endProgram(Program& program);

// A visible top-level window of the program of that class ("#32770" for message boxes).
HWND findWindow(const Program& program, const wchar_t* className);

// ---- controls ----------------------------------------------------------------------------
std::wstring textOf(HWND window);
// The control's rectangle in its parent's client coordinates.
RECT rectInParent(HWND control);
bool isChecked(HWND box);
// The texts of a message box: its title and the longest static text in it.
std::wstring messageBoxText(HWND box);
void clickOk(HWND messageBox);
// A click posted to a button (as the button's own click would be made).
void postClick(HWND button);
// The control of the thread's keyboard focus, read from outside.
HWND focusOf(const Program& program);
// Children of a window with the given class, whatever their id.
std::vector<HWND> childrenOf(HWND parent, const wchar_t* className);

// ---- real input --------------------------------------------------------------------------
void moveMouseTo(int x, int y);                           // screen coordinates
void moveMouseOnto(HWND control, int dx = 0, int dy = 0); // its centre, shifted
void realClick(HWND control);
// Presses the left button over `control` and releases it over `elsewhere`.
void pressAndReleaseElsewhere(HWND control, HWND elsewhere);
void pressKey(WORD key, bool shift = false);

// ---- screenshots -------------------------------------------------------------------------
// Saves the screen area of the given windows (their union) as a PNG; prints the path.
bool screenshot(const std::vector<HWND>& windows, const std::wstring& path);

} // namespace e2e
