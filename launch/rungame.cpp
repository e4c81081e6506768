#include "launch/rungame.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include "launch/displaymode.h"
#include "res/messages.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit start-up record is 68 bytes");
#endif

constexpr char kHighColourNote[] =
    "このゲームのグラフィックはフルカラーで描かれています\n"
    "ハイカラーでも動作はしますが製作者の意図した画面が再現できない場合があります";
constexpr char kDepthQuestion[] =
    "このゲームはハイカラー以上の設定で動作するように設計されています。\n"
    "現在の画面モードでは正常に動作しないので、画面モードを切り替えます。\n"
    "よろしいですか？";
constexpr char kDepthAdvice[] =
    "このゲームは、ハイカラー以上の設定で、動作するように設計されています。\n"
    "「コントロールパネル」の「画面」でモードをハイカラー以上に設定してください。";

void captureDisplayMode() {
    DEVMODEA& mode = programState.currentDisplayMode;
    mode.dmSize = kDisplayModeSize;
    mode.dmDriverExtra = 0;  // the record has no room for driver data
    mode.dmFields = kDisplayModeFields;
    // Not examined: a failed read leaves the record as it was, all zero at the
    // first run, and a depth of 0 leads to the depth question, which is safe.
    (void)EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
}

// An interface pointer of the desktop shell's chain, released when it goes.
template <class Interface>
struct Held {
    Interface* pointer = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (pointer != nullptr) pointer->Release();
    }
    void** out() { return reinterpret_cast<void**>(&pointer); }
};

// Whether a step of the chain gave what it was asked for.
template <class Interface>
bool gave(HRESULT result, const Held<Interface>& held) {
    return result == S_OK && held.pointer != nullptr;
}

// Asks the desktop's own shell to start the game, so that it runs as the
// desktop's user (un-elevated, as its Start-menu shortcut starts it) and not
// as this elevated program: the desktop window's shell view, its Application
// object, and its ShellExecute with the game's folder as the working folder.
// False when any step is not there or fails (no desktop shell, or one without
// that chain), and nothing was started.
bool startThroughDesktopShell(const char* gamePath, const char* folder) {
    wchar_t wideGame[kPathSize];
    wchar_t wideFolder[kPathSize];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, gamePath, -1, wideGame, kPathSize) == 0 ||
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1, wideFolder, kPathSize) == 0) {
        return false;
    }
    Held<IShellWindows> windows;
    Held<IDispatch> desktop;
    Held<IServiceProvider> provider;
    Held<IShellBrowser> browser;
    Held<IShellView> view;
    Held<IDispatch> background;
    Held<IShellFolderViewDual> folderView;
    Held<IDispatch> application;
    Held<IShellDispatch2> shell;
    VARIANT nowhere;  // VT_EMPTY: the desktop is found by its class alone
    VariantInit(&nowhere);
    LONG desktopWindow = 0;
    if (!gave(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.out()),
              windows) ||
        !gave(windows.pointer->FindWindowSW(&nowhere, &nowhere, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                            reinterpret_cast<IDispatch**>(desktop.out())),
              desktop) ||
        !gave(desktop.pointer->QueryInterface(IID_IServiceProvider, provider.out()), provider) ||
        !gave(provider.pointer->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out()), browser) ||
        !gave(browser.pointer->QueryActiveShellView(reinterpret_cast<IShellView**>(view.out())), view) ||
        !gave(view.pointer->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out()), background) ||
        !gave(background.pointer->QueryInterface(IID_IShellFolderViewDual, folderView.out()), folderView) ||
        !gave(folderView.pointer->get_Application(reinterpret_cast<IDispatch**>(application.out())), application) ||
        !gave(application.pointer->QueryInterface(IID_IShellDispatch2, shell.out()), shell)) {
        return false;
    }
    // No arguments and the default verb, as the shortcut starts the game.
    VARIANT arguments;
    VARIANT directory;
    VARIANT operation;
    VARIANT show;
    VariantInit(&arguments);
    VariantInit(&directory);
    VariantInit(&operation);
    VariantInit(&show);
    directory.vt = VT_BSTR;
    directory.bstrVal = SysAllocString(wideFolder);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    BSTR file = SysAllocString(wideGame);
    const bool started = file != nullptr && directory.bstrVal != nullptr &&
                         SUCCEEDED(shell.pointer->ShellExecute(file, arguments, directory, operation, show));
    SysFreeString(file);
    (void)VariantClear(&directory);
    return started;
}

// Starts the game without waiting for it, in its own folder. False when its
// name is refused or its path does not fit, so that nothing else and no cut
// path is ever started.
bool startGame(const char* recordedFolder) {
    char exeName[kPathSize];
    readSetupString(kExeNameKey, exeName);  // "NoData" when missing: that path just fails to start
    // A name reaching out of the folder ("..\", a drive) would start another program.
    if (!isAcceptableRelativePath(exeName)) return false;
    char gamePath[kPathSize];
    if (!joinText(gamePath, {recordedFolder, "\\", exeName})) return false;
    if (startThroughDesktopShell(gamePath, recordedFolder)) return true;

    // Without the desktop's shell the game is started from here, elevated.
    // The path is also the application name, so that a path with blanks never
    // starts another program at one of its blank-separated prefixes; the
    // command line stays the bare path the game has always been given.
    char commandLine[kPathSize];
    copyText(commandLine, gamePath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // A game that cannot be started is not reported: the launcher ends anyway.
    if (CreateProcessA(gamePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, recordedFolder, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return true;
}

}  // namespace

void runInstalledGame(HWND launcher) {
    // Read again at the press, and judged as the launcher judged it at its
    // start: the record may have been changed since.
    char recordedFolder[kPathSize];
    if (readRecordedCopy(recordedFolder) != RecordedCopy::present) {
        MessageBoxA(launcher, kNotInstalledText, kMessageCaption, MB_OK);
        return;
    }

    captureDisplayMode();
    const DWORD depth = programState.currentDisplayMode.dmBitsPerPel;
    if (depth == 16) {
        MessageBoxA(launcher, kHighColourNote, kMessageCaption, MB_OK);
    } else if (depth < 24) {
        if (MessageBoxA(launcher, kDepthQuestion, kMessageCaption, MB_YESNO) == IDNO) {
            MessageBoxA(launcher, kDepthAdvice, kMessageCaption, MB_OK);
        } else {
            switchDisplayMode(launcher);
        }
        return;
    }

    if (!startGame(recordedFolder)) {
        MessageBoxA(launcher, kNotInstalledText, kMessageCaption, MB_OK);
        return;
    }
    EndDialog(launcher, 0);
}
