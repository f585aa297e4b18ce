// End-to-end tests of DravikSetup.exe under Wine: carries out the steps of scenarios.txt (they
// are described at its top) and prints every failed one.
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder>
// [scenario]
#include "e2e.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

struct Driver {
    std::wstring exe, launcher, shots;
    fs::path game;
    PROCESS_INFORMATION program{};
    Words step;                      // the step being carried out
    std::vector<std::wstring> texts; // the status texts seen since the last expect-animation
    std::string found;               // what the last failed expectation found instead
} d;

const std::string& arg(std::size_t i) {
    static const std::string none;
    return i < d.step.size() ? d.step[i] : none;
}

// One line as words; a quoted text keeps its spaces and reads \n, \\, \" and \xNN.
Words split(const std::string& line) {
    Words words;
    for (std::size_t i = 0; (i = line.find_first_not_of(" \r", i)) < line.size() && line[i] != '#';
         ++i) {
        std::string word;
        if (line[i] != '"') {
            word = line.substr(i, line.find_first_of(" \r", i) - i);
            i += word.size();
        } else {
            while (++i < line.size() && line[i] != '"') {
                if (line[i] != '\\') {
                    word += line[i];
                } else if (line[++i] == 'x') {
                    word += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    word += line[i] == 'n' ? '\n' : line[i];
                }
            }
        }
        words.push_back(word);
    }
    return words;
}

// Sums of products of whole numbers and of W, H (the main window's outer size), SW, SH.
long number(const std::string& text) {
    const std::map<std::string, long> names = {
        {"W", 640 + GetSystemMetrics(SM_CXFRAME)},
        {"H", 480 + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION)},
        {"SW", GetSystemMetrics(SM_CXSCREEN)},
        {"SH", GetSystemMetrics(SM_CYSCREEN)}};
    long sum = 0, product = 1;
    char sign = '+', op = '*';
    for (std::size_t i = 0, end = 0; i <= text.size(); i = end + 1) {
        end = std::min(text.find_first_of("+-*/", i), text.size());
        const std::string atom = text.substr(i, end - i);
        const long value = names.count(atom) ? names.at(atom) : std::atol(atom.c_str());
        product = op == '*' ? product * value : product / value;
        op = end < text.size() ? text[end] : '+';
        if (op == '+' || op == '-') {
            sum += sign == '+' ? product : -product;
            sign = op;
            product = 1;
            op = '*';
        }
    }
    return sum;
}

// ---- windows -------------------------------------------------------------------------------

const std::map<std::string, std::string> controlNames = {{"Campaigns", "main.1"},
                                                         {"Translations", "main.20"},
                                                         {"Start", "main.10"},
                                                         {"OK", "handler.100"}};
const std::map<std::string, const wchar_t*> windowClasses = {{"main", L"Dravik-Setup"},
                                                             {"status", L"Dravik-Setup"},
                                                             {"status-frame", L"Dravik-Setup"},
                                                             {"handler", L"Script-Handler"},
                                                             {"box", L"#32770"}};

bool known(const std::string& name) {
    const std::string full = controlNames.count(name) ? controlNames.at(name) : name;
    return windowClasses.count(full.substr(0, full.find('.'))) != 0;
}

HWND target(const std::string& name) {
    const std::string full = controlNames.count(name) ? controlNames.at(name) : name;
    const std::size_t dot = full.find('.');
    const std::string top = full.substr(0, dot);
    HWND window = known(top) ? findWindow(d.program, windowClasses.at(top)) : nullptr;
    if (top == "status" || top == "status-frame") {
        return staticOf(window, top == "status" ? 156 : 160);
    }
    return dot == std::string::npos ? window : GetDlgItem(window, std::stoi(full.substr(dot + 1)));
}

// A window's outer rectangle on the screen, a control's in its parent's client area.
RECT rectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

bool placed(HWND window, long x, long y, long width, long height) {
    const RECT rect = rectOf(window);
    return window && rect.left == x && rect.top == y && rect.right - rect.left == width &&
           rect.bottom - rect.top == height;
}

std::string describe(const std::string& name, HWND window) {
    const RECT rect = rectOf(window);
    char place[100];
    std::snprintf(place, sizeof(place), "\" at %ld %ld %ld %ld%s%s", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top,
                  IsWindowVisible(window) ? "" : ", hidden",
                  IsWindowEnabled(window) ? "" : ", disabled");
    return name + (window ? ": \"" + utf8(textOf(window)) + place : ": no window");
}

bool is(HWND window, const std::string& state) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG extended = GetWindowLongW(window, GWL_EXSTYLE);
    GUITHREADINFO input{};
    input.cbSize = sizeof(input);
    GetGUIThreadInfo(d.program.dwThreadId, &input);
    // fixed-frame: a caption with a close box; no sizing border, no minimise or maximise box
    const LONG frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    return state == "missing"       ? !window
           : !window                ? false
           : state == "shown"       ? IsWindowVisible(window)
           : state == "hidden"      ? !IsWindowVisible(window)
           : state == "enabled"     ? IsWindowEnabled(window)
           : state == "disabled"    ? !IsWindowEnabled(window)
           : state == "focused"     ? input.hwndFocus == window
           : state == "transparent" ? extended & WS_EX_TRANSPARENT
           : state == "tool-window" ? extended & WS_EX_TOOLWINDOW
           : state == "fixed-frame"
               ? (style & frame) == (WS_CAPTION | WS_SYSMENU)
               : GetClassLongPtrW(window, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW);
}

const Words states = {"missing", "shown",       "hidden",      "enabled",     "disabled",
                      "focused", "transparent", "tool-window", "fixed-frame", "redraw-class"};

// Waits for a condition, keeping every new status text for expect-animation.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    return waitUntil(
        [&] {
            const std::wstring text = textOf(target("status"));
            if (d.texts.empty() || d.texts.back() != text) {
                d.texts.push_back(text);
            }
            return condition();
        },
        milliseconds);
}

void mouse(DWORD flags, POINT at = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
    SendInput(1, &input, sizeof(input));
}

POINT centre(HWND window, long dx = 0, long dy = 0) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2 + dy};
}

// ---- files ---------------------------------------------------------------------------------

std::string crlf(std::string text) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\r');
    }
    return text;
}

bool makeFile(const std::string& path, const std::string& text) {
    std::error_code ignored;
    fs::create_directories((d.game / path).parent_path(), ignored);
    return static_cast<bool>(std::ofstream(d.game / path, std::ios::binary) << crlf(text));
}

// The program's resource as text: an icon's image sizes, the manifest, the version's texts.
std::string resource(const std::string& kind, int id) {
    HMODULE module = LoadLibraryExW(d.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id),
                                kind == "icon"       ? RT_GROUP_ICON
                                : kind == "manifest" ? RT_MANIFEST
                                                     : RT_VERSION);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string text(bytes ? bytes : "", bytes ? SizeofResource(module, found) : 0);
    if (kind == "version") {
        text = utf8(std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size() / 2));
    } else if (kind == "icon") {
        std::vector<int> sizes; // the images' widths, 0 standing for 256
        for (std::size_t at = 6; at + 14 <= text.size(); at += 14) {
            sizes.push_back(text[at] ? static_cast<unsigned char>(text[at]) : 256);
        }
        std::sort(sizes.begin(), sizes.end());
        text.clear();
        for (int size : sizes) {
            text += (text.empty() ? "" : " ") + std::to_string(size);
        }
    }
    FreeLibrary(module);
    return text;
}

// ---- steps ---------------------------------------------------------------------------------

bool expect() {
    Words targets, wanted;
    std::string text;
    long rect[4] = {};
    bool hasText = false, hasRect = false;
    int hold = 0;
    for (std::size_t i = 1; i < d.step.size(); ++i) {
        if (arg(i) == "text" || arg(i) == "rect" || arg(i) == "for") {
            hasText |= arg(i) == "text";
            hasRect |= arg(i) == "rect";
            text = arg(i) == "text" ? arg(i + 1) : text;
            hold = arg(i) == "for" ? std::stoi(arg(i + 1)) : hold;
            for (int k = 0; arg(i) == "rect" && k < 4; ++k) {
                rect[k] = number(arg(i + 1 + k));
            }
            i += arg(i) == "rect" ? 4 : 1;
        } else if (std::find(states.begin(), states.end(), arg(i)) != states.end()) {
            wanted.push_back(arg(i));
        } else if (known(arg(i))) {
            targets.push_back(arg(i));
        } else {
            d.found = "an unknown word: " + arg(i);
            return false;
        }
    }
    const auto met = [&] {
        for (const std::string& name : targets) {
            HWND window = target(name);
            d.found = describe(name, window);
            bool ok = (!hasText || utf8(textOf(window)) == text) &&
                      (!hasRect || placed(window, rect[0], rect[1], rect[2], rect[3]));
            for (const std::string& state : wanted) {
                ok = ok && is(window, state);
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    };
    return waitFor(met) && !waitFor([&] { return !met(); }, hold);
}

bool expectAnimation() {
    std::vector<int> steps;
    const bool seen = waitFor([&] {
        steps.clear();
        for (const std::wstring& text : d.texts) {
            for (int step = 0; step < 6; ++step) {
                if (text == L"working (can take long!)\n" + std::wstring(step + 1, L'.')) {
                    steps.push_back(step);
                }
            }
        }
        return steps.size() >= std::stoul(arg(2));
    });
    bool ok = seen && steps[0] == std::stoi(arg(1));
    d.found = "the steps";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        ok = ok && (i == 0 || steps[i] == (steps[i - 1] + 1) % 6);
        d.found += " " + std::to_string(steps[i]);
    }
    d.texts.clear();
    return ok;
}

// Steps that act on a window: it must be there.
bool act(const std::string& step) {
    const std::string on = step == "ok"                        ? "box"
                           : step == "key"                     ? "handler"
                           : step == "close" && arg(1).empty() ? "main"
                                                               : arg(1);
    static const Words actions = {"close", "press", "ok", "key", "hover", "click", "drag"};
    if (std::find(actions.begin(), actions.end(), step) == actions.end()) {
        d.found = "an unknown step";
        return false;
    }
    HWND window = nullptr;
    if (!known(on) || !waitFor([&] { return (window = target(on)) != nullptr; })) {
        d.found = "no window " + on;
        return false;
    }
    if (step == "close" || step == "press" || step == "ok") {
        const UINT message = step == "close" ? WM_CLOSE : step == "press" ? BM_CLICK : WM_COMMAND;
        return PostMessageW(window, message, step == "ok" ? IDOK : 0, 0);
    }
    if (step == "key") {
        const bool shift = arg(1).rfind("shift+", 0) == 0;
        INPUT keys[4] = {};
        for (int i = 0; i < 4; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = (i == 0 || i == 3)                        ? VK_SHIFT
                             : arg(1).find("TAB") != std::string::npos ? VK_TAB
                                                                       : VK_SPACE;
            keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
        }
        SetForegroundWindow(window);
        waitFor([&] { return GetForegroundWindow() == window; });
        return SendInput(shift ? 4 : 2, shift ? keys : keys + 1, sizeof(INPUT)) != 0;
    }
    if (step == "hover") {
        // Wine tells a box that the mouse left it on a timer, so a first move onto the next box
        // can come too early: the mouse moves a pixel to and fro until the box's name shows.
        const POINT at = centre(window, number(arg(2)), number(arg(3)));
        const bool box = GetDlgCtrlID(window) >= 800 && GetDlgCtrlID(window) < 830;
        int moves = 0;
        d.found = "the box's name does not show in the name frame";
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
    if (step == "drag") {
        mouse(MOUSEEVENTF_MOVE, centre(target(arg(2))));
        ok = ok && waitFor([&] { return !pushed(); });
    }
    mouse(MOUSEEVENTF_LEFTUP);
    d.found = "the button did not show the press";
    return ok;
}

bool carryOut() {
    const std::string& step = arg(0);
    if (step == "make-file") {
        return makeFile(arg(1), arg(2));
    }
    if (step == "make-campaign") {
        return makeFile("data\\campaign\\" + arg(1) + "\\campaign.txt",
                        "[name] " + arg(2) + "\n[description]\nThe " + arg(2) + ".\n");
    }
    if (step == "make-script") {
        std::string text =
            "[name] " + arg(2) + "\n[description] " + arg(3) + "\n[works for] " + arg(4) + "\n";
        std::string files = "overwrite data\\text\\unused.txt\n";
        for (std::size_t i = 5; i < d.step.size(); ++i) {
            const bool flag = arg(i) == "checked" || arg(i) == "required";
            text += flag                             ? "[" + arg(i) + "]\n"
                    : arg(i).rfind("group=", 0) == 0 ? "[grouped in] " + arg(i).substr(6) + "\n"
                                                     : "";
            files = flag || arg(i).rfind("group=", 0) == 0 ? files : arg(i);
        }
        return makeFile("data\\campaign\\sub\\" + arg(1), text + "[files]\n" + files);
    }
    if (step == "add-launcher") {
        return CopyFileW(d.launcher.c_str(), (d.game / "Dravik_Launcher.exe").c_str(), FALSE);
    }
    if (step == "start") {
        mouse(MOUSEEVENTF_MOVE, {0, 0}); // out of the way of the windows to come
        d.program = startProgram(d.game / "DravikSetup.exe", d.game);
        d.texts.clear();
        return waitFor([] { return target("main") || target("box"); }, 20000);
    }
    if (step == "screenshot") {
        waitFor([] { return false; }, 300); // the windows finish painting
        return screenshot({target("main"), target("handler"), target("box")},
                          d.shots + L"\\" + fs::path(arg(1)).wstring() + L".png");
    }
    if (step == "expect") {
        return expect();
    }
    if (step == "expect-list") { // buttons FIRST + i with their names and places; no others
        return waitFor([] {
            for (int i = 0; i < 10; ++i) {
                HWND button = GetDlgItem(target("main"), std::stoi(arg(1)) + i);
                d.found = describe(std::to_string(std::stoi(arg(1)) + i), button);
                if (i + 2u < d.step.size() ? !placed(button, 225, 130 + 27 * i, 190, 20) ||
                                                 utf8(textOf(button)) != arg(i + 2)
                                           : button != nullptr) {
                    return false;
                }
            }
            return true;
        });
    }
    if (step == "expect-boxes") {
        return waitFor([] {
            HWND handler = target("handler");
            d.found.clear();
            for (int id = 800; id < 830; ++id) {
                HWND box = GetDlgItem(handler, id);
                d.found += !box                                                  ? '.'
                           : SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x'
                                                                                 : '-';
            }
            return handler && d.found == arg(1) + std::string(30 - arg(1).size(), '.');
        });
    }
    if (step == "expect-rows") {
        return waitFor([] {
            for (std::size_t row = 1; row < d.step.size(); ++row) {
                HWND box = GetDlgItem(target("handler"), std::stoi(arg(row)));
                d.found = describe(arg(row), box);
                if (!placed(box, 10, 10 + 26 * (row - 1), 185, 23)) {
                    return false;
                }
            }
            return true;
        });
    }
    if (step == "expect-line") {
        return waitFor([] {
            HWND handler = target("handler");
            for (HWND line = nullptr;
                 handler && (line = FindWindowExW(handler, line, L"Static", nullptr));) {
                if (placed(line, number(arg(1)), number(arg(2)), number(arg(3)), number(arg(4)))) {
                    return true;
                }
            }
            return false;
        });
    }
    if (step == "expect-box") {
        return waitFor([] {
            HWND box = target("box");
            d.found = "\"" + utf8(textOf(box)) + "\" \"" + utf8(textOf(staticOf(box, 0))) + "\"";
            return box && d.found == "\"" + arg(1) + "\" \"" + arg(2) + "\"";
        });
    }
    if (step == "expect-animation") {
        return expectAnimation();
    }
    if (step == "expect-file") {
        return waitFor([] {
            std::ifstream file(d.game / arg(1), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            d.found = file.is_open() ? "\"" + bytes + "\"" : "no file";
            return arg(2) == "missing" ? !file.is_open() : file.is_open() && bytes == crlf(arg(3));
        });
    }
    if (step == "expect-exit") {
        const long code = waitForExit(d.program, 10000);
        d.found = "exit code " + std::to_string(code);
        return code == std::stol(arg(1));
    }
    if (step == "expect-resource") {
        d.found = resource(arg(1), std::stoi(arg(2)));
        return arg(1) == "icon" ? d.found == arg(3) : d.found.find(arg(3)) != std::string::npos;
    }
    return act(step);
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

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::ifstream file(fs::path(windowsPath(E2E_SOURCE L"/tools/e2e/scenarios.txt")));
    if (argc < 5 || !file) {
        std::printf("usage: e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> "
                    "<screenshot folder> [scenario]   (reads tools/e2e/scenarios.txt)\n");
        return 2;
    }
    d.exe = windowsPath(argv[1]);
    d.launcher = windowsPath(argv[2]);
    d.shots = windowsPath(argv[4]);
    std::error_code ignored;
    fs::create_directories(d.shots, ignored);
    unmanagedWindows();

    // Each scenario's lines (number and text), those of its base first.
    std::vector<std::pair<std::string, std::vector<std::pair<int, std::string>>>> scenarios;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const Words words = split(line);
        if (!words.empty() && words[0] == "scenario") {
            scenarios.push_back({words[1], {}});
            for (const auto& base : scenarios) {
                if (words.size() > 3 && base.first == words[3]) {
                    scenarios.back().second = base.second;
                }
            }
        } else if (!words.empty() && !scenarios.empty()) {
            scenarios.back().second.push_back({number, line});
        }
    }
    int passed = 0, failed = 0;
    for (const auto& [name, lines] : scenarios) {
        if (argc > 5 && fs::path(name) != argv[5]) {
            continue;
        }
        std::printf("== %s\n", name.c_str());
        std::fflush(stdout);
        d.game = fs::path(windowsPath(argv[3])) / name;
        fs::remove_all(d.game, ignored);
        fs::create_directories(d.game / "data" / "menu", ignored);
        fs::copy_file(windowsPath(E2E_SOURCE L"/sample/game/data/menu/setup_bg.bmp"),
                      d.game / "data" / "menu" / "setup_bg.bmp", ignored);
        fs::copy_file(d.exe, d.game / "DravikSetup.exe", ignored);
        bool ok = true;
        for (std::size_t i = 0; ok && i < lines.size(); ++i) {
            d.step = split(lines[i].second);
            ok = carryOut();
            if (!ok) {
                std::printf("FAIL line %d: %s\n     found: %s\n", lines[i].first,
                            lines[i].second.c_str(), d.found.c_str());
            }
        }
        if (HWND main = target("main")) {
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        waitForExit(d.program, 5000);
        ++(ok ? passed : failed);
    }
    std::printf("scenarios: %d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
