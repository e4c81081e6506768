// The time of one install through the real SETUP.EXE, for the benchmark
// command: from the folder dialog's start button until the completion box,
// with the default install folder. The launcher is then cancelled and the
// install record removed; the installed files are the caller's to remove.
// Nothing polls the window server during the copy: the program writes its
// install record just before the completion box, so the timer sleeps on a
// change notification of HKCU\Software and looks for the box only once the
// record is there.
//
//   installtimer.exe DISC      prints the seconds
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"

namespace {

constexpr int kWaitMs = 120000;
constexpr int kPollMs = 10;

DWORD processId = 0;
HANDLE process = nullptr;

// The enabled dialog of the program with this title: the launcher, which has
// the status text, or another (the completion box shares its title).
HWND findDialog(const char* title, bool launcher) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", title)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window) && IsWindowEnabled(window) &&
            (GetDlgItem(window, IDC_STATUS) != nullptr) == launcher)
            return window;
    }
    return nullptr;
}

// Polled by title only: every query of another process's windows is work for
// the window server that the program under measurement shares.
HWND waitForDialog(const char* title, bool launcher, int pollMs = kPollMs) {
    HWND found = nullptr;
    // A program that ended (one that could not load DSETUP.dll, say) shows nothing more.
    for (int waited = 0; waited < kWaitMs && (found = findDialog(title, launcher)) == nullptr; waited += pollMs) {
        if (WaitForSingleObject(process, pollMs) == WAIT_OBJECT_0) break;
    }
    return found;
}

bool keyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Sleeps until the key exists, woken by every change below HKCU\Software;
// false when the program ended or the wait timed out first. The notification
// is armed before each look, so a key made in between still wakes the wait.
bool waitForKey(HKEY software, HANDLE changed, const std::string& path) {
    const HANDLE waits[] = {changed, process};
    for (;;) {
        if (RegNotifyChangeKeyValue(software, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed,
                                    TRUE) != ERROR_SUCCESS)
            return false;
        if (keyExists(path)) return true;
        if (WaitForMultipleObjects(2, waits, FALSE, kWaitMs) != WAIT_OBJECT_0) return false;
    }
}

bool press(HWND dialog, int id) { return dialog != nullptr && PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installtimer DISC\n");
        return 2;
    }
    const std::string disc = argv[1], program = disc + "\\" + kSetupProgramName,
                      description = disc + "\\" + kDescriptionFileName;
    char gameName[kValueSize], regName[kValueSize];
    GetPrivateProfileStringA(kSetupSection, kGameNameKey, "", gameName, sizeof gameName, description.c_str());
    GetPrivateProfileStringA(kSetupSection, kRegNameKey, "", regName, sizeof regName, description.c_str());

    // The record is deleted before and after, so only a disc whose record is
    // one plain level below Software is timed: never Software itself or a
    // key that other programs share.
    if (!isPlainName(regName) || namesSharedRegistryKey(regName)) {
        std::fprintf(stderr, "installtimer: REG_NAME must be one plain name of the disc's own\n");
        return 2;
    }
    // A record left by an earlier run would put the launcher in uninstall mode.
    const std::string recordKey = "Software\\" + std::string(regName);
    (void)RegDeleteTreeA(HKEY_CURRENT_USER, recordKey.c_str());

    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, disc.c_str(), &startup,
                        &started))
        return 1;
    processId = started.dwProcessId;
    process = started.hProcess;
    LARGE_INTEGER frequency, pressed = {}, finished = {};
    QueryPerformanceFrequency(&frequency);
    HKEY software = nullptr;
    const HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWND folderDialog = nullptr, box = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_NOTIFY, &software) == ERROR_SUCCESS &&
        press(waitForDialog(gameName, true), IDC_INSTALL_UNINSTALL) &&
        (folderDialog = waitForDialog("インストールするフォルダの指定", false)) != nullptr) {
        QueryPerformanceCounter(&pressed);
        // The box follows the record within milliseconds.
        if (press(folderDialog, IDOK) && waitForKey(software, changed, recordKey) &&
            (box = waitForDialog(gameName, false, 1)) != nullptr)
            QueryPerformanceCounter(&finished);
    }
    if (software != nullptr) RegCloseKey(software);
    CloseHandle(changed);
    const bool timed = box != nullptr;
    if (timed) press(box, IDOK);
    if (!press(waitForDialog(gameName, true), IDCANCEL)) TerminateProcess(process, 1);
    WaitForSingleObject(process, kWaitMs);
    CloseHandle(started.hThread);
    CloseHandle(process);
    (void)RegDeleteTreeA(HKEY_CURRENT_USER, recordKey.c_str());
    if (!timed) {
        std::fprintf(stderr, "installtimer: the install did not reach its completion box\n");
        return 1;
    }
    std::printf("%.3f\n", static_cast<double>(finished.QuadPart - pressed.QuadPart) / frequency.QuadPart);
    return 0;
}
