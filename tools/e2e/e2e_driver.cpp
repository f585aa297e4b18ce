// End-to-end tests of DravikSetup.exe under Wine: carries out scenarios.txt, prints failed steps.
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder>
#include "e2e.h"

#include "platform/game_folder_claim.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

std::wstring exe, launcher, shots;
fs::path root, game; // the scenario's folder; the game folder in it the steps work on
std::vector<PROCESS_INFORMATION> copies; // of the program, started in the scenario
std::size_t current = 0;                 // the copy that targets and expect-exit address
platform::GameFolderClaim claim;         // the driver's own hold on a game folder
std::vector<std::string> step;           // the step being carried out, as words, then empty words
std::string found;                       // what the last failed step found instead
std::error_code ignored; // a file that could not be made fails the steps that need it

long number(const std::string& text) {
    const std::size_t sign = text.find_last_of("+-"), slash = text.rfind('/');
    if (sign != std::string::npos && sign > 0) {
        const long rest = number(text.substr(sign + 1));
        return number(text.substr(0, sign)) + (text[sign] == '-' ? -rest : rest);
    }
    if (slash != std::string::npos) {
        return number(text.substr(0, slash)) / number(text.substr(slash + 1));
    }
    return text == "W"    ? 640 + GetSystemMetrics(SM_CXFRAME)
           : text == "H"  ? 480 + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION)
           : text == "SW" ? GetSystemMetrics(SM_CXSCREEN)
           : text == "SH" ? GetSystemMetrics(SM_CYSCREEN)
                          : std::atol(text.c_str());
}

const PROCESS_INFORMATION& program() {
    static const PROCESS_INFORMATION none{};
    return current < copies.size() ? copies[current] : none;
}

// A hidden window is found as well (to show "hidden"); a window that does not exist shows "gone".
HWND target(const std::string& name) {
    const std::string top = name.substr(0, name.find('.')), id = name.substr(top.size());
    const wchar_t* className = top == "main" || top == "status" ? L"Dravik-Setup"
                               : top == "handler"               ? L"Script-Handler"
                               : top == "box"                   ? L"#32770"
                                                                : L"none";
    HWND window = findWindow(program(), className);
    window = window ? window : findWindow(program(), className, false);
    return top == "status" ? staticOf(window, 156) // the label is 156 pixels wide, its frame 160
           : id.empty()    ? window
                           : GetDlgItem(window, std::atoi(id.c_str() + 1));
}

std::string textOfTarget(const std::string& name, HWND window) {
    const std::string kind = name.substr(0, name.find(':')), rest = name.substr(name.find(':') + 1);
    std::string text;
    if (name == "boxes") {
        for (int id = 800; id < 830; ++id) {
            HWND box = GetDlgItem(target("handler"), id);
            text += !box ? '.' : SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x' : '-';
        }
        return text.erase(text.find_last_not_of('.') + 1);
    }
    if (kind == "file") {
        std::ifstream file(game / rest, std::ios::binary);
        text = file ? std::string{std::istreambuf_iterator<char>(file), {}} : "missing";
        return std::regex_replace(text, std::regex("\r"), "");
    }
    if (kind != "icon" && kind != "manifest") {
        return utf8(textOf(window)) +
               (name == "box" ? ": " + utf8(textOf(staticOf(window, 0))) : "");
    }
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC where = FindResourceW(module, MAKEINTRESOURCEW(std::stoi(rest)),
                                kind == "icon" ? RT_GROUP_ICON : RT_MANIFEST);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, where)));
    text.assign(bytes ? bytes : "", bytes ? SizeofResource(module, where) : 0);
    FreeLibrary(module);
    std::string widths; // of a group icon: 6 bytes of header, then 14 for each image
    for (std::size_t at = 6; kind == "icon" && at + 14 <= text.size(); at += 14) {
        widths += std::to_string(text[at] ? static_cast<unsigned char>(text[at]) : 256) + " ";
    }
    return kind == "icon" ? widths.substr(0, widths.size() - 1) : text;
}

// What a target shows, each fact between tabs: text, rect (in a parent's client area), states.
std::string factsOf(const std::string& name) {
    HWND window = target(name);
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(window, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
    char place[80];
    std::snprintf(place, sizeof(place), "\trect %ld %ld %ld %ld\t", r.left, r.top, r.right - r.left,
                  r.bottom - r.top);
    const std::string facts = "\ttext " + textOfTarget(name, window) + place;
    const LONG style = GetWindowLongW(window, GWL_STYLE),
               extra = GetWindowLongW(window, GWL_EXSTYLE);
    const LONG frame = WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    return !window ? facts + "gone\t"
                   : facts + (style & WS_VISIBLE ? "shown\t" : "hidden\t") +
                         (GetForegroundWindow() == window ? "foreground\t" : "") +
                         (style & WS_DISABLED ? "disabled\t" : "enabled\t") +
                         (extra & WS_EX_TOOLWINDOW ? "tool-window\t" : "") +
                         ((style & frame) == (WS_CAPTION | WS_SYSMENU) ? "fixed-frame\t" : "");
}

bool expect() {
    std::vector<std::pair<std::string, std::vector<std::string>>> checks(1);
    const std::regex fact(
        "text|has|rect|shown|hidden|gone|foreground|enabled|disabled|tool-window|fixed-frame");
    int hold = 0;
    for (std::size_t i = 1; !step[i].empty(); ++i) {
        std::string word = step[i];
        if (word == "for") {
            hold = std::stoi(step[++i]);
        } else if (!std::regex_match(word, fact)) {
            checks.push_back({word, {}});
        } else {
            for (int k = word == "rect" ? 4 : word == "text" || word == "has"; k > 0; --k) {
                word += " " + (word[0] == 'r' ? std::to_string(number(step[++i])) : step[++i]);
            }
            checks.back().second.push_back(word);
        }
    }
    const auto met = [&] {
        return std::all_of(checks.begin(), checks.end(), [&](const auto& check) {
            const std::string facts = found = check.first + factsOf(check.first);
            return std::all_of(check.second.begin(), check.second.end(), [&](const auto& want) {
                return facts.find(want.rfind("has ", 0) ? "\t" + want + "\t" : want.substr(4)) !=
                       std::string::npos;
            });
        });
    };
    return waitUntil(met) && !(hold && waitUntil([&] { return !met(); }, hold));
}

void mouse(DWORD flags, HWND window = nullptr) {
    RECT rect{};
    GetWindowRect(window, &rect);
    mouse_event(flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0),
                (rect.left + rect.right) / 2 * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1),
                (rect.top + rect.bottom) / 2 * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1), 0, 0);
}

bool act(const std::string& kind) {
    HWND window = nullptr;
    if (!waitUntil([&] { return (window = target(step[1])) != nullptr; })) {
        return false;
    }
    if (kind == "close" || kind == "press") {
        return PostMessageW(window, kind == "close" ? WM_CLOSE : BM_CLICK, 0, 0);
    }
    if (kind == "key") {
        SetForegroundWindow(window);
        waitUntil([&] { return GetForegroundWindow() == window; });
        const BYTE key = step[2] == "TAB" ? VK_TAB : VK_SPACE;
        keybd_event(key, 0, 0, 0);
        keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
        return true;
    }
    if (kind == "hover") {
        // Wine tells a box that the mouse left it on a timer, so a first move onto the next box
        // can come too early: the mouse moves onto it anew until the box's name shows.
        return waitUntil([&] {
            mouse(MOUSEEVENTF_MOVE, GetParent(window));
            mouse(MOUSEEVENTF_MOVE, window);
            return GetDlgCtrlID(window) < 800 || textOf(target("handler.1000")) == textOf(window);
        });
    }
    // A click waits until the button shows the press, a drag until it shows the mouse gone.
    const auto pushed = [&] { return (SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    mouse(MOUSEEVENTF_MOVE, window);
    mouse(MOUSEEVENTF_LEFTDOWN);
    bool ok = waitUntil(pushed);
    if (kind == "drag") {
        mouse(MOUSEEVENTF_MOVE, target(step[2]));
        ok = ok && waitUntil([&] { return !pushed(); });
    }
    mouse(MOUSEEVENTF_LEFTUP); // a click is through once the button shows the press gone
    return ok && waitUntil([&] { return !pushed(); });
}

bool carryOut(const std::string& kind) {
    if (kind == "sample" || kind == "add-launcher") {
        fs::create_directories(root, ignored);
        fs::copy(kind == "sample" ? windowsPath(E2E_SOURCE L"/sample/game") : launcher,
                 kind == "sample" ? game : game / "Dravik_Launcher.exe",
                 fs::copy_options::recursive, ignored);
        return !ignored;
    }
    if (kind == "make-file") {
        fs::create_directories((game / step[1]).parent_path(), ignored);
        std::ofstream file(game / step[1], std::ios::binary);
        return static_cast<bool>(file << std::regex_replace(step[2], std::regex("\n"), "\r\n"));
    }
    if (kind == "start") {
        mouse(MOUSEEVENTF_MOVE); // out of the way of the windows to come
        fs::create_directories(game, ignored);
        fs::copy_file(exe, game / "DravikSetup.exe", ignored);
        copies.push_back(startProgram(game / "DravikSetup.exe", game));
        current = copies.size() - 1;
        // A copy that ends at once shows no window: its end is the sign then.
        return waitUntil(
            [] {
                return findWindow(program(), L"Dravik-Setup") || findWindow(program(), L"#32770") ||
                       WaitForSingleObject(program().hProcess, 0) == WAIT_OBJECT_0;
            },
            20000);
    }
    if (kind == "copy") {
        current = static_cast<std::size_t>(std::atol(step[1].c_str()) - 1);
        return current < copies.size();
    }
    if (kind == "folder") {
        game = root / step[1];
        return true;
    }
    if (kind == "claim") {
        // Held as a copy that shows no window (the command-line runner) holds it.
        const fs::path back = fs::current_path(ignored);
        fs::current_path(game, ignored);
        const bool held = platform::claimGameFolder(claim) && claim.held;
        fs::current_path(back, ignored);
        return held;
    }
    if (kind == "screenshot") {
        Sleep(300); // the windows finish painting
        return screenshot({target("main"), target("handler"), target("box")},
                          shots + L"\\" + fs::path(step[1]).wstring() + L".png");
    }
    if (kind == "expect-exit") {
        return current < copies.size() &&
               (found = std::to_string(waitForExit(copies[current], 10000))) == step[1];
    }
    return kind == "expect"
               ? expect()
               : std::regex_match(kind, std::regex("close|press|key|hover|click|drag")) &&
                     act(kind);
}

// Every copy still running is asked to close, then ended if it does not; the hold goes.
void endScenario() {
    for (current = 0; current < copies.size(); ++current) {
        PostMessageW(target("main"), WM_CLOSE, 0, 0);
    }
    for (PROCESS_INFORMATION& copy : copies) {
        waitForExit(copy, 5000); // at once for a copy that was seen to end
    }
    copies.clear();
    current = 0;
    platform::releaseGameFolder(claim);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::ifstream file(fs::path(windowsPath(E2E_SOURCE L"/tools/e2e/scenarios.txt")));
    if (argc != 5 || !file) {
        std::printf("usage: e2e_driver <DravikSetup.exe> <launcher> <scratch> <screenshots>\n");
        return 2;
    }
    exe = windowsPath(argv[1]);
    launcher = windowsPath(argv[2]);
    shots = windowsPath(argv[4]);
    fs::create_directories(shots, ignored);
    // Under Xvfb no window manager answers, and Wine waits 2 s for one whenever a managed window
    // hides. The program's windows are made unmanaged instead (Wine draws their frames) for as
    // long as this Wine session lasts: the keys are volatile.
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\DravikSetup.exe\\X11 Driver",
                    0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 4);
    int scenarios = 0, failed = 0;
    bool ok = false; // whether the current scenario goes on
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        std::istringstream in(line);
        step.clear();
        found.clear();
        for (std::string word; in >> std::quoted(word); step.push_back(word)) {
            std::replace(word.begin(), word.end(), '|', '\n');
        }
        step.resize(step.size() + 8);
        if (step[0] == "scenario") {
            endScenario(); // the last scenario's programs end
            std::printf("== %s\n", step[1].c_str());
            std::fflush(stdout);
            root = fs::path(windowsPath(argv[3])) / step[1];
            game = root / "game";
            fs::remove_all(root, ignored);
            ok = true;
            ++scenarios;
        } else if (ok && !step[0].empty() && step[0][0] != '#' && !(ok = carryOut(step[0]))) {
            ++failed;
            std::printf("FAIL line %d: %s\n     found: %s\n", number, line.c_str(), found.c_str());
        }
    }
    endScenario();
    std::printf("scenarios: %d passed, %d failed\n", scenarios - failed, failed);
    return failed == 0 && scenarios > 0 ? 0 : 1;
}
