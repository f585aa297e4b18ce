// A short scripted walk through DravikSetup.exe for the README's main job when there is no
// display to show it on: it opens each list, the first campaign's Script Handler and the
// first translation, confirms them, dismisses any error box (printing its text) and ends
// with "Start and Exit", saving a screenshot at every step.
//
// walk_through <DravikSetup.exe> <game folder> <screenshot folder>
#include "driver_support.h"

#include <cstdio>
#include <string>

using namespace e2e;

namespace {

HWND statusLabelOf(HWND main) {
    for (HWND child : childrenOf(main, L"Static")) {
        const RECT rect = rectInParent(child);
        if (rect.right - rect.left == 156) {
            return child;
        }
    }
    return nullptr;
}

void say(const std::string& text) {
    std::printf("-- %s\n", text.c_str());
    std::fflush(stdout);
}

// Waits for the run to end, closing every error box it shows on the way.
void waitForRun(const Program& program, const std::wstring& shots, const std::wstring& name) {
    bool shotTaken = false;
    waitUntil(
        [&] {
            if (HWND box = findWindow(program, L"#32770")) {
                say("error box: " + utf8(messageBoxText(box)));
                if (!shotTaken) {
                    screenshot({box, program.main}, shots + L"\\" + name + L"-error-box.png");
                    shotTaken = true;
                }
                clickOk(box);
                waitUntil([&] { return !IsWindow(box); }, 5000);
                return false;
            }
            return IsWindowEnabled(program.main) &&
                   textOf(statusLabelOf(program.main)).rfind(L"Using:", 0) == 0;
        },
        120000);
    say("status: " + utf8(textOf(statusLabelOf(program.main))));
}

void walkCampaign(Program& program, const std::wstring& shots) {
    postClick(GetDlgItem(program.main, 1));
    pause(500);
    say("\"Campaigns\" pressed; status: " + utf8(textOf(statusLabelOf(program.main))));
    screenshot({program.main}, shots + L"\\02-campaign-list.png");
    HWND first = GetDlgItem(program.main, 900);
    if (first == nullptr) {
        say("no campaign to pick");
        return;
    }
    say("picking campaign \"" + utf8(textOf(first)) + "\"");
    postClick(first);
    HWND handler = nullptr;
    waitUntil([&] { return (handler = findWindow(program, L"Script-Handler")) != nullptr; }, 10000);
    if (handler == nullptr) {
        say("the Script Handler did not open");
        return;
    }
    pause(300);
    for (int id = 800; id < 830; ++id) {
        if (HWND box = GetDlgItem(handler, id)) {
            say(std::string(isChecked(box) ? "  [x] " : "  [ ] ") + utf8(textOf(box)));
        }
    }
    screenshot({handler, program.main}, shots + L"\\03-script-handler.png");
    postClick(GetDlgItem(handler, 100));
    pause(500);
    if (HWND box = findWindow(program, L"#32770"); box != nullptr && IsWindow(handler)) {
        say("OK refused: " + utf8(messageBoxText(box)));
        clickOk(box);
        waitUntil([&] { return !IsWindow(box); }, 5000);
        PostMessageW(handler, WM_CLOSE, 0, 0);
        return;
    }
    waitForRun(program, shots, L"04-campaign-run");
    screenshot({program.main}, shots + L"\\04-after-campaign-run.png");
}

void walkTranslation(Program& program, const std::wstring& shots) {
    postClick(GetDlgItem(program.main, 20));
    pause(500);
    say("\"Translations\" pressed; status: " + utf8(textOf(statusLabelOf(program.main))));
    screenshot({program.main}, shots + L"\\05-translation-list.png");
    HWND first = GetDlgItem(program.main, 700);
    if (first == nullptr) {
        say("no translation to pick");
        return;
    }
    say("picking translation \"" + utf8(textOf(first)) + "\"");
    postClick(first);
    pause(300);
    waitForRun(program, shots, L"06-translation-run");
    screenshot({program.main}, shots + L"\\06-after-translation-run.png");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: walk_through <DravikSetup.exe> <game folder> <screenshot folder>\n");
        return 2;
    }
    const std::wstring exe = windowsPath(argv[1]);
    const std::wstring game = windowsPath(argv[2]);
    const std::wstring shots = windowsPath(argv[3]);
    makeFolders(shots);
    beginScenario("walk-through");
    Program program = startProgram(exe, game);
    if (program.main == nullptr) {
        if (HWND box = findWindow(program, L"#32770")) {
            say("start-up error: " + utf8(messageBoxText(box)));
            clickOk(box);
        }
        std::printf("exit code %ld\n", waitForExit(program, 10000));
        return 1;
    }
    screenshot({program.main}, shots + L"\\01-main-window.png");
    walkCampaign(program, shots);
    walkTranslation(program, shots);
    say("\"Start and Exit\" pressed");
    postClick(GetDlgItem(program.main, 10));
    const long code = waitForExit(program, 15000);
    std::printf("-- the program ended with exit code %ld\n", code);
    return code == 0 && report().failures == 0 ? 0 : 1;
}
