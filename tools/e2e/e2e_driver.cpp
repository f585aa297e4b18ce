// End-to-end tests of DravikSetup.exe under Wine: carries out the steps of scenarios.txt (they
// are described at its top) and prints every failed one.
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder>
#include "e2e.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <sstream>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

std::wstring exe, launcher, shots;
fs::path game;
PROCESS_INFORMATION program{};
std::vector<std::string> step; // the step being carried out, as words, then empty words
std::string found;             // what the last failed step found instead
std::error_code ignored;       // a file that could not be made fails the steps that need it

// A sum of whole numbers and of W, H (the main window's outer size), SW, SH (the screen's),
// each maybe divided by a whole number.
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

// main, handler, box, status (the main window's label 156 pixels wide), WINDOW.ID (a control)
// or a control's name; any other target is no window.
HWND target(const std::string& name) {
    static const std::map<std::string, std::string> names = {{"Campaigns", "main.1"},
                                                             {"Translations", "main.20"},
                                                             {"Start", "main.10"},
                                                             {"OK", "handler.100"},
                                                             {"status", "main.status"}};
    const std::string full = names.count(name) ? names.at(name) : name;
    const std::string top = full.substr(0, full.find('.')), id = full.substr(top.size());
    HWND window = findWindow(program, top == "main"      ? L"Dravik-Setup"
                                      : top == "handler" ? L"Script-Handler"
                                      : top == "box"     ? L"#32770"
                                                         : L"none");
    return id == ".status" ? staticOf(window, 156)
           : id.empty()    ? window
                           : GetDlgItem(window, std::atoi(id.c_str() + 1));
}

// A window's text, or what a target that is no window holds: boxes (the Script Handler's boxes
// from 800: x checked, - unchecked, . none), file:PATH (without CRs, or "missing"), icon:ID
// (its images' widths), manifest:ID. A message box's is its caption and message.
std::string valueOf(const std::string& name, HWND window) {
    const std::string kind = name.substr(0, name.find(':')), rest = name.substr(name.find(':') + 1);
    if (name == "boxes") {
        std::string boxes;
        for (int id = 800; id < 830; ++id) {
            HWND box = GetDlgItem(target("handler"), id);
            boxes += !box ? '.' : SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x' : '-';
        }
        return boxes.erase(boxes.find_last_not_of('.') + 1);
    }
    if (kind == "file") {
        std::ifstream file(game / rest, std::ios::binary);
        std::string text = file ? std::string{std::istreambuf_iterator<char>(file), {}} : "missing";
        std::erase(text, '\r');
        return text;
    }
    if (kind != "icon" && kind != "manifest") {
        return utf8(textOf(window)) +
               (name == "box" ? ": " + utf8(textOf(staticOf(window, 0))) : "");
    }
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC where = FindResourceW(module, MAKEINTRESOURCEW(std::stoi(rest)),
                                kind == "icon" ? RT_GROUP_ICON : RT_MANIFEST);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, where)));
    std::string text(bytes ? bytes : "", bytes ? SizeofResource(module, where) : 0), widths;
    FreeLibrary(module);
    for (std::size_t at = 6; kind == "icon" && at + 14 <= text.size(); at += 14) {
        widths += std::to_string(text[at] ? static_cast<unsigned char>(text[at]) : 256) + " ";
    }
    return kind == "icon" ? widths.substr(0, widths.size() - 1) : text;
}

// "X Y W H": a window's outer rectangle on the screen, a control's in its parent's client area.
std::string placeOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    }
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
}

// A state: the window's style, extended style or class style, masked, is the value; a missing
// window is hidden and in no other state. fixed-frame: a caption with a close box, no sizing
// border, no minimise or maximise box.
const std::map<std::string, std::array<LONG, 3>> states = {
    {"shown", {GWL_STYLE, WS_VISIBLE, WS_VISIBLE}},
    {"hidden", {GWL_STYLE, WS_VISIBLE, 0}},
    {"enabled", {GWL_STYLE, WS_DISABLED, 0}},
    {"disabled", {GWL_STYLE, WS_DISABLED, WS_DISABLED}},
    {"transparent", {GWL_EXSTYLE, WS_EX_TRANSPARENT, WS_EX_TRANSPARENT}},
    {"tool-window", {GWL_EXSTYLE, WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW}},
    {"fixed-frame",
     {GWL_STYLE, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
      WS_CAPTION | WS_SYSMENU}},
    {"redraw-class", {GCL_STYLE, -1, CS_HREDRAW | CS_VREDRAW}}};

bool is(HWND window, const std::string& state) {
    const auto [index, mask, value] = states.at(state);
    const LONG_PTR style =
        index == GCL_STYLE ? GetClassLongPtrW(window, index) : GetWindowLongW(window, index);
    return (window || state == "hidden") && (style & mask) == value;
}

// expect TARGET... [STATE...] [text TEXT | has TEXT] [rect X Y W H] [for MS]
bool expect() {
    std::vector<std::string> targets, wanted;
    std::string place, *text = nullptr, *has = nullptr;
    int hold = 0;
    for (std::size_t i = 1; !step[i].empty(); ++i) {
        if (step[i] == "text" || step[i] == "has") {
            (step[i] == "text" ? text : has) = &step[i + 1];
            ++i;
        } else if (step[i] == "for") {
            hold = std::stoi(step[++i]);
        } else if (step[i] == "rect") {
            for (std::size_t k = 1; k <= 4; ++k) {
                place += std::to_string(number(step[i + k])) + (k < 4 ? " " : "");
            }
            i += 4;
        } else {
            (states.count(step[i]) ? wanted : targets).push_back(step[i]);
        }
    }
    const auto met = [&] {
        return std::all_of(targets.begin(), targets.end(), [&](const std::string& name) {
            HWND window = target(name);
            const std::string value = valueOf(name, window);
            found = name + ": \"" + value + "\"" + (window ? " at " + placeOf(window) : "");
            return (!text || value == *text) && (!has || value.find(*has) != std::string::npos) &&
                   (place.empty() || (window && placeOf(window) == place)) &&
                   std::all_of(wanted.begin(), wanted.end(),
                               [&](const std::string& state) { return is(window, state); });
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

// The steps on a window, which must be there; key goes to the Script Handler.
bool act(const std::string& kind) {
    if (!std::regex_match(kind, std::regex("close|press|key|hover|click|drag"))) {
        found = "an unknown step";
        return false;
    }
    const std::string on = kind == "key" ? "handler" : step[1];
    HWND window = nullptr;
    found = "no window " + on;
    if (!waitUntil([&] { return (window = target(on)) != nullptr; })) {
        return false;
    }
    if (kind == "close" || kind == "press") {
        return PostMessageW(window, kind == "close" ? WM_CLOSE : BM_CLICK, 0, 0);
    }
    if (kind == "key") {
        SetForegroundWindow(window);
        waitUntil([&] { return GetForegroundWindow() == window; });
        const BYTE key = step[1] == "TAB" ? VK_TAB : VK_SPACE;
        keybd_event(key, 0, 0, 0);
        keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
        return true;
    }
    if (kind == "hover") {
        // Wine tells a box that the mouse left it on a timer, so a first move onto the next box
        // can come too early: the mouse moves onto it anew until the box's name shows.
        const bool box = GetDlgCtrlID(window) >= 800 && GetDlgCtrlID(window) < 830;
        found = "the box's name does not show in the name frame";
        return waitUntil([&] {
            mouse(MOUSEEVENTF_MOVE, GetParent(window));
            mouse(MOUSEEVENTF_MOVE, window);
            return !box || textOf(target("handler.1000")) == textOf(window);
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
    mouse(MOUSEEVENTF_LEFTUP);
    found = "the button did not show the press";
    return ok;
}

bool carryOut(const std::string& kind) {
    if (kind == "sample") {
        fs::copy(windowsPath(E2E_SOURCE L"/sample/game"), game, fs::copy_options::recursive,
                 ignored);
        return !ignored;
    }
    if (kind == "make-file") {
        fs::create_directories((game / step[1]).parent_path(), ignored);
        std::ofstream file(game / step[1], std::ios::binary);
        return static_cast<bool>(file << std::regex_replace(step[2], std::regex("\n"), "\r\n"));
    }
    if (kind == "add-launcher") {
        return fs::copy_file(launcher, game / "Dravik_Launcher.exe", ignored);
    }
    if (kind == "start") {
        mouse(MOUSEEVENTF_MOVE); // out of the way of the windows to come
        fs::create_directories(game, ignored);
        fs::copy_file(exe, game / "DravikSetup.exe", ignored);
        program = startProgram(game / "DravikSetup.exe", game);
        return waitUntil([] { return target("main") || target("box"); }, 20000);
    }
    if (kind == "screenshot") {
        Sleep(300); // the windows finish painting
        return screenshot({target("main"), target("handler"), target("box")},
                          shots + L"\\" + fs::path(step[1]).wstring() + L".png");
    }
    if (kind == "expect-exit") {
        return (found = std::to_string(waitForExit(program, 10000))) == step[1];
    }
    return kind == "expect" ? expect() : act(kind);
}

// Under Xvfb no window manager answers, and Wine waits 2 s for one whenever a managed window
// hides. The program's windows are made unmanaged instead (Wine draws their frames) for as long
// as this Wine session lasts: the keys are volatile.
void unmanagedWindows() {
    HKEY key = HKEY_CURRENT_USER;
    for (const wchar_t* name :
         {L"Software\\Wine\\AppDefaults", L"DravikSetup.exe", L"X11 Driver"}) {
        RegCreateKeyExW(key, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
    }
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 4);
}

void endProgram() {
    PostMessageW(target("main"), WM_CLOSE, 0, 0);
    waitForExit(program, 5000);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::ifstream file(fs::path(windowsPath(E2E_SOURCE L"/tools/e2e/scenarios.txt")));
    if (argc != 5 || !file) {
        std::printf("usage: e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> "
                    "<screenshot folder>   (reads tools/e2e/scenarios.txt)\n");
        return 2;
    }
    exe = windowsPath(argv[1]);
    launcher = windowsPath(argv[2]);
    shots = windowsPath(argv[4]);
    fs::create_directories(shots, ignored);
    unmanagedWindows();
    int scenarios = 0, failed = 0;
    bool ok = false; // whether the current scenario goes on
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        // A quoted word keeps its spaces and reads \" and \\; a | in it is a line break.
        std::istringstream in(line);
        step.clear();
        found.clear();
        for (std::string word; in >> std::quoted(word); step.push_back(word)) {
            std::replace(word.begin(), word.end(), '|', '\n');
        }
        step.resize(step.size() + 8);
        if (step[0] == "scenario") {
            endProgram();
            std::printf("== %s\n", step[1].c_str());
            std::fflush(stdout);
            game = fs::path(windowsPath(argv[3])) / step[1];
            fs::remove_all(game, ignored);
            ok = true;
            ++scenarios;
        } else if (ok && !step[0].empty() && step[0][0] != '#' && !(ok = carryOut(step[0]))) {
            ++failed;
            std::printf("FAIL line %d: %s\n     found: %s\n", number, line.c_str(), found.c_str());
        }
    }
    endProgram();
    std::printf("scenarios: %d passed, %d failed\n", scenarios - failed, failed);
    return failed == 0 && scenarios > 0 ? 0 : 1;
}
