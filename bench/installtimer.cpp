// The time of one install through the real SETUP.EXE, for the benchmark
// command: from the folder dialog's start button until the completion box,
// with the default install folder. The launcher is then cancelled and the
// install record removed; the installed files are the caller's to remove.
//
//   installtimer.exe DISC      prints the seconds
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"

namespace {

constexpr int kWaitMs = 120000;

DWORD processId = 0;

struct Search {
    const char* title;
    bool launcher;  // the launcher shares its title with the completion box; its status text tells it apart
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    char name[16] = "", title[256] = "";
    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    if (owner != processId || !IsWindowVisible(window) || !IsWindowEnabled(window) || lstrcmpA(name, "#32770") != 0 ||
        lstrcmpA(title, search.title) != 0 || (GetDlgItem(window, IDC_STATUS) != nullptr) != search.launcher)
        return TRUE;
    search.found = window;
    return FALSE;
}

// Polled each millisecond: the completion box's appearance is what is timed.
HWND waitForDialog(const char* title, bool launcher) {
    Search search = {title, launcher, nullptr};
    for (int i = 0; i < kWaitMs && search.found == nullptr; ++i) {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) Sleep(1);
    }
    return search.found;
}

bool press(HWND dialog, int id) {
    return dialog != nullptr && PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installtimer DISC\n");
        return 2;
    }
    const std::string disc = argv[1], program = disc + "\\SETUP.EXE", description = disc + "\\SETUP.INI";
    char gameName[256], regName[256];
    GetPrivateProfileStringA("InstallInfo", "GAME_NAME", "", gameName, sizeof gameName, description.c_str());
    GetPrivateProfileStringA("InstallInfo", "REG_NAME", "", regName, sizeof regName, description.c_str());

    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, disc.c_str(), &startup,
                        &process))
        return 1;
    processId = process.dwProcessId;
    LARGE_INTEGER frequency, started = {}, finished = {};
    QueryPerformanceFrequency(&frequency);
    HWND folderDialog = nullptr, box = nullptr;
    if (press(waitForDialog(gameName, true), IDC_INSTALL_UNINSTALL) &&
        (folderDialog = waitForDialog("インストールするフォルダの指定", false)) != nullptr) {
        QueryPerformanceCounter(&started);
        if (press(folderDialog, IDOK) && (box = waitForDialog(gameName, false)) != nullptr)
            QueryPerformanceCounter(&finished);
    }
    const bool timed = box != nullptr;
    if (timed) press(box, IDOK);
    if (!press(waitForDialog(gameName, true), IDCANCEL)) TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, kWaitMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Only the disc's own record: never Software itself.
    if (regName[0] != '\0') (void)RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + std::string(regName)).c_str());
    if (!timed) {
        std::fprintf(stderr, "installtimer: the install did not reach its completion box\n");
        return 1;
    }
    std::printf("%.3f\n", static_cast<double>(finished.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}
