#include "app/main_window.h"

#include "app/setup_runs.h"
#include "catalogue/game_paths.h"
#include "platform/wide_text.h"
#include "recent/setup_state.h"

#include <shellapi.h>

#include <cstdint>
#include <string>
#include <system_error>

namespace {

// Control ids of the main window.
constexpr int campaignsId = 1;
constexpr int startAndExitId = 10;
constexpr int translationsId = 20;
constexpr int translationButtonBase = 700;
constexpr int campaignButtonBase = 900;

// Copies into the choice buffers keep at most this many characters, terminator included.
constexpr std::size_t choiceCapacity = 200;

constexpr int listLeft = 225;
constexpr int listTop = 130;
constexpr int listStep = 27;

HWND createControl(ProgramContext& program, const wchar_t* className, const std::wstring& text,
                   DWORD style, int x, int y, int width, int height, int id) {
    return CreateWindowExW(WS_EX_TRANSPARENT, className, text.c_str(), WS_CHILD | style, x, y,
                           width, height, mainWindowOf(program),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           static_cast<HINSTANCE>(program.app.appInstance), nullptr);
}

void setStatusText(ProgramContext& program, const std::u16string& text) {
    const std::wstring wide = toWide(text);
    SendMessageW(program.statusLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void showStatus(ProgramContext& program, bool shown) {
    ShowWindow(program.statusLabel, shown ? SW_SHOW : SW_HIDE);
    ShowWindow(program.statusFrame, shown ? SW_SHOW : SW_HIDE);
}

// A list button: a campaign's or a translation's name at its row of the list.
HWND createListButton(ProgramContext& program, const std::u16string& name, int index, int idBase) {
    HWND button = createControl(program, L"button", toWide(name), WS_VISIBLE | BS_PUSHBUTTON,
                                listLeft, listTop + listStep * index, 190, 20, idBase + index);
    if (button != nullptr) {
        applyFont(program.fonts, button, 0);
    }
    return button;
}

void closeCampaignList(ProgramContext& program) {
    for (CampaignEntry& campaign : program.app.catalogue.campaignList) {
        if (campaign.button != nullptr) {
            DestroyWindow(static_cast<HWND>(campaign.button));
            campaign.button = nullptr;
        }
    }
    showStatus(program, false);
    program.app.campaignListShown = false;
}

void closeTranslationList(ProgramContext& program) {
    for (TranslationEntry& translation : program.app.catalogue.translationList) {
        if (translation.button != nullptr) {
            DestroyWindow(static_cast<HWND>(translation.button));
            translation.button = nullptr;
        }
    }
    showStatus(program, false);
    program.app.translationListShown = false;
}

std::u16string recordedCampaignName(const AppState& app) {
    const std::u16string recorded =
        app.setupState.hasCampaign ? limitText(app.setupState.folder, nameCapacity) : u"none";
    for (const CampaignEntry& campaign : app.catalogue.campaignList) {
        if (campaign.folder == recorded) {
            return limitText(campaign.name, nameCapacity);
        }
    }
    return {};
}

void onCampaignsButton(ProgramContext& program) {
    AppState& app = program.app;
    loadRecentSelection(app.setupState);
    const std::u16string name = recordedCampaignName(app);
    setStatusText(program, name.empty() ? u"Choose a campaign"
                                        : limitText(u"Using:\n" + name, statusCapacity));
    if (app.translationListShown) {
        closeTranslationList(program);
    }
    if (app.campaignListShown) {
        closeCampaignList(program);
        return;
    }
    for (CampaignEntry& campaign : app.catalogue.campaignList) {
        campaign.button =
            createListButton(program, campaign.name, campaign.index, campaignButtonBase);
    }
    app.campaignListShown = true;
    showStatus(program, true);
}

void onTranslationsButton(ProgramContext& program) {
    AppState& app = program.app;
    loadRecentSelection(app.setupState);
    const std::u16string recorded = app.setupState.hasTranslation
                                        ? limitText(app.setupState.translation, nameCapacity)
                                        : u"none";
    setStatusText(program, recorded.empty() ? u"Using:\nEnglish"
                                            : limitText(u"Using:\n" + recorded, statusCapacity));
    if (app.campaignListShown) {
        closeCampaignList(program);
    }
    if (app.translationListShown) {
        closeTranslationList(program);
        return;
    }
    for (TranslationEntry& translation : app.catalogue.translationList) {
        translation.button =
            createListButton(program, translation.name, translation.index, translationButtonBase);
    }
    app.translationListShown = true;
    showStatus(program, true);
}

void onCampaignButton(ProgramContext& program, std::size_t index) {
    AppState& app = program.app;
    const CampaignEntry& campaign = app.catalogue.campaignList[index];
    app.choiceDisplayName = limitText(campaign.name, choiceCapacity);
    // The whole folder name: a cut one would name another (or no) campaign.
    app.chosenCampaignFolder = campaign.folder;
    ScriptHandler& handler = program.scriptHandler;
    handler.instance = static_cast<HINSTANCE>(app.appInstance);
    handler.mainWindow = mainWindowOf(program);
    handler.catalogue = &app.catalogue;
    handler.setupState = &app.setupState;
    handler.errors = &app.errors;
    handler.fonts = &program.fonts;
    handler.busy = &app.progress.busy;
    handler.chosenFolder = app.chosenCampaignFolder;
    handler.confirm = [&program](const std::array<bool, maxScripts>& checked) {
        confirmCampaignChoice(program.app, checked);
        startCampaignRun(program);
    };
    openScriptHandler(handler, static_cast<int>(index));
}

void onTranslationButton(ProgramContext& program, std::size_t index) {
    AppState& app = program.app;
    app.choiceDisplayName = limitText(app.catalogue.translationList[index].name, choiceCapacity);
    app.selectedTranslation = static_cast<std::int16_t>(index);
    // Disabled before the threads start, so that the end of the run always comes after.
    EnableWindow(mainWindowOf(program), FALSE);
    startTranslationRun(program);
}

void onStartAndExit(ProgramContext& program) {
    ShellExecuteW(nullptr, L"open", toWide(launcherPath).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    DestroyWindow(mainWindowOf(program));
}

LRESULT onCommand(ProgramContext& program, int id) {
    const AppState& app = program.app;
    if (id >= campaignButtonBase && id < campaignButtonBase + static_cast<int>(maxCampaigns)) {
        const std::size_t index = static_cast<std::size_t>(id - campaignButtonBase);
        if (index < app.catalogue.campaignList.size()) {
            onCampaignButton(program, index);
        }
    } else if (id >= translationButtonBase &&
               id < translationButtonBase + static_cast<int>(maxTranslations)) {
        const std::size_t index = static_cast<std::size_t>(id - translationButtonBase);
        if (index < app.catalogue.translationList.size()) {
            onTranslationButton(program, index);
        }
    } else if (id == campaignsId) {
        onCampaignsButton(program);
    } else if (id == translationsId) {
        onTranslationsButton(program);
    } else if (id == startAndExitId) {
        onStartAndExit(program);
    }
    return 0;
}

// The background picture is read anew at every paint, so a changed file shows at once.
// Without it the class background stays.
LRESULT onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    HANDLE picture = LoadImageW(nullptr, toWide(backgroundPicturePath).c_str(), IMAGE_BITMAP, 0, 0,
                                LR_LOADFROMFILE);
    if (picture != nullptr) {
        HDC memory = CreateCompatibleDC(target);
        HGDIOBJ previous = SelectObject(memory, picture);
        BitBlt(target, 0, 0, 640, 480, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(picture);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT onDestroy(ProgramContext& program) {
    // The buttons die with the window; the records themselves go with the context when
    // the entry returns.
    for (CampaignEntry& campaign : program.app.catalogue.campaignList) {
        campaign.button = nullptr;
    }
    for (TranslationEntry& translation : program.app.catalogue.translationList) {
        translation.button = nullptr;
    }
    RemovePropW(mainWindowOf(program), gameFolderProperty);
    program.app.mainWindow = nullptr;
    PostQuitMessage(0);
    return 0;
}

// A run owns the game files and the state until it ends: the window (and with it the
// program) cannot be closed before, whoever asks.
LRESULT onClose(ProgramContext& program, HWND window) {
    if (!program.app.progress.busy) {
        DestroyWindow(window);
    }
    return 0;
}

// The end of a run, in one message: the final status text, then the window handed back.
LRESULT onHandBack(ProgramContext& program, HWND window) {
    setStatusText(program, program.finalStatus);
    UpdateWindow(window);
    EnableWindow(window, TRUE); // before the focus: a disabled window cannot take it
    SetFocus(window);
    SetForegroundWindow(window);
    return 0;
}

// The status label's text comes from the run and animation threads as window messages;
// the label and the repaint are done by the window's own thread.
void connectStatusLabel(ProgramContext& program) {
    program.app.progress.label = [&program](const std::u16string& text) {
        setStatusText(program, text);
        UpdateWindow(mainWindowOf(program));
    };
    // Kept in the context until the window's thread takes it: the run ends without waiting.
    program.app.handBackMainWindow = [&program](const std::u16string& status) {
        program.finalStatus = status;
        PostMessageW(mainWindowOf(program), handBackMessage, 0, 0);
    };
}

void createControls(ProgramContext& program, int width, int height) {
    const AppState& app = program.app;
    program.statusFrame =
        createControl(program, L"static", L" ", WS_BORDER, (width - 160) / 2, 436, 160, 34, 0);
    program.statusLabel =
        createControl(program, L"static", L" ", SS_CENTER, (width - 160) / 2 + 2, 439, 156, 30, 0);
    applyFont(program.fonts, program.statusLabel, 3);
    HWND startAndExit =
        createControl(program, L"button", L"Start and Exit", WS_VISIBLE | BS_PUSHBUTTON, 515, 440,
                      110, 25, startAndExitId);
    applyFont(program.fonts, startAndExit, 0);
    HWND translations =
        createControl(program, L"button", L"Translations", WS_VISIBLE | BS_PUSHBUTTON, 10,
                      height / 2 - 34, 160, 24, translationsId);
    applyFont(program.fonts, translations, 7);
    if (app.catalogue.translationList.empty()) {
        ShowWindow(translations, SW_HIDE);
    }
    HWND campaigns = createControl(program, L"button", L"Campaigns", WS_VISIBLE | BS_PUSHBUTTON, 10,
                                   height / 2, 160, 24, campaignsId);
    applyFont(program.fonts, campaigns, 7);
    if (app.catalogue.campaignList.empty()) {
        ShowWindow(campaigns, SW_HIDE);
    }
}

DWORD WINAPI campaignRunThread(LPVOID state) {
    runCampaignSetup(*static_cast<AppState*>(state));
    return 0;
}

DWORD WINAPI translationRunThread(LPVOID state) {
    runTranslationSetup(*static_cast<AppState*>(state));
    return 0;
}

// The run thread is made suspended and let go only once the animation has started: the
// animation never outlives a run that could not start, and the run never sees busy
// before the animation does.
void startRun(ProgramContext& program, LPTHREAD_START_ROUTINE procedure) {
    AppState& app = program.app;
    app.progress.busy = true;
    HANDLE run = CreateThread(nullptr, 0, procedure, &app, CREATE_SUSPENDED, nullptr);
    if (run == nullptr) {
        finishRun(app);
        return;
    }
    try {
        startProgressAnimation(app.progress);
    } catch (const std::system_error&) {
        // No thread for the animation: the run still works and ends as usual, only
        // without the moving dots.
    }
    ResumeThread(run);
    CloseHandle(run);
}

} // namespace

void startCampaignRun(ProgramContext& program) {
    startRun(program, campaignRunThread);
}

void startTranslationRun(ProgramContext& program) {
    startRun(program, translationRunThread);
}

ProgramContext* contextOfWindow(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<ProgramContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void registerWindowClass(HINSTANCE instance, WNDPROC handler, const wchar_t* className) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = handler;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(107));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(108));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

bool createMainWindow(ProgramContext& program, HINSTANCE instance) {
    AppState& app = program.app;
    app.appInstance = instance;
    const auto width = static_cast<std::int16_t>(640 + GetSystemMetrics(SM_CXFRAME));
    const auto height = static_cast<std::int16_t>(480 + GetSystemMetrics(SM_CYFRAME) +
                                                  GetSystemMetrics(SM_CYCAPTION));
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    HWND window = CreateWindowExW(0, mainWindowClassName, L"Dravik Setup",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, x, y, width, height,
                                  nullptr, nullptr, instance, &program);
    if (window == nullptr) {
        return false;
    }
    app.mainWindow = window;
    SetPropW(window, gameFolderProperty,
             reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(program.gameFolderKey)));
    recoverFromUnfinishedRun(app.errors);
    if (!scanCatalogue(app.catalogue, app.errors)) {
        DestroyWindow(window); // no message of it may reach the context after the entry ends
        return false;
    }
    createControls(program, width, height);
    app.setupState = SetupState{};
    loadRecentSelection(app.setupState);
    connectStatusLabel(program);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgramContext* program = contextOfWindow(window, message, lParam);
    if (program == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT:
        return onPaint(window);
    case WM_DESTROY:
        return onDestroy(*program);
    case WM_COMMAND:
        return onCommand(*program, LOWORD(wParam));
    case WM_CLOSE:
        return onClose(*program, window);
    case handBackMessage:
        return onHandBack(*program, window);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
