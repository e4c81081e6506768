#include "app/entry.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <iterator>

#include "app/backdrop.h"
#include "app/launcher.h"
#include "res/resource.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

// What the system must give the program, in code page 932 bytes: the message
// is converted from them explicitly, so it reads right on any system.
constexpr char kNeedsJapaneseCodePage[] =
    "このプログラムを実行するには、日本語のシステム ロケール（または Windows 11 以降）が必要です。\n\n"
    "コントロール パネルの「地域」→「管理」→「システム ロケールの変更」で「日本語（日本）」を選び、"
    "「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」をオフにして、"
    "Windows を再起動してから、もう一度実行して下さい。";
// Should the system lack the code page 932 table itself.
constexpr wchar_t kNeedsJapaneseCodePageFallback[] = L"This program needs the Japanese system locale (or Windows 11).";

}  // namespace

bool requireJapaneseCodePage() {
    if (GetACP() == kTextCodePage) return true;
    // A double-byte text never has more UTF-16 units than bytes.
    wchar_t text[sizeof kNeedsJapaneseCodePage];
    const wchar_t* shown = text;
    if (MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, kNeedsJapaneseCodePage, -1, text,
                            static_cast<int>(std::size(text))) == 0) {
        shown = kNeedsJapaneseCodePageFallback;
    }
    (void)MessageBoxW(nullptr, shown, L"SETUP", MB_OK | MB_ICONSTOP);
    return false;
}

// The relaunch form needs no such check: it shows no text, reads no
// description file, and composes its path from the module path and the tail
// in the same code page as the shell reads it, whichever that is.
void restrictLibrarySearch() {
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    // Without the call the system's own search order stays; nothing to report.
    if (setDefaultDllDirectories != nullptr) (void)setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void relaunchFromCommandTail(const char* commandTail) {
    restrictLibrarySearch();
    // The shell would open whatever the path names, behind this program's
    // elevation: only what lies in the program folder.
    if (commandTail[0] == '\\' || commandTail[0] == '/' || !staysInsideFolder(commandTail)) return;
    char folder[kPathSize];
    if (!getProgramFolder(folder)) return;

    // The tail goes in as it stands: no quotes are removed, no blanks trimmed.
    char path[kComposedPathSize];
    if (!joinText(path, {folder, commandTail})) return;
    // A failure of the shell is not reported.
    (void)ShellExecuteA(nullptr, "open", path, nullptr, folder, SW_SHOW);
}

void runSetup(HINSTANCE instance, int showCommand) {
    restrictLibrarySearch();
    // Before anything is opened or made: the texts and paths that follow
    // would be read in the wrong code page.
    if (!requireJapaneseCodePage()) return;
    InitCommonControls();
    (void)CoInitialize(nullptr);
    programState.instance = instance;

    // A second copy gets the same mutex without ownership and runs all the same.
    programState.instanceMutex = CreateMutexA(nullptr, TRUE, "SETUP");
    if (programState.instanceMutex == nullptr) return;
    // The process exit releases the mutex and COM on these early ends.
    if (!registerBackdropClass()) return;
    HWND backdrop = createBackdropWindow(showCommand);
    if (backdrop != nullptr) {
        (void)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), backdrop, launcherDialogProc, 0);
    }
    releaseBackdrop();
    CloseHandle(programState.instanceMutex);
    programState.instanceMutex = nullptr;
    CoUninitialize();
}
