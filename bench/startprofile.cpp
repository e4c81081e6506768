// Where the launcher's start goes: runs the program's own start-up steps with a
// clock around each, on the sample disc (copy it beside SETUP.EXE as
// PROFILE.EXE), and appends one line per step to the file given, in
// milliseconds. The steps inside the launcher's preparation are timed again,
// warm, after it: splash loading, the description-file reads and the
// installed-copy check.
//
//   PROFILE.EXE OUTFILE
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <initializer_list>

#include "app/backdrop.h"
#include "app/launcher.h"
#include "app/splash.h"
#include "res/resource.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/splashfile.h"

namespace {

LARGE_INTEGER frequency, last;
FILE* out = nullptr;

void mark(const char* step) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::fprintf(out, "%.3f %s\n", static_cast<double>(now.QuadPart - last.QuadPart) * 1000.0 / frequency.QuadPart,
                 step);
    QueryPerformanceCounter(&last);
}

INT_PTR CALLBACK timedLauncher(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        mark("launcher dialog made from its template");
        prepareLauncher(dialog);
        mark("launcher prepared (all of the below, and the titles and mode)");
        drawSplashBitmaps(dialog);
        mark("splash drawing and the backdrop's repaint");
        char modulePath[MAX_PATH], basePath[kSplashPathSize];
        GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
        if (splashBasePath(modulePath, basePath)) loadSplashBitmaps(basePath);
        mark("  splash loading, again");
        char value[kValueSize], firstKey[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, 0, firstKey);
        const char* keys[] = {kGameNameKey, kRegNameKey, firstKey};
        for (const char* key : keys) readSetupString(key, value);
        mark("  three description-file reads, again");
        checkInstalledCopy();
        mark("  installed-copy check, again");
        return TRUE;
    }
    if (message == WM_SHOWWINDOW && wParam) {
        mark("until the launcher is shown");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return launcherDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int showCommand) {
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&last);
    out = std::fopen(commandTail, "a");
    if (out == nullptr) return 1;
    InitCommonControls();
    (void)CoInitialize(nullptr);
    programState.instance = instance;
    programState.instanceMutex = CreateMutexA(nullptr, TRUE, "SETUP");
    mark("common controls, COM, mutex");
    registerBackdropClass();
    mark("backdrop class");
    HWND backdrop = createBackdropWindow(showCommand);
    mark("backdrop window, back buffer, first paint");
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), backdrop, timedLauncher, 0);
    releaseBackdrop();
    CoUninitialize();
    std::fprintf(out, "--\n");
    std::fclose(out);
    return 0;
}
