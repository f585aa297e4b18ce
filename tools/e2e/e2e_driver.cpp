// End-to-end tests of DravikSetup.exe under Wine: carries out the steps of scenarios.txt (they
// are described at its top) and prints every failed one.
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder>
#include "e2e.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

std::wstring exe, launcher, shots;
fs::path game;
PROCESS_INFORMATION program{};
std::vector<std::string> step; // the step being carried out, as words
std::string found;             // what the last failed step found instead

const std::string& arg(std::size_t i) {
    static const std::string none;
    return i < step.size() ? step[i] : none;
}

// A quoted word keeps its spaces and reads \" and \\; a | in it is a line break.
std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> std::quoted(word);) {
        std::replace(word.begin(), word.end(), '|', '\n');
        words.push_back(word);
    }
    return words;
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

// main, handler, box (a message box), status (the label 156 pixels wide), WINDOW.ID (a
// control) or a control's name.
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
    return name == "status"           ? staticOf(window, 156)
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

// fixed-frame: a caption with a close box; no sizing border, no minimise or maximise box.
const std::map<std::string, std::function<bool(HWND)>> states = {
    {"shown", [](HWND window) { return IsWindowVisible(window) != 0; }},
    {"hidden", [](HWND window) { return !IsWindowVisible(window); }},
    {"enabled", [](HWND window) { return IsWindowEnabled(window) != 0; }},
    {"disabled", [](HWND window) { return window && !IsWindowEnabled(window); }},
    {"transparent",
     [](HWND window) { return GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT; }},
    {"tool-window",
     [](HWND window) { return GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW; }},
    {"fixed-frame",
     [](HWND window) {
         return (GetWindowLongW(window, GWL_STYLE) &
                 (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) ==
                (WS_CAPTION | WS_SYSMENU);
     }},
    {"redraw-class", [](HWND window) {
         return window && GetClassLongPtrW(window, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW);
     }}};

bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    return waitUntil(condition, milliseconds);
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
                               [&](const std::string& state) { return states.at(state)(window); });
        });
    };
    return waitFor(met) && !(hold && waitFor([&] { return !met(); }, hold));
}

void mouse(DWORD flags, POINT at = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
    SendInput(1, &input, sizeof(input));
}

POINT centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The steps on a window, which must be there: the message box for ok, the Script Handler for
// key, the main window for a close without a target.
bool act() {
    const std::string& kind = arg(0);
    const std::string on = kind == "ok"    ? "box"
                           : kind == "key" ? "handler"
                                           : (arg(1).empty() ? "main" : arg(1));
    HWND window = nullptr;
    found = "no window " + on;
    if (!waitFor([&] { return (window = target(on)) != nullptr; })) {
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
        waitFor([&] { return GetForegroundWindow() == window; });
        return SendInput(2, keys, sizeof(INPUT)) == 2;
    }
    if (kind == "hover") {
        // Wine tells a box that the mouse left it on a timer, so a first move onto the next box
        // can come too early: the mouse moves a pixel to and fro until the box's name shows.
        const POINT at = centre(window);
        const bool box = GetDlgCtrlID(window) >= 800 && GetDlgCtrlID(window) < 830;
        int moves = 0;
        found = "the box's name does not show in the name frame";
        return waitFor([&] {
            mouse(MOUSEEVENTF_MOVE, {at.x - ++moves % 2, at.y});
            return !box || textOf(GetDlgItem(target("handler"), 1000)) == textOf(window);
        });
    }
    // A click waits until the button shows the press, a drag until it shows the mouse gone.
    const auto pushed = [&] { return (SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    mouse(MOUSEEVENTF_MOVE, centre(window));
    mouse(MOUSEEVENTF_LEFTDOWN);
    bool ok = waitFor(pushed);
    if (kind == "drag") {
        mouse(MOUSEEVENTF_MOVE, centre(target(arg(2))));
        ok = ok && waitFor([&] { return !pushed(); });
    }
    mouse(MOUSEEVENTF_LEFTUP);
    found = "the button did not show the press";
    return ok;
}

std::string crlf(std::string text) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\r');
    }
    return text;
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

const std::map<std::string, std::function<bool()>> steps = {
    {"sample",
     [] {
         std::error_code error;
         for (const auto& entry : fs::directory_iterator(windowsPath(E2E_SOURCE L"/sample/game"))) {
             fs::copy(entry.path(), game / entry.path().filename(), fs::copy_options::recursive,
                      error);
         }
         found = error.message();
         return !error;
     }},
    {"make-file",
     [] {
         std::error_code ignored;
         fs::create_directories((game / arg(1)).parent_path(), ignored);
         return static_cast<bool>(std::ofstream(game / arg(1), std::ios::binary) << crlf(arg(2)));
     }},
    {"add-launcher",
     [] {
         return CopyFileW(launcher.c_str(), (game / "Dravik_Launcher.exe").c_str(), FALSE) != 0;
     }},
    {"start",
     [] {
         mouse(MOUSEEVENTF_MOVE, {0, 0}); // out of the way of the windows to come
         program = startProgram(game / "DravikSetup.exe", game);
         return waitFor([] { return target("main") || target("box"); }, 20000);
     }},
    {"screenshot",
     [] {
         Sleep(300); // the windows finish painting
         return screenshot({target("main"), target("handler"), target("box")},
                           shots + L"\\" + fs::path(arg(1)).wstring() + L".png");
     }},
    {"expect", expect},
    {"expect-boxes",
     [] {
         return waitFor([] {
             HWND handler = target("handler");
             found.clear();
             for (int id = 800; id < 830; ++id) {
                 HWND box = GetDlgItem(handler, id);
                 found += !box                                                  ? '.'
                          : SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x'
                                                                                : '-';
             }
             return handler && found == arg(1) + std::string(30 - arg(1).size(), '.');
         });
     }},
    {"expect-box",
     [] {
         return waitFor([] {
             HWND box = target("box");
             found = utf8(textOf(box)) + " | " + utf8(textOf(staticOf(box, 0)));
             return box && found == arg(1) + " | " + arg(2);
         });
     }},
    {"expect-file",
     [] {
         return waitFor([] {
             std::ifstream file(game / arg(1), std::ios::binary);
             found = file ? std::string{std::istreambuf_iterator<char>(file), {}} : "missing";
             return found == (arg(2) == "missing" ? arg(2) : crlf(arg(2)));
         });
     }},
    {"expect-exit",
     [] {
         found = "exit code " + std::to_string(waitForExit(program, 10000));
         return found == "exit code " + arg(1);
     }},
    {"expect-resource",
     [] {
         found = resource(arg(1), std::stoi(arg(2)));
         return found.find(arg(3)) != std::string::npos;
     }},
    {"close", act},
    {"press", act},
    {"ok", act},
    {"key", act},
    {"hover", act},
    {"click", act},
    {"drag", act}};

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
    std::error_code ignored;
    fs::create_directories(shots, ignored);
    unmanagedWindows();

    // Each scenario's name and its steps' line numbers and texts.
    std::vector<std::pair<std::string, std::vector<std::pair<int, std::string>>>> scenarios;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        step = split(line);
        if (arg(0) == "scenario") {
            scenarios.push_back({arg(1), {}});
        } else if (!step.empty() && arg(0)[0] != '#' && !scenarios.empty()) {
            scenarios.back().second.push_back({number, line});
        }
    }
    int passed = 0, failed = 0;
    for (const auto& [name, lines] : scenarios) {
        std::printf("== %s\n", name.c_str());
        std::fflush(stdout);
        game = fs::path(windowsPath(argv[3])) / name;
        fs::remove_all(game, ignored);
        fs::create_directories(game, ignored);
        fs::copy_file(exe, game / "DravikSetup.exe", ignored);
        bool ok = true;
        for (std::size_t i = 0; ok && i < lines.size(); ++i) {
            step = split(lines[i].second);
            const auto kind = steps.find(arg(0));
            found = kind == steps.end() ? "an unknown step" : "";
            ok = kind != steps.end() && kind->second();
            if (!ok) {
                std::printf("FAIL line %d: %s\n     found: %s\n", lines[i].first,
                            lines[i].second.c_str(), found.c_str());
            }
        }
        if (HWND main = target("main")) {
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        waitForExit(program, 5000);
        ++(ok ? passed : failed);
    }
    std::printf("scenarios: %d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
