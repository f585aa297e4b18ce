// End-to-end tests of DravikSetup.exe under Wine: each scenario lays out a game folder,
// starts the program in it, works it through window messages and real mouse and keyboard
// input, reads texts, states and rectangles, and checks the files on disk afterwards.
//
// e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> <screenshot folder>
//            [scenario name]
#include "driver_support.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace e2e;

namespace {

struct Paths {
    std::wstring program;
    std::wstring launcher;
    std::wstring scratch;
    std::wstring screenshots;
};

const std::wstring workingStep[6] = {
    L"working (can take long!)\n.",     L"working (can take long!)\n..",
    L"working (can take long!)\n...",   L"working (can take long!)\n....",
    L"working (can take long!)\n.....", L"working (can take long!)\n......",
};

int animationStep(const std::wstring& text) {
    for (int i = 0; i < 6; ++i) {
        if (text == workingStep[i]) {
            return i;
        }
    }
    return -1;
}

// ---- game folders --------------------------------------------------------------------------

struct Game {
    std::wstring root;
    void write(const std::wstring& relative, const std::string& bytes) const {
        writeFile(root + L"\\" + relative, bytes);
    }
    std::string read(const std::wstring& relative) const {
        return readFile(root + L"\\" + relative);
    }
    bool has(const std::wstring& relative) const { return fileExists(root + L"\\" + relative); }
};

Game freshGame(const Paths& paths, const std::wstring& name) {
    Game game{paths.scratch + L"\\" + name};
    removeTree(game.root);
    makeFolders(game.root);
    game.write(L"data\\menu\\setup_bg.bmp", backgroundBitmap());
    CopyFileW(paths.program.c_str(), (game.root + L"\\DravikSetup.exe").c_str(), FALSE);
    return game;
}

void addCampaign(const Game& game, const std::wstring& folder, const std::string& name) {
    game.write(L"data\\campaign\\" + folder + L"\\campaign.txt",
               "[name] " + name + "\r\n[description]\r\nThe " + name + ".\r\n");
}

struct Script {
    std::string name;
    std::string description;
    std::string worksFor;
    std::string group; // empty: no [grouped in]
    bool checked = false;
    bool required = false;
    std::string files = "overwrite data\\text\\unused.txt\r\n";
};

void addScript(const Game& game, const std::wstring& fileName, const Script& script) {
    std::string text = "[name] " + script.name + "\r\n[description] " + script.description +
                       "\r\n[works for] " + script.worksFor + "\r\n";
    if (!script.group.empty()) {
        text += "[grouped in] " + script.group + "\r\n";
    }
    if (script.checked) {
        text += "[checked]\r\n";
    }
    if (script.required) {
        text += "[required]\r\n";
    }
    text += "[files]\r\n" + script.files;
    game.write(L"data\\campaign\\sub\\" + fileName, text);
}

const std::string originalNames = "{A} Alpha\r\n{B} Beta\r\n";

// Three campaigns (alpha with two scripts, gamma with five in two groups, beta with none),
// two translation packs and a game text file with its compiled cache. The backup folder
// holds a campaign.txt and must still not be a campaign.
Game standardGame(const Paths& paths, const std::wstring& name) {
    Game game = freshGame(paths, name);
    addCampaign(game, L"alpha", "Alpha Campaign");
    addCampaign(game, L"beta", "Beta Campaign");
    addCampaign(game, L"gamma", "Gamma Campaign");
    game.write(L"data\\campaign\\alpha\\text\\alpha_marker.txt", "alpha installed\r\n");
    addCampaign(game, L"backup", "Reserved");
    addScript(
        game, L"a_append.txt",
        {"Gamma line", "Adds the third name.", "alpha", "", true, false,
         "append data\\text\\names.txt with:\r\n{C} Gamma\r\nafter:\r\n{B} Beta\r\n<end>\r\n"});
    addScript(game, L"b_broken.txt",
              {"Broken", "Points at a file that is not there.", "alpha", "", true, false,
               "append data\\text\\missing.txt with extra.txt\r\n"});
    addScript(game, L"g1_red.txt",
              {"Red banners", "Paints the banners red.", "gamma", "colors", true, false});
    addScript(game, L"g2_blue.txt",
              {"Blue banners", "Paints the banners blue.", "gamma", "colors", true, false});
    addScript(game, L"g3_small.txt",
              {"Small armies", "Fewer soldiers per army.", "gamma", "size", false, true});
    addScript(game, L"u1_music.txt", {"New music", "Plays other tunes.", "gamma", "", true, false});
    addScript(game, L"u2_speech.txt",
              {"Speech", "Adds spoken lines.", "gamma,beta2", "", false, false});
    game.write(L"data\\campaign\\translation\\french.txt", "[name] French\r\n");
    game.write(L"data\\campaign\\translation\\french\\names.txt", "{B} Bete\r\n");
    game.write(L"data\\campaign\\translation\\german.txt", "[name] German\r\n");
    game.write(L"data\\text\\names.txt", originalNames);
    game.write(L"data\\text\\names.txt.strings.bin", "compiled cache");
    return game;
}

// ---- the main window -------------------------------------------------------------------------

struct MainGeometry {
    int width;
    int height;
};

MainGeometry mainGeometry() {
    return {
        static_cast<short>(640 + GetSystemMetrics(SM_CXFRAME)),
        static_cast<short>(480 + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION))};
}

HWND control(const Program& program, int id) {
    return GetDlgItem(program.main, id);
}
// The main window's static control of that width.
HWND staticOfWidth(const Program& program, LONG width) {
    for (HWND child : childrenOf(program.main, L"Static")) {
        const RECT rect = rectInParent(child);
        if (rect.right - rect.left == width) {
            return child;
        }
    }
    return nullptr;
}
// The label is the static control of 156 x 30 pixels; the frame the one of 160 x 34.
HWND statusLabel(const Program& program) {
    return staticOfWidth(program, 156);
}
HWND statusFrame(const Program& program) {
    return staticOfWidth(program, 160);
}

bool statusShown(const Program& program) {
    return IsWindowVisible(statusLabel(program)) && IsWindowVisible(statusFrame(program));
}

void closeNormally(Program& program, const std::string& what) {
    PostMessageW(program.main, WM_CLOSE, 0, 0);
    check(waitForExit(program, 10000) == 0, what + ": the program ends with exit code 0");
}

// Both classes: redraw on resize. (Another process's class handles, such as its icons,
// cannot be read from outside; the icons are checked in the program's resources.)
void checkWindowClass(HWND window, const std::string& what) {
    check(GetClassLongPtrW(window, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW), what + ": class style");
}

void checkListButtons(const Program& program, int idBase, const std::vector<std::wstring>& names,
                      const std::string& what) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        HWND button = control(program, idBase + static_cast<int>(i));
        const std::string name = what + " button " + std::to_string(idBase + i);
        if (!check(button != nullptr, name + " exists")) {
            continue;
        }
        checkText(textOf(button), names[i], name + " text");
        checkRect(rectInParent(button), 225, 130 + 27 * static_cast<int>(i), 190, 20,
                  name + " place");
    }
    check(control(program, idBase + static_cast<int>(names.size())) == nullptr,
          what + ": no button past the last entry");
}

void checkNoListButtons(const Program& program, int idBase, const std::string& what) {
    for (int i = 0; i < 10; ++i) {
        if (!check(control(program, idBase + i) == nullptr,
                   what + ": button " + std::to_string(idBase + i) + " is gone")) {
            return;
        }
    }
}

// ---- scenarios -------------------------------------------------------------------------------

// The icon group's image widths (16, 32, 48 ...), read from the program's resources.
std::vector<int> iconSizes(HMODULE module, int id) {
    std::vector<int> sizes;
    HRSRC found =
        FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    if (found == nullptr) {
        return sizes;
    }
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    if (bytes == nullptr || size < 6) {
        return sizes;
    }
    const int count = bytes[4] | (bytes[5] << 8);
    for (int i = 0; i < count && 6u + 14u * (i + 1) <= size; ++i) {
        const int width = bytes[6 + 14 * i];
        sizes.push_back(width == 0 ? 256 : width);
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

std::string resourceText(HMODULE module, int id, LPCWSTR type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return bytes == nullptr ? std::string() : std::string(bytes, SizeofResource(module, found));
}

void resourceScenario(const Paths& paths) {
    beginScenario("the program's resources: icons, manifest, version");
    HMODULE module = LoadLibraryExW(paths.program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!check(module != nullptr, "DravikSetup.exe opens as a resource file")) {
        return;
    }
    for (int id : {107, 108}) {
        check(iconSizes(module, id) == std::vector<int>{16, 32, 48},
              "icon " + std::to_string(id) + " holds 16, 32 and 48 pixel images");
    }
    const std::string manifest = resourceText(module, 1, reinterpret_cast<LPCWSTR>(RT_MANIFEST));
    check(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
              manifest.find("version=\"6.0.0.0\"") != std::string::npos,
          "the manifest asks for common controls 6.0.0.0");
    check(manifest.find("level=\"asInvoker\"") != std::string::npos,
          "the manifest asks for the asInvoker level");
    const std::string version = resourceText(module, 1, reinterpret_cast<LPCWSTR>(RT_VERSION));
    const std::wstring wide(reinterpret_cast<const wchar_t*>(version.data()), version.size() / 2);
    check(wide.find(L"ProductName") != std::wstring::npos &&
              wide.find(L"Dravik Setup") != std::wstring::npos,
          "the version resource names the product \"Dravik Setup\"");
    FreeLibrary(module);
}

void startUpScenarios(const Paths& paths) {
    beginScenario("start-up: neither a campaign nor a translation");
    {
        Game game = freshGame(paths, L"startup-empty");
        addScript(game, L"lonely.txt", {"Lonely", "No campaign for it.", "all", "", false, false});
        Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root, false);
        HWND box = nullptr;
        waitUntil([&] { return (box = findWindow(program, L"#32770")) != nullptr; }, 20000);
        if (check(box != nullptr, "the start-up error box appears")) {
            checkText(textOf(box), L"Error", "error box title");
            checkText(messageBoxText(box), L"Not enough campaigns or core files missing!",
                      "start-up error text");
            check(findWindow(program, L"Dravik-Setup") == nullptr, "the main window is not shown");
            screenshot({box}, paths.screenshots + L"\\error-box-start-up.png");
            clickOk(box);
        }
        check(waitForExit(program, 10000) == 0, "the program ends with exit code 0 after the box");
    }

    beginScenario("start-up: translations only, campaigns only");
    {
        Game game = freshGame(paths, L"startup-translations");
        game.write(L"data\\campaign\\translation\\french.txt", "[name] French\r\n");
        Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
        if (program.main != nullptr) {
            check(!IsWindowVisible(control(program, 1)),
                  "\"Campaigns\" is hidden without campaigns");
            check(IsWindowVisible(control(program, 20)), "\"Translations\" is shown");
            closeNormally(program, "translations only");
        }
        endProgram(program);
    }
    {
        Game game = freshGame(paths, L"startup-campaigns");
        addCampaign(game, L"alpha", "Alpha Campaign");
        Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
        if (program.main != nullptr) {
            check(IsWindowVisible(control(program, 1)), "\"Campaigns\" is shown");
            check(!IsWindowVisible(control(program, 20)),
                  "\"Translations\" is hidden without translations");
            closeNormally(program, "campaigns only");
        }
        endProgram(program);
    }
}

void listScenario(const Paths& paths) {
    beginScenario("main window: layout, lists and status texts");
    Game game = standardGame(paths, L"lists");
    Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
    if (program.main == nullptr) {
        return;
    }
    const MainGeometry geometry = mainGeometry();
    RECT outer{};
    GetWindowRect(program.main, &outer);
    checkRect(outer, GetSystemMetrics(SM_CXSCREEN) / 2 - geometry.width / 2,
              GetSystemMetrics(SM_CYSCREEN) / 2 - geometry.height / 2, geometry.width,
              geometry.height, "main window, centred");
    checkText(textOf(program.main), L"Dravik Setup", "main window title");
    checkRect(rectInParent(control(program, 1)), 10, geometry.height / 2, 160, 24, "\"Campaigns\"");
    checkRect(rectInParent(control(program, 20)), 10, geometry.height / 2 - 34, 160, 24,
              "\"Translations\"");
    checkRect(rectInParent(control(program, 10)), 515, 440, 110, 25, "\"Start and Exit\"");
    checkText(textOf(control(program, 1)), L"Campaigns", "\"Campaigns\" text");
    checkText(textOf(control(program, 20)), L"Translations", "\"Translations\" text");
    checkText(textOf(control(program, 10)), L"Start and Exit", "\"Start and Exit\" text");
    checkWindowClass(program.main, "\"Dravik-Setup\"");
    const LONG style = GetWindowLongW(program.main, GWL_STYLE);
    check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) != 0 &&
              (style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0,
          "main window: caption and system menu only");
    for (int id : {1, 10, 20}) {
        check((GetWindowLongW(control(program, id), GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0,
              "control " + std::to_string(id) + " is transparent");
    }
    check(statusLabel(program) != nullptr && statusFrame(program) != nullptr,
          "the status label and frame exist");
    checkRect(rectInParent(statusLabel(program)), (geometry.width - 160) / 2 + 2, 439, 156, 30,
              "status label");
    checkRect(rectInParent(statusFrame(program)), (geometry.width - 160) / 2, 436, 160, 34,
              "status frame");
    check(!IsWindowVisible(statusLabel(program)) && !IsWindowVisible(statusFrame(program)),
          "the status text is hidden at start");

    // No recent.txt: nothing recorded.
    realClick(control(program, 1));
    waitUntil([&] { return control(program, 900) != nullptr; }, 10000);
    checkListButtons(program, 900, {L"Alpha Campaign", L"Beta Campaign", L"Gamma Campaign"},
                     "campaign");
    checkText(textOf(statusLabel(program)), L"Choose a campaign", "status with nothing recorded");
    check(statusShown(program), "the status text shows while a list is open");
    screenshot({program.main}, paths.screenshots + L"\\main-window-campaign-list.png");

    realClick(control(program, 1));
    waitUntil([&] { return control(program, 900) == nullptr; }, 10000);
    checkNoListButtons(program, 900, "second click on \"Campaigns\"");
    check(!statusShown(program), "the status text hides with the list");

    realClick(control(program, 20));
    waitUntil([&] { return control(program, 700) != nullptr; }, 10000);
    checkListButtons(program, 700, {L"French", L"German"}, "translation");
    checkText(textOf(statusLabel(program)), L"Using:\nnone",
              "translation status, nothing recorded");
    check(statusShown(program), "the status text shows with the translation list");
    screenshot({program.main}, paths.screenshots + L"\\main-window-translation-list.png");

    postClick(control(program, 1));
    waitUntil([&] { return control(program, 900) != nullptr; }, 10000);
    checkNoListButtons(program, 700, "\"Campaigns\" closes the translation list");
    checkListButtons(program, 900, {L"Alpha Campaign", L"Beta Campaign", L"Gamma Campaign"},
                     "campaign list after the switch");
    check(statusShown(program), "the status text stays with the campaign list");

    // A recorded campaign and an empty recorded translation.
    game.write(L"data\\campaign\\recent.txt",
               "[campaign] beta\r\n[scripts] \r\n[translation] \r\n");
    postClick(control(program, 20));
    waitUntil([&] { return control(program, 700) != nullptr; }, 10000);
    checkText(textOf(statusLabel(program)), L"Using:\nEnglish", "empty recorded translation");
    checkNoListButtons(program, 900, "\"Translations\" closes the campaign list");
    postClick(control(program, 1));
    waitUntil([&] { return control(program, 900) != nullptr; }, 10000);
    checkText(textOf(statusLabel(program)), L"Using:\nBeta Campaign", "recorded campaign");

    // Folders compare case-sensitively; the click closes the open list but sets the text.
    game.write(L"data\\campaign\\recent.txt",
               "[campaign] Beta\r\n[scripts] \r\n[translation] French\r\n");
    postClick(control(program, 1));
    waitUntil([&] { return control(program, 900) == nullptr; }, 10000);
    checkText(textOf(statusLabel(program)), L"Choose a campaign",
              "a recorded folder of another case matches no campaign");
    postClick(control(program, 20));
    waitUntil([&] { return control(program, 700) != nullptr; }, 10000);
    checkText(textOf(statusLabel(program)), L"Using:\nFrench", "recorded translation");
    closeNormally(program, "lists");
    endProgram(program);
}

// ---- the Script Handler ------------------------------------------------------------------------

HWND openHandler(const Program& program, int campaignIndex) {
    moveMouseTo(0, 0); // away from where the boxes will be: no hover before the checks
    if (control(program, 900) == nullptr) {
        postClick(control(program, 1));
    }
    HWND button = nullptr;
    waitUntil([&] { return (button = control(program, 900 + campaignIndex)) != nullptr; }, 10000);
    if (!check(button != nullptr,
               "the campaign list shows campaign " + std::to_string(campaignIndex))) {
        return nullptr;
    }
    postClick(button);
    HWND handler = nullptr;
    waitUntil([&] { return (handler = findWindow(program, L"Script-Handler")) != nullptr; }, 10000);
    check(handler != nullptr,
          "the Script Handler opens for campaign " + std::to_string(campaignIndex));
    if (handler != nullptr) {
        // Shown first, then the main window is disabled: wait for the whole opening.
        waitUntil([&] { return !IsWindowEnabled(program.main); }, 5000);
        pause(200);
    }
    return handler;
}

bool closeHandler(const Program& program, HWND handler) {
    PostMessageW(handler, WM_CLOSE, 0, 0);
    return waitUntil([&] { return !IsWindow(handler); }, 5000) &&
           waitUntil([&] { return IsWindowEnabled(program.main) != FALSE; }, 10000);
}

// Window size and control places for a campaign with `boxes` scripts and no groups.
void checkHandlerLayout(HWND handler, int boxes, const std::string& what) {
    int y = 10 + 26 * boxes;
    int height = y + 70;
    int top = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    if (y < 200) {
        y = 210;
        height = 275;
        top = GetSystemMetrics(SM_CYSCREEN) / 2 - 105;
    }
    RECT outer{};
    GetWindowRect(handler, &outer);
    checkRect(outer, GetSystemMetrics(SM_CXSCREEN) / 2 - 250, top, 500, height, what + ": window");
    checkText(textOf(handler), L"Script Handler", what + ": title");
    check((GetWindowLongW(handler, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0,
          what + ": tool-window look");
    checkRect(rectInParent(GetDlgItem(handler, 100)), 50, y + 5, 100, 20, what + ": OK");
    checkRect(rectInParent(GetDlgItem(handler, 998)), 202, 20, 280, y + 15, what + ": description");
    checkRect(rectInParent(GetDlgItem(handler, 1000)), 196, 5, 290, y + 25, what + ": name frame");
    checkText(textOf(GetDlgItem(handler, 998)),
              L"Hover above a specific script to get it's description...",
              what + ": description before any hover");
    checkText(textOf(GetDlgItem(handler, 100)), L"OK", what + ": OK text");
    checkWindowClass(handler, what + ": \"Script-Handler\"");
}

void handlerSizeScenario(const Paths& paths) {
    beginScenario("Script Handler: sizes for 0, 7 and 8 boxes");
    Game game = freshGame(paths, L"handler-sizes");
    addCampaign(game, L"eight", "Eight Scripts");
    addCampaign(game, L"empty", "No Scripts");
    addCampaign(game, L"seven", "Seven Scripts");
    for (int i = 1; i <= 8; ++i) {
        addScript(game, L"s0" + std::to_wstring(i) + L".txt",
                  {"Script " + std::to_string(i), "Number " + std::to_string(i),
                   i <= 7 ? "seven, eight" : "eight", "", false, false});
    }
    Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
    if (program.main == nullptr) {
        return;
    }
    const struct {
        int campaign;
        int boxes;
        const char* name;
    } cases[] = {{1, 0, "no scripts"}, {2, 7, "seven scripts"}, {0, 8, "eight scripts"}};
    for (const auto& sizeCase : cases) {
        HWND handler = openHandler(program, sizeCase.campaign);
        if (handler == nullptr) {
            continue;
        }
        check(!IsWindowEnabled(program.main),
              std::string(sizeCase.name) + ": main window disabled");
        checkHandlerLayout(handler, sizeCase.boxes, sizeCase.name);
        for (int i = 0; i < sizeCase.boxes; ++i) {
            HWND box = GetDlgItem(handler, 800 + i);
            if (check(box != nullptr,
                      std::string(sizeCase.name) + ": box " + std::to_string(800 + i))) {
                checkRect(rectInParent(box), 10, 10 + 26 * i, 185, 23,
                          std::string(sizeCase.name) + ": box " + std::to_string(800 + i));
                check(!isChecked(box), "a box without [checked] starts unchecked");
            }
        }
        if (sizeCase.boxes == 8) {
            screenshot({handler}, paths.screenshots + L"\\script-handler-eight-boxes.png");
        }
        if (sizeCase.boxes > 0) {
            check(closeHandler(program, handler),
                  std::string(sizeCase.name) + ": closing enables the main window");
            continue;
        }
        // OK without any script: the campaign is installed and recorded with no script.
        postClick(GetDlgItem(handler, 100));
        check(waitUntil(
                  [&] {
                      return !IsWindow(handler) && IsWindowEnabled(program.main) &&
                             textOf(statusLabel(program)) == L"Using:\nNo Scripts";
                  },
                  30000),
              "OK without scripts runs the campaign and gives the main window back");
        checkBytes(game.read(L"data\\campaign\\recent.txt"),
                   "[campaign] empty\r\n[scripts] \r\n[translation] none\r\n",
                   "recent.txt after a run without scripts");
    }
    closeNormally(program, "sizes");
    endProgram(program);
}

struct BoxState {
    int id;
    bool checked;
};

void checkBoxes(HWND handler, std::initializer_list<BoxState> boxes, const std::string& what) {
    for (const BoxState& box : boxes) {
        check(isChecked(GetDlgItem(handler, box.id)) == box.checked,
              what + ": box " + std::to_string(box.id) + (box.checked ? " checked" : " unchecked"));
    }
}

void handlerBehaviourScenario(const Paths& paths) {
    beginScenario("Script Handler: groups, defaults, hover, keyboard, required group, close");
    Game game = standardGame(paths, L"handler");
    Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
    if (program.main == nullptr) {
        return;
    }
    HWND handler = openHandler(program, 2); // gamma: scripts 2..6
    if (handler != nullptr) {
        // Groups first in creation order (colors: 2, 3; size: 4), then the others (5, 6).
        const int order[] = {802, 803, 804, 805, 806};
        for (int row = 0; row < 5; ++row) {
            checkRect(rectInParent(GetDlgItem(handler, order[row])), 10, 10 + 26 * row, 185, 23,
                      "box " + std::to_string(order[row]));
        }
        checkText(textOf(GetDlgItem(handler, 802)), L"Red banners", "box label");
        // The bracket joining the two members of "colors": box 803's bottom cursor is 62.
        int bracketLines = 0;
        for (HWND line : childrenOf(handler, L"Static")) {
            const RECT rect = rectInParent(line);
            const int width = rect.right - rect.left;
            const int height = rect.bottom - rect.top;
            if ((rect.left == 5 && rect.top == 22 && width == 1 && height == 26) ||
                (rect.left == 5 && rect.top == 22 && width == 5 && height == 1) ||
                (rect.left == 5 && rect.top == 48 && width == 5 && height == 1)) {
                ++bracketLines;
            }
        }
        check(bracketLines == 3, "three bracket lines join the group's two boxes (found " +
                                     std::to_string(bracketLines) + ")");
        checkBoxes(handler, {{802, true}, {803, true}, {804, false}, {805, true}, {806, false}},
                   "[checked] defaults, both group members checked");
        screenshot({handler, program.main}, paths.screenshots + L"\\script-handler.png");

        // Keyboard: the first box has the focus; Tab moves on, Space toggles and keeps the group.
        SetForegroundWindow(handler);
        check(focusOf(program) == GetDlgItem(handler, 802), "the first box has the focus");
        pressKey(VK_TAB);
        check(focusOf(program) == GetDlgItem(handler, 803), "Tab moves to the next box");
        pressKey(VK_SPACE);
        checkBoxes(handler, {{802, false}, {803, false}},
                   "Space toggles the box and clears its group");
        pressKey(VK_TAB, true);
        check(focusOf(program) == GetDlgItem(handler, 802), "Shift+Tab moves back");

        // Real clicks: a group member clears the others, then toggles itself.
        realClick(GetDlgItem(handler, 802));
        checkBoxes(handler, {{802, true}, {803, false}}, "click on the first member");
        realClick(GetDlgItem(handler, 803));
        checkBoxes(handler, {{802, false}, {803, true}, {805, true}}, "click on the second member");
        realClick(GetDlgItem(handler, 805));
        checkBoxes(handler, {{803, true}, {805, false}},
                   "a box without a group changes only itself");
        // Pressed on a member, released outside it: the others are cleared, it stays.
        pressAndReleaseElsewhere(GetDlgItem(handler, 802), GetDlgItem(handler, 1000));
        checkBoxes(handler, {{802, false}, {803, false}},
                   "a press released elsewhere clears the group and leaves the box");
        realClick(GetDlgItem(handler, 803));

        // Hover texts.
        HWND description = GetDlgItem(handler, 998);
        HWND frame = GetDlgItem(handler, 1000);
        moveMouseOnto(GetDlgItem(handler, 806), -20, 0);
        moveMouseOnto(GetDlgItem(handler, 806));
        waitUntil([&] { return textOf(description) == L"Adds spoken lines."; }, 2000);
        checkText(textOf(description), L"Adds spoken lines.", "hover description");
        checkText(textOf(frame), L"Speech", "hover name");
        RECT outer{};
        GetWindowRect(handler, &outer);
        moveMouseTo(outer.left + 100, outer.bottom - 80); // empty space below the boxes
        pause(200);
        checkText(textOf(description), L"Adds spoken lines.", "the texts stay after leaving");
        moveMouseOnto(GetDlgItem(handler, 804));
        moveMouseOnto(GetDlgItem(handler, 804), 5, 0);
        waitUntil([&] { return textOf(frame) == L"Small armies"; }, 2000);
        checkText(textOf(frame), L"Small armies", "hover name of the next box");
        checkText(textOf(description), L"Fewer soldiers per army.",
                  "hover description of the next box");

        // OK with the required group "size" empty.
        postClick(GetDlgItem(handler, 100));
        HWND box = nullptr;
        waitUntil([&] { return (box = findWindow(program, L"#32770")) != nullptr; }, 5000);
        if (check(box != nullptr, "the required-group message appears")) {
            checkText(textOf(box), L"Error", "message title");
            checkText(messageBoxText(box), L"You have to select one of the size options!",
                      "required-group message");
            screenshot({box, handler, program.main},
                       paths.screenshots + L"\\error-box-required-group.png");
            clickOk(box);
            waitUntil([&] { return !IsWindow(box); }, 5000);
        }
        pause(200);
        check(IsWindow(handler) && IsWindowVisible(handler), "the Script Handler stays open");
        checkBoxes(handler, {{802, false}, {803, true}, {804, false}, {805, false}},
                   "the boxes are unchanged after the message");
        check(!IsWindowEnabled(program.main), "the main window stays disabled");
        check(!game.has(L"data\\campaign\\recent.txt"), "nothing is recorded");

        // Closing without OK records nothing and gives the main window back.
        check(closeHandler(program, handler), "closing the Script Handler enables the main window");
        check(!game.has(L"data\\campaign\\recent.txt"), "closing records nothing");
        checkBytes(game.read(L"data\\text\\names.txt"), originalNames,
                   "closing changes no game file");
    }
    handler = openHandler(program, 2);
    if (handler != nullptr) {
        checkBoxes(handler, {{802, true}, {803, true}, {804, false}, {805, true}, {806, false}},
                   "reopened after closing: the defaults again");
        closeHandler(program, handler);
    }

    // A remembered selection for gamma overrides [checked]; other campaigns keep defaults.
    game.write(
        L"data\\campaign\\recent.txt",
        "[campaign] gamma\r\n[scripts] u2_speech.txt g3_small.txt \r\n[translation] none\r\n");
    handler = openHandler(program, 2);
    if (handler != nullptr) {
        checkBoxes(handler, {{802, false}, {803, false}, {804, true}, {805, false}, {806, true}},
                   "remembered selection of the same campaign");
        closeHandler(program, handler);
    }
    handler = openHandler(program, 0);
    if (handler != nullptr) {
        checkBoxes(handler, {{800, true}, {801, true}}, "another campaign keeps its defaults");
        check(GetDlgItem(handler, 802) == nullptr, "only the campaign's own scripts have boxes");
        closeHandler(program, handler);
    }
    closeNormally(program, "Script Handler");
    endProgram(program);
}

// ---- runs --------------------------------------------------------------------------------------

// Polls the status label and keeps each new text it shows.
struct LabelWatch {
    std::vector<std::wstring> seen;
    void poll(const Program& program) {
        const std::wstring text = textOf(statusLabel(program));
        if (seen.empty() || seen.back() != text) {
            seen.push_back(text);
        }
    }
};

bool consecutiveSteps(const std::vector<std::wstring>& texts) {
    int previous = -1;
    for (const std::wstring& text : texts) {
        const int step = animationStep(text);
        if (step < 0) {
            return false;
        }
        if (previous >= 0 && step != (previous + 1) % 6) {
            return false;
        }
        previous = step;
    }
    return true;
}

void runScenario(const Paths& paths) {
    beginScenario("campaign run with an error box, then a translation run");
    Game game = standardGame(paths, L"runs");
    Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
    if (program.main == nullptr) {
        return;
    }
    HWND handler = openHandler(program, 0); // alpha: a_append.txt, b_broken.txt, both checked
    if (handler == nullptr) {
        endProgram(program);
        return;
    }
    checkBoxes(handler, {{800, true}, {801, true}}, "alpha's defaults");
    realClick(GetDlgItem(handler, 100));

    LabelWatch watch;
    HWND box = nullptr;
    waitUntil(
        [&] {
            watch.poll(program);
            return (box = findWindow(program, L"#32770")) != nullptr;
        },
        20000);
    check(!IsWindow(handler), "the Script Handler is gone after OK");
    if (check(box != nullptr, "the broken script's error box appears during the run")) {
        const std::wstring text = messageBoxText(box);
        check(text.rfind(L"Error while processing b_broken.txt\n\n", 0) == 0,
              "error text names the script: \"" + utf8(text) + "\"");
        checkText(textOf(box), L"Error", "error box title");
        // The animation goes on behind the box.
        LabelWatch behind;
        waitUntil(
            [&] {
                behind.poll(program);
                return false;
            },
            1700);
        check(behind.seen.size() >= 3, "the animation goes on behind the error box (" +
                                           std::to_string(behind.seen.size()) + " texts)");
        check(consecutiveSteps(behind.seen), "the texts behind the box are consecutive steps");
        check(!IsWindowEnabled(program.main), "the main window stays disabled during the run");
        PostMessageW(program.main, WM_CLOSE, 0, 0);
        pause(300);
        check(IsWindow(program.main) && IsWindowVisible(program.main),
              "the main window cannot be closed while the run works");
        screenshot({box, program.main}, paths.screenshots + L"\\error-box-during-run.png");
        watch.seen.insert(watch.seen.end(), behind.seen.begin(), behind.seen.end());
        clickOk(box);
    }
    const bool finished = waitUntil(
        [&] {
            watch.poll(program);
            return !watch.seen.empty() && watch.seen.back() == L"Using:\nAlpha Campaign" &&
                   IsWindowEnabled(program.main);
        },
        30000);
    check(finished, "the run ends with \"Using:\\nAlpha Campaign\" and the main window enabled");
    std::vector<std::wstring> working;
    for (const std::wstring& text : watch.seen) {
        if (animationStep(text) >= 0) {
            working.push_back(text);
        }
    }
    check(!working.empty() && working.front() == workingStep[0],
          "the first run starts its animation with step 0");
    pause(800);
    checkText(textOf(statusLabel(program)), L"Using:\nAlpha Campaign",
              "no animation text follows the final one");

    checkBytes(game.read(L"data\\text\\names.txt"), "{A} Alpha\r\n{B} Beta\r\n{C} Gamma\r\n",
               "the script's line is added after its anchor");
    checkBytes(game.read(L"data\\campaign\\backup\\text\\names.txt"), originalNames,
               "the first copy of the changed game file is kept");
    checkBytes(game.read(L"data\\text\\alpha_marker.txt"), "alpha installed\r\n",
               "the campaign's own file is installed");
    check(!game.has(L"data\\text\\missing.txt"), "the broken script makes no file");
    checkBytes(game.read(L"data\\campaign\\recent.txt"),
               "[campaign] alpha\r\n[scripts] a_append.txt b_broken.txt \r\n[translation] none\r\n",
               "recent.txt after the campaign run");

    // The translation run from its button.
    postClick(control(program, 20));
    waitUntil([&] { return control(program, 700) != nullptr; }, 10000);
    checkText(textOf(statusLabel(program)), L"Using:\nnone", "no translation recorded yet");
    postClick(control(program, 700));
    const bool translated = waitUntil(
        [&] {
            return textOf(statusLabel(program)) == L"Using:\nFrench" &&
                   IsWindowEnabled(program.main);
        },
        30000);
    check(translated, "the translation run ends with \"Using:\\nFrench\" and the window enabled");
    const std::string names = game.read(L"data\\text\\names.txt");
    check(names.rfind("\xAC--- Generated by Dravik setup translator\r\n", 0) == 0,
          "the translated file starts with the banner");
    check(names.find("{B} Bete") != std::string::npos &&
              names.find("{A} Alpha") != std::string::npos &&
              names.find("{B} Beta") == std::string::npos,
          "the pack's entry replaces the game's one, the others stay");
    check(!game.has(L"data\\text\\names.txt.strings.bin"), "the compiled cache is deleted");
    checkBytes(
        game.read(L"data\\campaign\\recent.txt"),
        "[campaign] alpha\r\n[scripts] a_append.txt b_broken.txt  \r\n[translation] French\r\n",
        "recent.txt after the translation run");
    closeNormally(program, "runs");
    endProgram(program);
}

void startAndExitScenario(const Paths& paths) {
    beginScenario("\"Start and Exit\" starts the launcher and ends the program");
    {
        Game game = standardGame(paths, L"start-and-exit");
        CopyFileW(paths.launcher.c_str(), (game.root + L"\\Dravik_Launcher.exe").c_str(), FALSE);
        Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
        if (program.main != nullptr) {
            realClick(control(program, 10));
            check(waitForExit(program, 15000) == 0, "the program ends with exit code 0");
            check(waitUntil([&] { return game.has(L"launcher-started.txt"); }, 15000),
                  "the launcher stand-in was started in the game folder");
        }
        endProgram(program);
    }
    {
        Game game = standardGame(paths, L"start-without-launcher");
        Program program = startProgram(game.root + L"\\DravikSetup.exe", game.root);
        if (program.main != nullptr) {
            postClick(control(program, 10));
            check(waitForExit(program, 15000) == 0,
                  "without a launcher the program still ends with exit code 0");
        }
        endProgram(program);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::printf("usage: e2e_driver <DravikSetup.exe> <Dravik_Launcher.exe> <scratch folder> "
                    "<screenshot folder> [scenario]\n");
        return 2;
    }
    const Paths paths{windowsPath(argv[1]), windowsPath(argv[2]), windowsPath(argv[3]),
                      windowsPath(argv[4])};
    const std::wstring only = argc > 5 ? argv[5] : L"";
    makeFolders(paths.scratch);
    makeFolders(paths.screenshots);
    std::printf("screenshots go to %s\n", utf8(paths.screenshots).c_str());

    const struct {
        const wchar_t* name;
        void (*run)(const Paths&);
    } scenarios[] = {
        {L"resources", resourceScenario},
        {L"startup", startUpScenarios},
        {L"lists", listScenario},
        {L"sizes", handlerSizeScenario},
        {L"handler", handlerBehaviourScenario},
        {L"runs", runScenario},
        {L"exit", startAndExitScenario},
    };
    for (const auto& scenario : scenarios) {
        if (only.empty() || only == scenario.name) {
            scenario.run(paths);
        }
    }
    std::printf("%d checks, %d failed\n", report().checks, report().failures);
    return report().failures == 0 ? 0 : 1;
}
