// End-to-end tests of DravikSetup.exe under Wine: carries out the steps of scenarios.txt (they
// are described at its top) and prints every failed one.
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder> [scenario]
#include "e2e.h"

#include <shellapi.h>

#include <cstdio>
#include <map>

using namespace e2e;

namespace {

using Words = std::vector<std::string>;

struct Driver {
    std::wstring exe, launcher, shots, game;
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

// ---- targets -------------------------------------------------------------------------------

std::string fullName(const std::string& name) {
    static const std::map<std::string, std::string> controls = {
        {"Campaigns", "main.1"}, {"Translations", "main.20"}, {"Start", "main.10"},
        {"OK", "handler.100"}};
    return controls.count(name) ? controls.at(name) : name;
}

bool known(const std::string& name) {
    const std::string top = fullName(name).substr(0, fullName(name).find('.'));
    return top == "main" || top == "handler" || top == "box" || top == "status" ||
           top == "status-frame";
}

HWND target(const std::string& name) {
    const std::string full = fullName(name);
    const std::size_t dot = full.find('.');
    const std::string top = full.substr(0, dot);
    HWND window = findWindow(d.program, top == "handler" ? L"Script-Handler"
                                        : top == "box"   ? L"#32770"
                                                         : L"Dravik-Setup");
    if (top == "status" || top == "status-frame") {
        return staticOfWidth(window, top == "status" ? 156 : 160);
    }
    return dot == std::string::npos ? window : GetDlgItem(window, std::stoi(full.substr(dot + 1)));
}

HWND focused() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(d.program.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

bool styled(HWND window, int index, LONG mask, LONG bits) {
    return (GetWindowLongW(window, index) & mask) == bits;
}

const std::map<std::string, std::function<bool(HWND)>> states = {
    {"shown", [](HWND w) { return IsWindowVisible(w) != FALSE; }},
    {"hidden", [](HWND w) { return !IsWindowVisible(w); }},
    {"enabled", [](HWND w) { return IsWindowEnabled(w) != FALSE; }},
    {"disabled", [](HWND w) { return !IsWindowEnabled(w); }},
    {"focused", [](HWND w) { return w == focused(); }},
    {"transparent", [](HWND w) { return styled(w, GWL_EXSTYLE, WS_EX_TRANSPARENT, WS_EX_TRANSPARENT); }},
    {"tool-window", [](HWND w) { return styled(w, GWL_EXSTYLE, WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW); }},
    // A caption with a close box: no sizing border, no minimise or maximise box.
    {"fixed-frame",
     [](HWND w) {
         return styled(w, GWL_STYLE,
                       WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                       WS_CAPTION | WS_SYSMENU);
     }},
    {"redraw-class",
     [](HWND w) { return GetClassLongPtrW(w, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW); }},
};

// A window's outer rectangle on the screen, a control's in its parent's client area.
RECT rectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (styled(window, GWL_STYLE, WS_CHILD, WS_CHILD)) {
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

bool placed(HWND window, long x, long y, long width, long height) {
    const RECT rect = rectOf(window);
    return window && rect.left == x && rect.top == y && rect.right - rect.left == width &&
           rect.bottom - rect.top == height;
}

std::string describe(HWND window) {
    const RECT rect = rectOf(window);
    char place[100];
    std::snprintf(place, sizeof(place), " at %ld %ld %ld %ld%s%s", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top,
                  IsWindowVisible(window) ? "" : ", hidden", IsWindowEnabled(window) ? "" : ", disabled");
    return window ? "\"" + shown(textOf(window)) + "\"" + place : "no window";
}

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

// ---- files and input -------------------------------------------------------------------------

bool readFile(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD size = GetFileSize(file, nullptr);
    bytes.assign(file == INVALID_HANDLE_VALUE ? 0 : size, '\0');
    const bool read = file != INVALID_HANDLE_VALUE && ReadFile(file, bytes.data(), size, &size, nullptr);
    CloseHandle(file);
    return read;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    makeFolders(path.substr(0, path.rfind(L'\\')));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool wrote = WriteFile(file, bytes.data(), bytes.size(), &written, nullptr);
    CloseHandle(file);
    return wrote;
}

std::string crlf(std::string text) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
        text.insert(at, 1, '\r');
    }
    return text;
}

void removeTree(const std::wstring& path) {
    const std::wstring from = path + L'\0'; // a list of names, ended by an empty one
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::string resource(const std::string& kind, int id) {
    HMODULE module = LoadLibraryExW(d.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id),
                                kind == "icon"       ? RT_GROUP_ICON
                                : kind == "manifest" ? RT_MANIFEST
                                                     : RT_VERSION);
    std::string bytes(static_cast<const char*>(LockResource(LoadResource(module, found))),
                      found ? SizeofResource(module, found) : 0);
    FreeLibrary(module);
    if (kind == "version") {
        return shown(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    }
    if (kind != "icon") {
        return bytes;
    }
    std::vector<int> sizes; // the group's image widths, 0 standing for 256
    for (std::size_t at = 6; at + 14 <= bytes.size(); at += 14) {
        sizes.push_back(bytes[at] == 0 ? 256 : static_cast<unsigned char>(bytes[at]));
    }
    std::sort(sizes.begin(), sizes.end());
    std::string list;
    for (int size : sizes) {
        list += (list.empty() ? "" : " ") + std::to_string(size);
    }
    return list;
}

POINT centre(HWND window, long dx = 0, long dy = 0) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2 + dy};
}

void mouse(DWORD flags, POINT at = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
    SendInput(1, &input, sizeof(input));
}

void key(WORD code, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

// ---- steps -----------------------------------------------------------------------------------

bool expect() {
    Words targets, wanted;
    std::string text;
    long rect[4] = {};
    bool hasText = false, hasRect = false;
    int hold = 0;
    for (std::size_t i = 1; i < d.step.size(); ++i) {
        const std::string& word = d.step[i];
        if (word == "text") {
            hasText = true;
            text = arg(++i);
        } else if (word == "rect") {
            hasRect = true;
            for (long& value : rect) {
                value = number(arg(++i));
            }
        } else if (word == "for") {
            hold = std::stoi(arg(++i));
        } else if (word == "missing" || states.count(word)) {
            wanted.push_back(word);
        } else if (known(word)) {
            targets.push_back(word);
        } else {
            d.found = "an unknown word: " + word;
            return false;
        }
    }
    const auto met = [&] {
        for (const std::string& name : targets) {
            HWND window = target(name);
            d.found = name + ": " + describe(window);
            bool ok = (!hasText || textOf(window) == wide(text)) &&
                      (!hasRect || placed(window, rect[0], rect[1], rect[2], rect[3]));
            for (const std::string& state : wanted) {
                ok = ok && (state == "missing" ? !window : window && states.at(state)(window));
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

bool expectFile() {
    return waitFor([] {
        std::string bytes;
        const bool there = readFile(d.game + L"\\" + wide(arg(1)), bytes);
        d.found = there ? "\"" + shown(wide(bytes)) + "\"" : "no file";
        return arg(2) == "missing" ? !there : there && arg(2) == "equals" && bytes == crlf(arg(3));
    });
}

bool makeFile(const std::string& path, const std::string& text) {
    return writeFile(d.game + L"\\" + wide(path), crlf(text));
}

bool makeScript() {
    std::string text = "[name] " + arg(2) + "\n[description] " + arg(3) + "\n[works for] " + arg(4) + "\n";
    std::string files = "overwrite data\\text\\unused.txt\n";
    for (std::size_t i = 5; i < d.step.size(); ++i) {
        if (arg(i) == "checked" || arg(i) == "required") {
            text += "[" + arg(i) + "]\n";
        } else if (arg(i).rfind("group=", 0) == 0) {
            text += "[grouped in] " + arg(i).substr(6) + "\n";
        } else {
            files = arg(i);
        }
    }
    return makeFile("data\\campaign\\sub\\" + arg(1), text + "[files]\n" + files);
}

// Steps that act on a window: it must be there.
bool act(const std::string& step) {
    const std::string on = step == "ok"                        ? "box"
                           : step == "key"                     ? "handler"
                           : step == "close" && arg(1).empty() ? "main"
                                                               : arg(1);
    static const Words actions = {"close", "press", "ok", "key", "hover", "click", "drag"};
    HWND window = nullptr;
    if (std::find(actions.begin(), actions.end(), step) == actions.end()) {
        d.found = "an unknown step";
        return false;
    }
    if (!known(on) || !waitFor([&] { return (window = target(on)) != nullptr; })) {
        d.found = "no window " + on;
        return false;
    }
    if (step == "close" || step == "press" || step == "ok") {
        return PostMessageW(window, step == "close" ? WM_CLOSE : step == "press" ? BM_CLICK : WM_COMMAND,
                            step == "ok" ? IDOK : 0, 0);
    }
    if (step == "key") {
        const bool shift = arg(1).rfind("shift+", 0) == 0;
        const WORD code = arg(1).find("TAB") != std::string::npos ? VK_TAB : VK_SPACE;
        SetForegroundWindow(window);
        if (shift) {
            key(VK_SHIFT, 0);
        }
        key(code, 0);
        key(code, KEYEVENTF_KEYUP);
        if (shift) {
            key(VK_SHIFT, KEYEVENTF_KEYUP);
        }
        return true;
    }
    if (step == "hover") {
        // Wine tells a control that the mouse left it on a timer: a second move a moment after
        // the first shows the mouse coming in to a box that would have missed it.
        const POINT at = centre(window, number(arg(2)), number(arg(3)));
        mouse(MOUSEEVENTF_MOVE, {at.x - 10, at.y});
        Sleep(100);
        mouse(MOUSEEVENTF_MOVE, at);
        return true;
    }
    mouse(MOUSEEVENTF_MOVE, centre(window));
    mouse(MOUSEEVENTF_LEFTDOWN);
    if (step == "drag") {
        mouse(MOUSEEVENTF_MOVE, centre(target(arg(2))));
    }
    mouse(MOUSEEVENTF_LEFTUP);
    return step == "click" || step == "drag";
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
        return makeScript();
    }
    if (step == "add-launcher") {
        return CopyFileW(d.launcher.c_str(), (d.game + L"\\Dravik_Launcher.exe").c_str(), FALSE);
    }
    if (step == "start") {
        mouse(MOUSEEVENTF_MOVE, {0, 0}); // out of the way of the windows to come
        d.program = startProgram(d.game + L"\\DravikSetup.exe", d.game);
        d.texts.clear();
        return waitFor([] { return target("main") || target("box"); }, 20000);
    }
    if (step == "screenshot") {
        waitFor([] { return false; }, 300); // the windows finish painting
        return screenshot({target("main"), target("handler"), target("box")},
                          d.shots + L"\\" + wide(arg(1)) + L".png");
    }
    if (step == "expect") {
        return expect();
    }
    if (step == "expect-list") {
        return waitFor([] {
            for (int i = 0; i < 10; ++i) {
                HWND button = GetDlgItem(target("main"), std::stoi(arg(1)) + i);
                d.found = std::to_string(std::stoi(arg(1)) + i) + ": " + describe(button);
                if (i + 2u < d.step.size() ? !placed(button, 225, 130 + 27 * i, 190, 20) ||
                                                 textOf(button) != wide(arg(i + 2))
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
                d.found += !box ? '.' : SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'x' : '-';
            }
            return handler && d.found == arg(1) + std::string(30 - arg(1).size(), '.');
        });
    }
    if (step == "expect-rows") {
        return waitFor([] {
            for (std::size_t row = 1; row < d.step.size(); ++row) {
                HWND box = GetDlgItem(target("handler"), std::stoi(arg(row)));
                d.found = arg(row) + ": " + describe(box);
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
            for (HWND line = nullptr; handler && (line = FindWindowExW(handler, line, L"Static", nullptr));) {
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
            d.found = "\"" + shown(textOf(box)) + "\" \"" + shown(messageBoxText(box)) + "\"";
            return box && textOf(box) == wide(arg(1)) && messageBoxText(box) == wide(arg(2));
        });
    }
    if (step == "expect-animation") {
        return expectAnimation();
    }
    if (step == "expect-file") {
        return expectFile();
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
    for (const wchar_t* name : {L"Software\\Wine\\AppDefaults", L"DravikSetup.exe", L"X11 Driver"}) {
        RegCreateKeyExW(key, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
    }
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 4);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::string text;
    if (argc < 5 || !readFile(windowsPath(E2E_SOURCE L"/tools/e2e/scenarios.txt"), text)) {
        std::printf("usage: e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> "
                    "<screenshot folder> [scenario]   (beside tools/e2e/scenarios.txt)\n");
        return 2;
    }
    d.exe = windowsPath(argv[1]);
    d.launcher = windowsPath(argv[2]);
    const std::wstring scratch = windowsPath(argv[3]);
    d.shots = windowsPath(argv[4]);
    makeFolders(d.shots);
    unmanagedWindows();

    // Each scenario's lines (number and text), those of its base first.
    std::vector<std::pair<std::string, std::vector<std::pair<int, std::string>>>> scenarios;
    int number = 0;
    for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        const Words words = split(line);
        ++number;
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
        if (argc > 5 && wide(name) != argv[5]) {
            continue;
        }
        std::printf("== %s\n", name.c_str());
        std::fflush(stdout);
        d.game = scratch + L"\\" + wide(name);
        removeTree(d.game);
        makeFolders(d.game + L"\\data\\menu");
        CopyFileW(windowsPath(E2E_SOURCE L"/sample/game/data/menu/setup_bg.bmp").c_str(),
                  (d.game + L"\\data\\menu\\setup_bg.bmp").c_str(), FALSE);
        CopyFileW(d.exe.c_str(), (d.game + L"\\DravikSetup.exe").c_str(), FALSE);
        bool ok = true;
        for (const auto& [lineNumber, line] : lines) {
            d.step = split(line);
                if (!carryOut()) {
                std::printf("FAIL line %d: %s\n     found: %s\n", lineNumber, line.c_str(),
                            d.found.c_str());
                ok = false;
                break;
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
