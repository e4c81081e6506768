// The time from starting a program until its first dialog is on screen, for
// the benchmark command; the dialog is then cancelled and the program waited
// for.
//
//   starttimer.exe PROGRAM      prints the seconds
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

DWORD processId = 0;

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
    DWORD owner = 0;
    char name[16] = "";
    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, name, sizeof name);
    if (owner != processId || !IsWindowVisible(window) || lstrcmpA(name, "#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string program = argv[1];
    const std::string folder = program.substr(0, program.find_last_of('\\'));
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, started, shown;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return 1;
    processId = process.dwProcessId;
    HWND dialog = nullptr;
    // Polled each millisecond: the start is what is measured.
    for (int i = 0; i < 30000 && dialog == nullptr; ++i) {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog == nullptr) Sleep(1);
    }
    QueryPerformanceCounter(&shown);
    if (dialog == nullptr) return 1;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("%.4f\n", static_cast<double>(shown.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}
