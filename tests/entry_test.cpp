#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/entry.h"
#include "tests/bench/fakes.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

// A Linux path as Wine shows it on drive Z:.
std::string windowsPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the 64-bit SETUP.EXE copied into disc, with commandTail after its name.
PROCESS_INFORMATION startSetup(const TempDisc& disc, const std::string& commandTail) {
    std::string commandLine = "\"" + disc.path("SETUP.EXE") + "\"" + commandTail;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup,
                               &process));
    return process;
}

DWORD waitForExit(const PROCESS_INFORMATION& process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    return code;
}

void closeProcess(const PROCESS_INFORMATION& process) {
    if (waitForExit(process, 0) == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyFileA(windowsPath(SETUP_EXE_PATH).c_str(), disc.path("SETUP.EXE").c_str(), FALSE));
        // The program cannot start without the DirectX setup library beside it.
        ASSERT_TRUE(CopyFileA("DSETUP.dll", disc.path("DSETUP.dll").c_str(), FALSE));
        disc.writeFile("SETUP.INI", "[InstallInfo]\r\nGAME_NAME=サンプル\r\n");
    }
    TempDisc disc;
};

TEST_F(EntryTest, RelaunchOpensTheTailBesideTheProgram) {
    ShellExecuteRecorder shell;
    relaunchFromCommandTail("DATA\\README.TXT");
    relaunchFromCommandTail("\"MANUAL.HTM\"");  // quotes stay
    relaunchFromCommandTail(std::string(264 - disc.folder().size() - 1, 'X').c_str());  // one byte too many

    const std::vector<ShellExecuteCall> calls = shell.calls;
    ASSERT_EQ(calls.size(), 2u);
    const std::string folder = disc.folder() + "\\";
    EXPECT_EQ(calls[0].owner, nullptr);
    EXPECT_EQ(calls[0].verb, "open");
    EXPECT_EQ(calls[0].file, folder + "DATA\\README.TXT");
    EXPECT_EQ(calls[0].parameters, "(null)");
    EXPECT_EQ(calls[0].directory, folder);
    EXPECT_EQ(calls[0].show, SW_SHOW);
    EXPECT_EQ(calls[1].file, folder + "\"MANUAL.HTM\"");
}

TEST_F(EntryTest, RelaunchFormOfTheRealProgramOpensTheFileAndEndsAtOnce) {
    ASSERT_TRUE(CopyFileA(windowsPath(PROBE_EXE_PATH).c_str(), disc.path("probe.exe").c_str(), FALSE));
    const std::string report = disc.path("probe.txt");
    SetEnvironmentVariableA("PROBE_OUT", report.c_str());

    // Started from another working folder. With a description file beside it
    // a normal start would stay open in its launcher, so ending by itself means
    // that it showed nothing.
    const PROCESS_INFORMATION process = startSetup(disc, "   probe.exe");
    EXPECT_EQ(waitForExit(process, 20000), 0u);
    closeProcess(process);

    std::string lines;
    for (int i = 0; i < 200 && std::count(lines.begin(), lines.end(), '\n') < 3; ++i) {
        Sleep(50);
        lines = readFile(report);
    }
    SetEnvironmentVariableA("PROBE_OUT", nullptr);
    const std::string expected = disc.path("probe.exe") + "\n" + disc.folder() + "\n";
    EXPECT_EQ(lines.substr(0, expected.size()), expected);

    // The probe works in the disc folder: it must be gone before the folder can go.
    HANDLE probe = OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(lines.c_str() + expected.size(), nullptr, 10));
    if (probe != nullptr) {
        WaitForSingleObject(probe, 10000);
        CloseHandle(probe);
    }
}

struct Launched {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    auto& launched = *reinterpret_cast<Launched*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == launched.processId && IsWindowVisible(window)) launched.windows.push_back(window);
    return TRUE;
}

std::string className(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string title(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST_F(EntryTest, SecondCopyIsNotRefusedAndEachEndsWithZero) {
    const PROCESS_INFORMATION first = startSetup(disc, "");
    const PROCESS_INFORMATION second = startSetup(disc, "  ");  // blanks only: a normal start
    for (const PROCESS_INFORMATION& process : {first, second}) {
        Launched launched = {process.dwProcessId, {}};
        for (int i = 0; i < 200 && launched.windows.size() < 2; ++i) {
            Sleep(50);
            launched.windows.clear();
            EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&launched));
        }
        ASSERT_EQ(launched.windows.size(), 2u) << "a backdrop and a launcher for process " << process.dwProcessId;
        HWND launcher = nullptr;
        for (HWND window : launched.windows) {
            EXPECT_TRUE(sameText(title(window), "サンプル"));
            if (className(window) == "#32770") launcher = window;
        }
        ASSERT_NE(launcher, nullptr);
        EXPECT_EQ(className(GetWindow(launcher, GW_OWNER)), "SETUP");
        PostMessageA(launcher, WM_COMMAND, IDCANCEL, 0);
    }
    EXPECT_EQ(waitForExit(first, 20000), 0u);
    EXPECT_EQ(waitForExit(second, 20000), 0u);
    closeProcess(first);
    closeProcess(second);
}

}  // namespace
