// A short scripted walk through DravikSetup.exe for the README's main job when there is no
// display to show it on: it opens each list, the first campaign's Script Handler and the
// first translation, confirms them, dismisses any error box (printing its text) and ends
// with "Start and Exit", saving a screenshot at every step.
//
// walk_through <DravikSetup.exe> <game folder> <screenshot folder>
#include "e2e.h"

#include <cstdio>

using namespace e2e;

namespace {

PROCESS_INFORMATION program;
HWND mainWindow = nullptr;
std::wstring shots;

void say(const std::string& text) {
    std::printf("-- %s\n", text.c_str());
    std::fflush(stdout);
}

std::string status() {
    std::string text = utf8(textOf(staticOf(mainWindow, 156)));
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void shoot(const wchar_t* name) {
    Sleep(300); // the windows finish painting
    screenshot({mainWindow, findWindow(program, L"Script-Handler"), findWindow(program, L"#32770")},
               shots + L"\\" + name + L".png");
}

// Presses a button and waits for the control `then` of the window of class `in` to appear.
HWND press(HWND button, const wchar_t* in, int then) {
    PostMessageW(button, BM_CLICK, 0, 0);
    HWND found = nullptr;
    waitUntil([&] { return (found = GetDlgItem(findWindow(program, in), then)) != nullptr; },
              10000);
    return found;
}

// Closes every error box until the run has ended (the main window enabled, "Using:" shown).
void waitForRun(const wchar_t* name) {
    waitUntil(
        [&] {
            if (HWND box = findWindow(program, L"#32770")) {
                say("error box: " + utf8(textOf(staticOf(box, 0))));
                shoot(name);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                waitUntil([&] { return !IsWindow(box); }, 5000);
            }
            return IsWindowEnabled(mainWindow) && status().rfind("Using:", 0) == 0;
        },
        120000);
    say("status: " + status());
}

void walkCampaign() {
    HWND first = press(GetDlgItem(mainWindow, 1), L"Dravik-Setup", 900);
    say("\"Campaigns\" pressed; status: " + status());
    shoot(L"02-campaign-list");
    if (first == nullptr) {
        return say("no campaign to pick");
    }
    say("picking campaign \"" + utf8(textOf(first)) + "\"");
    HWND ok = press(first, L"Script-Handler", 100);
    if (ok == nullptr) {
        return say("the Script Handler did not open");
    }
    for (int id = 800; id < 830; ++id) {
        if (HWND box = GetDlgItem(GetParent(ok), id)) {
            const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
            say(std::string(checked ? "  [x] " : "  [ ] ") + utf8(textOf(box)));
        }
    }
    shoot(L"03-script-handler");
    HWND handler = GetParent(ok);
    PostMessageW(ok, BM_CLICK, 0, 0);
    HWND box = nullptr;
    waitUntil([&] { return !IsWindow(handler) || (box = findWindow(program, L"#32770")); }, 5000);
    if (box != nullptr && IsWindow(handler)) {
        say("OK refused: " + utf8(textOf(staticOf(box, 0))));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        waitUntil([&] { return !IsWindow(box); }, 5000);
        PostMessageW(handler, WM_CLOSE, 0, 0);
        return;
    }
    waitForRun(L"04-campaign-run-error-box");
    shoot(L"04-after-campaign-run");
}

void walkTranslation() {
    HWND first = press(GetDlgItem(mainWindow, 20), L"Dravik-Setup", 700);
    say("\"Translations\" pressed; status: " + status());
    shoot(L"05-translation-list");
    if (first == nullptr) {
        return say("no translation to pick");
    }
    say("picking translation \"" + utf8(textOf(first)) + "\"");
    PostMessageW(first, BM_CLICK, 0, 0);
    waitUntil([] { return !IsWindowEnabled(mainWindow); }, 2000);
    waitForRun(L"06-translation-run-error-box");
    shoot(L"06-after-translation-run");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: walk_through <DravikSetup.exe> <game folder> <screenshot folder>\n");
        return 2;
    }
    shots = windowsPath(argv[3]);
    CreateDirectoryW(shots.c_str(), nullptr);
    program = startProgram(windowsPath(argv[1]), windowsPath(argv[2]));
    waitUntil(
        [] {
            mainWindow = findWindow(program, L"Dravik-Setup");
            return mainWindow || findWindow(program, L"#32770");
        },
        20000);
    if (mainWindow == nullptr) {
        if (HWND box = findWindow(program, L"#32770")) {
            say("start-up error: " + utf8(textOf(staticOf(box, 0))));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        std::printf("exit code %ld\n", waitForExit(program, 10000));
        return 1;
    }
    shoot(L"01-main-window");
    walkCampaign();
    walkTranslation();
    say("\"Start and Exit\" pressed");
    PostMessageW(GetDlgItem(mainWindow, 10), BM_CLICK, 0, 0);
    const long code = waitForExit(program, 15000);
    std::printf("-- the program ended with exit code %ld\n", code);
    return code == 0 ? 0 : 1;
}
