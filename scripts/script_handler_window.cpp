#include "scripts/script_handler_window.h"

#include "platform/wide_text.h"
#include "recent/setup_state.h"
#include "scripts/script_entry.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int okId = 100;
constexpr int boxIdBase = 800;
constexpr int descriptionId = 998;
constexpr int nameFrameId = 1000;
constexpr int windowWidth = 500;
constexpr int rowHeight = 26;

int screenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}
int screenHeight() {
    return GetSystemMetrics(SM_CYSCREEN);
}

HWND createChild(ScriptHandler& handler, const wchar_t* className, const std::wstring& text,
                 DWORD style, int x, int y, int width, int height, int id) {
    return CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                           height, handler.window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), handler.instance,
                           nullptr);
}

HWND boxOf(const ScriptHandler& handler, int scriptIndex) {
    return GetDlgItem(handler.window, boxIdBase + scriptIndex);
}

bool boxChecked(const ScriptHandler& handler, int scriptIndex) {
    HWND box = boxOf(handler, scriptIndex);
    return box != nullptr && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// ---- the boxes ---------------------------------------------------------------------------

void uncheckOtherMembers(ScriptHandler& handler, int scriptIndex) {
    for (const ScriptGroup& group : handler.groups) {
        if (std::find(group.members.begin(), group.members.end(), scriptIndex) ==
            group.members.end()) {
            continue;
        }
        for (std::int16_t member : group.members) {
            HWND box = boxOf(handler, member);
            if (member != scriptIndex && box != nullptr) {
                SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
}

void onBoxMouseMove(ScriptHandler& handler, HWND box, int scriptIndex) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, box, 0};
    TrackMouseEvent(&track);
    if (handler.hoverShown) {
        return;
    }
    const ScriptEntry& script = handler.catalogue->scriptList[scriptIndex];
    SetWindowTextW(handler.description, toWide(script.description).c_str());
    SetWindowTextW(handler.nameFrame, toWide(script.name).c_str());
    handler.hoverShown = true;
}

LRESULT CALLBACK scriptBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR scriptIndex, DWORD_PTR context) {
    ScriptHandler& handler = *reinterpret_cast<ScriptHandler*>(context);
    const int index = static_cast<int>(scriptIndex);
    switch (message) {
    case WM_MOUSEMOVE:
        onBoxMouseMove(handler, box, index);
        break;
    case WM_MOUSELEAVE:
        handler.hoverShown = false;
        break;
    case WM_LBUTTONDOWN:
        uncheckOtherMembers(handler, index);
        break;
    case WM_KEYDOWN:
        // Space toggles a box as a click does, so it keeps its group the same way.
        if (wParam == VK_SPACE && (lParam & (1 << 30)) == 0) {
            uncheckOtherMembers(handler, index);
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(box, scriptBoxProc, scriptIndex);
        break;
    default:
        break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

// Three thin lines joining the middle of the box just made to the middle of the one above.
void addBracket(ScriptHandler& handler, int y) {
    createChild(handler, L"static", L"", WS_BORDER, 5, y - 40, 1, 26, 0);
    createChild(handler, L"static", L"", WS_BORDER, 5, y - 40, 5, 1, 0);
    createChild(handler, L"static", L"", WS_BORDER, 5, y - 14, 5, 1, 0);
}

// ---- the window's handlers ---------------------------------------------------------------

std::array<bool, maxScripts> checkedBoxes(const ScriptHandler& handler) {
    std::array<bool, maxScripts> checked{};
    for (std::size_t i = 0; i < maxScripts; ++i) {
        checked[i] = boxChecked(handler, static_cast<int>(i));
    }
    return checked;
}

void onConfirm(ScriptHandler& handler) {
    if (const ScriptGroup* group =
            findUnfilledRequiredGroup(handler.groups, checkedBoxes(handler))) {
        showError(*handler.errors, requiredGroupMessage, {group->name});
        return;
    }
    HWND mainWindow = handler.mainWindow;
    ShowWindow(handler.window, SW_HIDE);
    UpdateWindow(mainWindow);
    SetFocus(mainWindow);
    SetForegroundWindow(mainWindow);
    handler.confirm(checkedBoxes(handler));
    DestroyWindow(handler.window);
}

LRESULT onCreate(ScriptHandler& handler) {
    *handler.busy = false;
    return 0;
}

LRESULT onCommand(ScriptHandler& handler, int id) {
    if (id == okId) {
        onConfirm(handler);
    }
    return 0;
}

LRESULT onDestroy(ScriptHandler& handler) {
    handler.groups.clear();
    handler.window = nullptr;
    handler.description = nullptr;
    handler.nameFrame = nullptr;
    HWND mainWindow = handler.mainWindow;
    // Closed without OK: the main window is enabled before it takes the focus back, which
    // a disabled window cannot. After OK it stays disabled until the run ends.
    if (!*handler.busy) {
        EnableWindow(mainWindow, TRUE);
    }
    UpdateWindow(mainWindow);
    SetFocus(mainWindow);
    SetForegroundWindow(mainWindow);
    return 0;
}

void moveWindow(const ScriptHandler& handler, int top, int height) {
    MoveWindow(handler.window, handler.left, top, windowWidth, height, TRUE);
}

// Whether the script's box is joined to the box above it: it belongs to a group and is not
// the group's first member.
bool joinsBoxAbove(const std::vector<ScriptGroup>& groups, std::int16_t slot) {
    return std::any_of(groups.begin(), groups.end(), [&](const ScriptGroup& group) {
        return !group.members.empty() && group.members.front() != slot &&
               std::find(group.members.begin(), group.members.end(), slot) != group.members.end();
    });
}

void layOutBoxes(ScriptHandler& handler, const CampaignEntry& campaign) {
    Catalogue& catalogue = *handler.catalogue;
    handler.y = 10;
    for (std::int16_t slot : scriptBoxOrder(catalogue, campaign, handler.groups)) {
        ScriptEntry& script = catalogue.scriptList[static_cast<std::size_t>(slot)];
        addScriptBox(handler, script);
        if (script.hasBox && joinsBoxAbove(handler.groups, slot)) {
            addBracket(handler, handler.y);
        }
    }
}

void createFooter(ScriptHandler& handler) {
    const int y = handler.y;
    handler.description =
        createChild(handler, L"static", L"Hover above a specific script to get it's description...",
                    SS_LEFT, 202, 20, 280, y + 15, descriptionId);
    applyFont(*handler.fonts, handler.description, 5);
    handler.nameFrame =
        createChild(handler, L"button", L"", BS_GROUPBOX, 196, 5, 290, y + 25, nameFrameId);
    applyFont(*handler.fonts, handler.nameFrame, 6);
    HWND ok = createChild(handler, L"button", L"OK", BS_PUSHBUTTON | WS_TABSTOP, 50, y + 5, 100, 20,
                          okId);
    applyFont(*handler.fonts, ok, 5);
}

} // namespace

void addScriptBox(ScriptHandler& handler, ScriptEntry& script) {
    HWND box = createChild(handler, L"button", toWide(script.name), BS_AUTOCHECKBOX | WS_TABSTOP,
                           10, handler.y, 185, 23, boxIdBase + script.index);
    if (box == nullptr) {
        return;
    }
    applyFont(*handler.fonts, box, 2);
    handler.y = static_cast<std::int16_t>(handler.y + rowHeight);
    const int height = handler.y + 70;
    moveWindow(handler, screenHeight() / 2 - height / 2, height);
    SendMessageW(box, BM_SETCHECK, initialBoxState(script) ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowSubclass(box, scriptBoxProc, static_cast<UINT_PTR>(script.index),
                      reinterpret_cast<DWORD_PTR>(&handler));
    script.hasBox = true;
}

void openScriptHandler(ScriptHandler& handler, int campaignIndex) {
    HWND mainWindow = handler.mainWindow;
    handler.left = screenWidth() / 2 - windowWidth / 2;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, scriptHandlerClassName, L"Script Handler",
                                  WS_OVERLAPPED | WS_BORDER | WS_SYSMENU, handler.left,
                                  screenHeight() / 2 - 5, windowWidth, 10, mainWindow, nullptr,
                                  handler.instance, &handler);
    if (window == nullptr) {
        return;
    }
    handler.window = window;
    // A box destroyed under the mouse never hears it leave; every window starts afresh.
    handler.hoverShown = false;
    Catalogue& catalogue = *handler.catalogue;
    const CampaignEntry& campaign = catalogue.campaignList[campaignIndex];

    openScriptChoice(catalogue, campaign, handler.chosenFolder, *handler.setupState);
    for (std::int16_t slot : campaignScripts(catalogue, campaign)) {
        catalogue.scriptList[static_cast<std::size_t>(slot)].hasBox = false;
    }
    handler.groups = buildScriptGroups(catalogue, campaign);

    layOutBoxes(handler, campaign);
    if (handler.y < 200) {
        handler.y = 210;
        moveWindow(handler, screenHeight() / 2 - 105, 275);
    }
    createFooter(handler);

    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    EnableWindow(mainWindow, FALSE);
    // Keyboard users start on the first box (or OK when there is none).
    SetFocus(GetNextDlgTabItem(window, nullptr, FALSE));
}

LRESULT CALLBACK scriptHandlerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* handler = reinterpret_cast<ScriptHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (handler == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        return onCreate(*handler);
    case WM_COMMAND:
        return onCommand(*handler, LOWORD(wParam));
    case WM_DESTROY:
        return onDestroy(*handler);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
