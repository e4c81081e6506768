// The helpers the drivers share; see driver.h.
#include "tour/driver.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "res/resource.h"

std::string shots, failures;
bool touring = true;
int shotNumber = 0;
std::string step = "start";
PROCESS_INFORMATION setup = {};

// --- the outside world ------------------------------------------------------------

// Wine neither waits for a Unix program nor hands back its exit code: the
// command leaves a mark when done, and callers look at what it did.
void runUnix(const std::string& command) {
    char mark[64];
    std::snprintf(mark, sizeof mark, "/tmp/journey-%lu-%lu.done", GetCurrentProcessId(), GetTickCount());
    std::string windowsMark = std::string("Z:") + mark;
    for (char& c : windowsMark) c = c == '/' ? '\\' : c;
    // Wine hands a Unix program its own form of PATH.
    std::string line = "Z:\\bin\\sh -c \"PATH=/usr/local/bin:/usr/bin:/bin; " + command + "; : > " + mark + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    // For a Unix program Wine hands back no process and no thread handle but
    // leaves hThread holding whatever it held: closing that could close a
    // handle of ours (the registry's, say).
    if (process.hProcess != nullptr) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int i = 0; i < 6000 && GetFileAttributesA(windowsMark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    DeleteFileA(windowsMark.c_str());
}

void picture(const std::string& folder, const std::string& name) {
    runUnix("import -window root '" + (folder.empty() ? "." : folder) + "/" + name + ".png'");
}

void shot(const std::string& name) {
    if (!touring || shots.empty()) return;
    char number[8];
    std::snprintf(number, sizeof number, "%02d-", ++shotNumber);
    picture(shots, number + name);
}

[[noreturn]] void fail(const std::string& detail) {
    std::printf("FAIL %s: %s\n", step.c_str(), detail.c_str());
    std::fflush(stdout);
    // A step's name may hold a slash, which no file name can.
    std::string name = "failed-" + step;
    for (char& c : name) c = c == '/' ? '-' : c;
    picture(shots.empty() ? failures : shots, name);
    if (setup.hProcess != nullptr) TerminateProcess(setup.hProcess, 99);
    ExitProcess(1);
}

void expect(bool condition, const std::string& detail) {
    if (!condition) fail(detail);
}

void begin(const std::string& name) {
    step = name;
    std::printf("step %s\n", name.c_str());
    std::fflush(stdout);
}

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::string recordedFolder(const std::string& recordKey, LSTATUS* status) {
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    const LSTATUS read =
        RegGetValueA(HKEY_CURRENT_USER, recordKey.c_str(), "InstallFolder", RRF_RT_REG_SZ, nullptr, value, &size);
    if (status != nullptr) *status = read;
    return read == ERROR_SUCCESS ? value : "";
}

// --- windows of the program -----------------------------------------------------------

std::string text(HWND window) {
    char value[1024] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof value, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return value;
}

std::string controlText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

std::wstring wideText(HWND window) {
    wchar_t value[1024] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000, &length);
    return value;
}

std::wstring fromCodePage932(const std::string& text) {
    wchar_t value[1024] = L"";
    MultiByteToWideChar(932, 0, text.c_str(), -1, value, 1024);
    return value;
}

// A top-level window's title as the window manager keeps it: no message goes
// to the program, which the polling would otherwise keep busy.
std::string title(HWND window) {
    char value[256] = "";
    GetWindowTextA(window, value, sizeof value);
    return value;
}

// The first visible dialog of the program that passes the test.
HWND findDialog(const std::function<bool(HWND)>& passes) {
    std::pair<const std::function<bool(HWND)>*, HWND> search = {&passes, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<decltype(search)*>(context);
            DWORD process = 0;
            char name[16] = "";
            GetWindowThreadProcessId(window, &process);
            GetClassNameA(window, name, sizeof name);
            if (process != setup.dwProcessId || !IsWindowVisible(window) || lstrcmpA(name, "#32770") != 0 ||
                !(*s.first)(window))
                return TRUE;
            s.second = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND waitFor(const std::string& what, const std::function<bool(HWND)>& passes) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kStepTimeoutMs; Sleep(10)) {
        if (HWND dialog = findDialog(passes)) return dialog;
    }
    fail("no " + what + " appeared");
}

// The launcher shares its title with the boxes captioned with the game's
// name; its status text tells it apart.
HWND waitForDialog(const std::string& wanted, bool launcher) {
    HWND dialog = waitFor("window \"" + wanted + "\"", [&](HWND window) {
        return title(window) == wanted && (GetDlgItem(window, IDC_STATUS) != nullptr) == launcher;
    });
    // Settled: enabled again once a child dialog has gone.
    for (int i = 0; i < 500 && !IsWindowEnabled(dialog); ++i) Sleep(10);
    return dialog;
}

void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    expect(IsWindowVisible(button) && IsWindowEnabled(button), "button " + std::to_string(id) + " cannot be pressed");
    PostMessageA(button, BM_CLICK, 0, 0);
}

// Waits for the message box with this caption, checks its text and answers.
void answerBox(const std::string& caption, const std::string& expected, int button, const char* screen) {
    HWND box = waitForDialog(caption);
    expect(wideText(GetDlgItem(box, kBoxText)) == fromCodePage932(expected),
           "the box \"" + caption + "\" says \"" + controlText(box, kBoxText) + "\"");
    if (screen != nullptr) shot(screen);
    click(box, button);
}

// --- the program's process ------------------------------------------------------------

void start(const std::string& program, const std::string& folder) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    expect(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &setup) != FALSE,
           "cannot start " + program);
}

DWORD waitForEnd() {
    DWORD code = STILL_ACTIVE;
    expect(WaitForSingleObject(setup.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0, "the program did not end");
    GetExitCodeProcess(setup.hProcess, &code);
    return code;
}
