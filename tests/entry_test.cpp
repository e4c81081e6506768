#include <gtest/gtest.h>

#include "app/entry.h"
#include "tests/bench/fakes.h"
#include "tests/bench/fixtures.h"

namespace {

TEST(EntryTest, RelaunchFormAndTwoCopiesSideBySide) {
    TempDisc disc;
    // In this process, with a fake shell: the tail is opened as it stands
    // beside the program, or not at all when the path does not fit.
    ShellExecuteRecorder shell;
    const std::string tail = "\"" + std::string(260 - disc.folder().size(), 'X') + "\"";  // 263 with the folder
    relaunchFromCommandTail((tail + "X").c_str());
    relaunchFromCommandTail(tail.c_str());
    EXPECT_EQ(shell.calls.at(0).file, disc.path(tail));  // the first call opened nothing

    // The real program, started from another working folder: the relaunch
    // form opens the probe in the program's folder, where the probe writes its
    // report, and ends by itself; two normal starts each show a launcher.
    ASSERT_TRUE(CopyFileA("Z:" SETUP_EXE_PATH, disc.path("SETUP.EXE").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA("DSETUP.dll", disc.path("DSETUP.dll").c_str(), FALSE));  // the program needs it to start
    ASSERT_TRUE(CopyFileA("Z:" PROBE_EXE_PATH, disc.path("probe.exe").c_str(), FALSE));
    disc.writeFile("SETUP.INI", "[InstallInfo]\r\nGAME_NAME=サンプル\r\n");
    SetEnvironmentVariableA("PROBE_OUT", "OUT");
    PROCESS_INFORMATION copies[3] = {};
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    for (int i = 0; i < 3; ++i) {
        std::string line = "\"" + disc.path("SETUP.EXE") + "\"" + (i == 0 ? "   probe.exe" : "  ");
        EXPECT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &start, copies + i));
    }
    for (int i = 0; i < 200 && GetFileAttributesA(disc.path("OUT").c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    EXPECT_NE(GetFileAttributesA(disc.path("OUT").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WaitForSingleObject(copies[0].hProcess, 20000), WAIT_OBJECT_0);

    // Once both wait in their launchers, a cancel ends each; every copy ends with 0.
    for (int i : {1, 2}) EXPECT_EQ(WaitForInputIdle(copies[i].hProcess, 20000), 0u);
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", "サンプル")) != nullptr;) {
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    }
    for (const PROCESS_INFORMATION& copy : copies) {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(copy.hProcess, 20000);
        EXPECT_TRUE(GetExitCodeProcess(copy.hProcess, &code) && code == 0) << code;
        CloseHandle(copy.hThread);
        CloseHandle(copy.hProcess);
    }
}

}  // namespace
