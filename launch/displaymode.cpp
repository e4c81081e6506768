#include "launch/displaymode.h"

#include <cstring>

#include "res/messages.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

constexpr char kNoModeText[] = "解像度を切り替えることができませんでした。";
constexpr char kRestartQuestion[] = "画面モードの切り替えには再起動が必要です。\nよろしいですか？";
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// The maker's name before "Setup": one fixed name, so a second restart asked
// for before the first has run replaces the entry instead of adding another,
// and any of its discs' setup programs overwrites the same one.
constexpr char kRunOnceValue[] = "VantorelleSetup";

constexpr DWORD kMinimumWidth = 640;
constexpr DWORD kMinimumHeight = 480;
constexpr DWORD kMinimumDepth = 16;
constexpr DWORD kPreferredDepths[] = {24, 32, 16};

bool sameMode(const DEVMODEA& a, const DEVMODEA& b) {
    return a.dmPelsWidth == b.dmPelsWidth && a.dmPelsHeight == b.dmPelsHeight && a.dmBitsPerPel == b.dmBitsPerPel;
}

// A mode the game can use and the current screen can show. Comparing with the
// last accepted mode only drops a mode listed again at once (at another
// refresh rate, say).
bool isCandidate(const DEVMODEA& mode, const DEVMODEA& lastAccepted) {
    const DEVMODEA& current = programState.currentDisplayMode;
    return !sameMode(mode, lastAccepted) && mode.dmPelsWidth >= kMinimumWidth && mode.dmPelsHeight >= kMinimumHeight &&
           mode.dmBitsPerPel >= kMinimumDepth && mode.dmPelsWidth <= current.dmPelsWidth &&
           mode.dmPelsHeight <= current.dmPelsHeight;
}

// One pass over the display's modes. Counts the candidates, and stores the
// first capacity of them, whole, into list (which may be nullptr to count).
DWORD enumerateCandidates(BYTE* list, DWORD capacity) {
    DEVMODEA lastAccepted = {};
    DEVMODEA mode = {};
    mode.dmSize = kDisplayModeSize;
    mode.dmDriverExtra = 0;  // no room for driver data
    DWORD count = 0;
    for (DWORD number = 0; EnumDisplaySettingsA(nullptr, number, &mode); ++number) {
        if (!isCandidate(mode, lastAccepted)) continue;
        lastAccepted = mode;
        if (list != nullptr && count < capacity) std::memcpy(list + count * kDisplayModeSize, &mode, kDisplayModeSize);
        ++count;
    }
    return count;
}

// Within one depth the first mode wins, and a later one replaces it when it is
// wider or else taller: with modes in ascending order, the largest that fits.
bool bestOfDepth(const BYTE* list, DWORD length, DWORD depth, DEVMODEA& best) {
    best = {};
    for (DWORD i = 0; i < length; ++i) {
        DEVMODEA entry = {};
        std::memcpy(&entry, list + i * kDisplayModeSize, kDisplayModeSize);
        if (entry.dmBitsPerPel != depth) continue;
        if (entry.dmPelsWidth > best.dmPelsWidth || entry.dmPelsHeight > best.dmPelsHeight) best = entry;
    }
    return best.dmBitsPerPel != 0;
}

// Registers the program to run once at the next logon. The value is run as a
// command line, so a path with a blank is quoted. A path that cannot be read
// whole, or a RunOnce key that cannot be opened, leaves no entry; the restart
// is asked for anyway.
void registerRunOnce() {
    char programPath[kPathSize];
    if (!getModulePath(programPath)) return;
    char command[kPathSize + 2];  // room for the quotes
    const bool quoted = std::strchr(programPath, ' ') != nullptr;
    if (!(quoted ? joinText(command, {"\"", programPath, "\""}) : copyText(command, programPath))) return;
    HKEY key;
    // Opened, not created: a system without the key gets no entry.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunOnceKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    (void)RegSetValueExA(key, kRunOnceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                         static_cast<DWORD>(std::strlen(command) + 1));
    RegCloseKey(key);
}

// Fills mode with a whole copy of the chosen display mode (kDisplayModeSize
// bytes). False, and mode untouched, when none fits or the candidate list
// cannot be held.
bool chooseDisplayMode(DEVMODEA& mode) {
    const DWORD count = enumerateCandidates(nullptr, 0);
    if (count > MAXDWORD / kDisplayModeSize) return false;
    auto* list = static_cast<BYTE*>(GlobalAlloc(GPTR, count * kDisplayModeSize));
    if (list == nullptr) return false;
    // The list holds at most the counted modes, whatever the second pass finds.
    DWORD length = enumerateCandidates(list, count);
    if (length > count) length = count;

    DEVMODEA best = {};
    bool chosen = false;
    for (DWORD depth : kPreferredDepths) {
        chosen = bestOfDepth(list, length, depth, best);
        if (chosen) break;
    }
    GlobalFree(list);
    if (chosen) std::memcpy(&mode, &best, kDisplayModeSize);
    return chosen;
}

// Enables the shutdown privilege and asks the system to restart. Failures are
// not reported: the launcher simply stays open.
void restartSystem() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        // Not examined: without the privilege the system refuses the restart
        // below, and that is not reported either.
        (void)LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
        (void)AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    // A refused restart leaves the launcher open; nothing to tell the user.
    (void)ExitWindowsEx(EWX_REBOOT, 0);
}

}  // namespace

void switchDisplayMode(HWND launcher) {
    DEVMODEA chosen = {};
    if (!chooseDisplayMode(chosen)) {
        MessageBoxA(launcher, kNoModeText, kMessageCaption, MB_OK);
        return;
    }
    // Only depth, width and height are requested, not the refresh rate or the
    // other settings that came with the listed mode.
    chosen.dmSize = kDisplayModeSize;
    chosen.dmDriverExtra = 0;
    chosen.dmFields = kDisplayModeFields;
    // A failed change is not reported: the next run action asks again.
    if (ChangeDisplaySettingsA(&chosen, 0) != DISP_CHANGE_RESTART) return;

    if (MessageBoxA(launcher, kRestartQuestion, kMessageCaption, MB_YESNO) == IDNO) return;
    registerRunOnce();
    restartSystem();
}
