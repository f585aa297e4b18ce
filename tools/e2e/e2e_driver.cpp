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
std::vector<std::string> step; // the step being carried out, as words
std::string found;             // what the last failed step found instead
std::error_code ignored;       // a file that could not be made fails the steps that need it

const std::string& arg(std::size_t i) {
    static const std::string none;
    return i < step.size() ? step[i] : none;
}

// A quoted word keeps its spaces and reads \" and \\; a | in it is a line break.
std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> std::quoted(word);) {
        words.push_back(std::regex_replace(word, std::regex("\\|"), "\n"));
    }
    return words;
}

std::string crlf(const std::string& text) {
    return std::regex_replace(text, std::regex("\n"), "\r\n");
}

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

// main, handler, box (a message box), status (the main window's label 156 pixels wide),
// WINDOW.ID (a control) or a control's name.
HWND target(const std::string& name) {
    static const std::map<std::string, std::string> names = {{"Campaigns", "main.1"},
                                                             {"Translations", "main.20"},
                                                             {"Start", "main.10"},
                                                             {"OK", "handler.100"}};
    static const std::map<std::string, const wchar_t*> classes = {{"main", L"Dravik-Setup"},
                                                                  {"status", L"Dravik-Setup"},
                                                                  {"handler", L"Script-Handler"},
                                                                  {"box", L"#32770"}};
    const std::string full = names.count(name) ? names.at(name) : name;
    const std::size_t dot = full.find('.');
    const auto top = classes.find(full.substr(0, dot));
    HWND window = top == classes.end() ? nullptr : findWindow(program, top->second);
    return full == "status"           ? staticOf(window, 156)
           : dot == std::string::npos ? window
                                      : GetDlgItem(window, std::stoi(full.substr(dot + 1)));
}

// "X Y W H": a window's outer rectangle on the screen, a control's in its parent's client area.
std::string placeOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    }
    char place[60];
    std::snprintf(place, sizeof(place), "%ld %ld %ld %ld", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    return place;
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

// expect TARGET... [STATE...] [text TEXT] [rect X Y W H] [for MS]
bool expect() {
    std::vector<std::string> targets, wanted;
    std::size_t text = 0;
    int hold = 0;
    std::string place;
    for (std::size_t i = 1; i < step.size(); ++i) {
        if (arg(i) == "text") {
            text = ++i;
        } else if (arg(i) == "for") {
            hold = std::stoi(arg(++i));
        } else if (arg(i) == "rect") {
            for (std::size_t k = 1; k <= 4; ++k) {
                place += std::to_string(number(arg(i + k))) + (k < 4 ? " " : "");
            }
            i += 4;
        } else {
            (states.count(arg(i)) ? wanted : targets).push_back(arg(i));
        }
    }
    const auto met = [&] {
        return std::all_of(targets.begin(), targets.end(), [&](const std::string& name) {
            HWND window = target(name);
            found = name + (window ? ": \"" + utf8(textOf(window)) + "\" at " + placeOf(window)
                                   : ": no window");
            return (!text || utf8(textOf(window)) == arg(text)) &&
                   (place.empty() || placeOf(window) == place) &&
                   std::all_of(wanted.begin(), wanted.end(),
                               [&](const std::string& state) { return is(window, state); });
        });
    };
    return waitUntil(met) && !(hold && waitUntil([&] { return !met(); }, hold));
}

void mouse(DWORD flags, HWND window = nullptr) {
    RECT rect{};
    GetWindowRect(window, &rect);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = (rect.left + rect.right) / 2 * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = (rect.top + rect.bottom) / 2 * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
    SendInput(1, &input, sizeof(input));
}

// The steps on a window, which must be there: the message box for ok, the Script Handler for
// key, the main window for a close without a target.
bool act(const std::string& kind) {
    static const std::vector<std::string> acts = {"close", "press", "ok",  "key",
                                                  "hover", "click", "drag"};
    if (std::find(acts.begin(), acts.end(), kind) == acts.end()) {
        found = "an unknown step";
        return false;
    }
    const std::string on = kind == "ok"    ? "box"
                           : kind == "key" ? "handler"
                                           : (arg(1).empty() ? "main" : arg(1));
    HWND window = nullptr;
    found = "no window " + on;
    if (!waitUntil([&] { return (window = target(on)) != nullptr; })) {
        return false;
    }
    if (kind == "close" || kind == "press" || kind == "ok") {
        const UINT message = kind == "close" ? WM_CLOSE : kind == "press" ? BM_CLICK : WM_COMMAND;
        return PostMessageW(window, message, kind == "ok" ? IDOK : 0, 0);
    }
    if (kind == "key") {
        INPUT keys[2] = {};
        for (INPUT& key : keys) {
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = arg(1) == "TAB" ? VK_TAB : VK_SPACE;
        }
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SetForegroundWindow(window);
        waitUntil([&] { return GetForegroundWindow() == window; });
        return SendInput(2, keys, sizeof(INPUT)) == 2;
    }
    if (kind == "hover") {
        // Wine tells a box that the mouse left it on a timer, so a first move onto the next box
        // can come too early: the mouse moves onto it anew until the box's name shows.
        const bool box = GetDlgCtrlID(window) >= 800 && GetDlgCtrlID(window) < 830;
        found = "the box's name does not show in the name frame";
        return waitUntil([&] {
            mouse(MOUSEEVENTF_MOVE, GetParent(window));
            mouse(MOUSEEVENTF_MOVE, window);
            return !box || textOf(GetDlgItem(target("handler"), 1000)) == textOf(window);
        });
    }
    // A click waits until the button shows the press, a drag until it shows the mouse gone.
    const auto pushed = [&] { return (SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    mouse(MOUSEEVENTF_MOVE, window);
    mouse(MOUSEEVENTF_LEFTDOWN);
    bool ok = waitUntil(pushed);
    if (kind == "drag") {
        mouse(MOUSEEVENTF_MOVE, target(arg(2)));
        ok = ok && waitUntil([&] { return !pushed(); });
    }
    mouse(MOUSEEVENTF_LEFTUP);
    found = "the button did not show the press";
    return ok;
}

// The program's resource as text: an icon's image widths, the manifest, the version's texts.
std::string resource(const std::string& kind, int id) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC where = FindResourceW(module, MAKEINTRESOURCEW(id),
                                kind == "icon"       ? RT_GROUP_ICON
                                : kind == "manifest" ? RT_MANIFEST
                                                     : RT_VERSION);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, where)));
    std::string text(bytes ? bytes : "", bytes ? SizeofResource(module, where) : 0), widths;
    FreeLibrary(module);
    for (std::size_t at = 6; kind == "icon" && at + 14 <= text.size(); at += 14) {
        widths += std::to_string(text[at] ? static_cast<unsigned char>(text[at]) : 256) + " ";
    }
    const std::wstring wide(reinterpret_cast<const wchar_t*>(text.data()), text.size() / 2);
    return kind == "icon" ? widths : kind == "manifest" ? text : utf8(wide);
}

// What an expect-boxes (x checked, - unchecked, . no box; from 800 to the last box),
// expect-box or expect-file step finds.
std::string look(const std::string& kind) {
    HWND handler = target("handler"), box = target("box");
    if (kind == "expect-boxes") {
        std::string boxes;
        for (int id = 800; id < 830; ++id) {
            HWND check = GetDlgItem(handler, id);
            boxes += !check                                                  ? '.'
                     : SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x'
                                                                             : '-';
        }
        return handler ? boxes.erase(boxes.find_last_not_of('.') + 1) : "no window";
    }
    if (kind == "expect-box") {
        return utf8(textOf(box)) + ": " + utf8(textOf(staticOf(box, 0)));
    }
    std::ifstream file(game / arg(1), std::ios::binary);
    return file ? std::string{std::istreambuf_iterator<char>(file), {}} : "missing";
}

bool carryOut(const std::string& kind) {
    if (kind == "sample") {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(windowsPath(E2E_SOURCE L"/sample/game"))) {
            fs::copy(entry.path(), game / entry.path().filename(), fs::copy_options::recursive,
                     error);
        }
        return !error;
    }
    if (kind == "make-file") {
        fs::create_directories((game / arg(1)).parent_path(), ignored);
        return static_cast<bool>(std::ofstream(game / arg(1), std::ios::binary) << crlf(arg(2)));
    }
    if (kind == "add-launcher") {
        return CopyFileW(launcher.c_str(), (game / "Dravik_Launcher.exe").c_str(), FALSE) != 0;
    }
    if (kind == "start") {
        mouse(MOUSEEVENTF_MOVE); // out of the way of the windows to come
        program = startProgram(game / "DravikSetup.exe", game);
        return waitUntil([] { return target("main") || target("box"); }, 20000);
    }
    if (kind == "screenshot") {
        Sleep(300); // the windows finish painting
        return screenshot({target("main"), target("handler"), target("box")},
                          shots + L"\\" + fs::path(arg(1)).wstring() + L".png");
    }
    if (kind == "expect") {
        return expect();
    }
    if (kind == "expect-boxes" || kind == "expect-box" || kind == "expect-file") {
        const std::string expected = kind == "expect-boxes" ? arg(1)
                                     : kind == "expect-box" ? arg(1) + ": " + arg(2)
                                     : arg(2) == "missing"  ? arg(2)
                                                            : crlf(arg(2));
        return waitUntil([&] { return (found = look(kind)) == expected; });
    }
    if (kind == "expect-exit") {
        found = std::to_string(waitForExit(program, 10000));
        return found == arg(1);
    }
    if (kind == "expect-resource") {
        found = resource(arg(1), std::stoi(arg(2)));
        return found.find(arg(3)) != std::string::npos;
    }
    return act(kind);
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
    if (HWND main = target("main")) {
        PostMessageW(main, WM_CLOSE, 0, 0);
    }
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
        step = split(line);
        if (arg(0) == "scenario") {
            endProgram();
            std::printf("== %s\n", arg(1).c_str());
            std::fflush(stdout);
            game = fs::path(windowsPath(argv[3])) / arg(1);
            fs::remove_all(game, ignored);
            fs::create_directories(game, ignored);
            fs::copy_file(exe, game / "DravikSetup.exe", ignored);
            ok = true;
            ++scenarios;
        } else if (ok && !step.empty() && arg(0)[0] != '#') {
            found.clear();
            ok = carryOut(arg(0));
            if (!ok) {
                ++failed;
                std::printf("FAIL line %d: %s\n     found: %s\n", number, line.c_str(),
                            found.c_str());
            }
        }
    }
    endProgram();
    std::printf("scenarios: %d passed, %d failed\n", scenarios - failed, failed);
    return failed == 0 && scenarios > 0 ? 0 : 1;
}
