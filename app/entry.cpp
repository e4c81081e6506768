#include "app/entry.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/backdrop.h"
#include "app/launcher.h"
#include "res/resource.h"
#include "app/state.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

void relaunchFromCommandTail(const char* commandTail) {
    char folder[kPathSize];
    if (!getProgramFolder(folder)) return;

    // The tail goes in as it stands: no quotes are removed, no blanks trimmed.
    char path[kComposedPathSize];
    if (!joinText(path, {folder, commandTail})) return;
    // A failure of the shell is not reported.
    (void)ShellExecuteA(nullptr, "open", path, nullptr, folder, SW_SHOW);
}

void runSetup(HINSTANCE instance, int showCommand) {
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
