#include <fstream>
#include <regex>

#include "launch/rungame.h"
#include "tests/harness/desktopshell.h"
#include "tests/launcherfixture.h"

#include <gtest/gtest.h>

namespace {

// The run action's boxes, by a part of their text that tells them apart.
const std::pair<const char*, const char*> kBoxes[] = {{"not installed", "正しく"}, {"full colour", "フルカラー"},
                                                      {"switch", "切り替えます"},  {"advice", "コントロール"},
                                                      {"no mode", "解像度"},       {"restart", "再起動"}};
const char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The faked display, restart and program path: what they answer, and a log of the boxes and calls that matter.
struct Mode {
    DWORD depth, width, height;
};  // depth 0: the mode cannot be read
Mode current;
std::vector<Mode> modes;
LONG changeResult;
std::string programPath;
std::vector<std::string> calls;

BOOL WINAPI enumDisplaySettings(LPCSTR, DWORD number, DEVMODEA* mode) {
    const Mode m = number == ENUM_CURRENT_SETTINGS ? current : number < modes.size() ? modes[number] : Mode{};
    // Only a known mode asked for in the 148-byte form is answered.
    if (mode->dmSize != 148 || m.depth == 0) return FALSE;
    mode->dmBitsPerPel = m.depth;
    mode->dmPelsWidth = m.width;
    mode->dmPelsHeight = m.height;
    return TRUE;
}
LONG WINAPI changeDisplaySettings(DEVMODEA* m, DWORD flags) {
    const bool asked = m->dmSize == 148 && m->dmFields == (DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT) && flags == 0;
    calls.push_back(std::to_string(m->dmPelsWidth) + "x" + std::to_string(m->dmPelsHeight) + "x" +
                    std::to_string(m->dmBitsPerPel) + (asked ? "" : " asked otherwise"));
    return changeResult;
}
BOOL WINAPI adjustTokenPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES wanted, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    char name[32] = "";
    DWORD size = sizeof name;
    LookupPrivilegeNameA(nullptr, &wanted->Privileges[0].Luid, name, &size);
    calls.push_back(name + std::string(wanted->Privileges[0].Attributes == SE_PRIVILEGE_ENABLED ? " on" : " off"));
    return TRUE;
}
BOOL WINAPI exitWindows(UINT flags, DWORD reason) {
    char runOnce[kPathSize + 2] = "";  // what the system starts after the restart
    DWORD size = sizeof runOnce;
    RegGetValueA(HKEY_CURRENT_USER, kRunOnce, "VantorelleSetup", RRF_RT_REG_SZ, nullptr, runOnce, &size);
    calls.push_back("exit " + std::to_string(flags) + " " + std::to_string(reason) + ", run once " + runOnce);
    return TRUE;
}
BOOL WINAPI endDialog(HWND, INT_PTR result) {
    calls.push_back("end " + std::to_string(result));
    return TRUE;
}
DWORD WINAPI modulePath(HMODULE, LPSTR buffer, DWORD size) {
    lstrcpynA(buffer, programPath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(programPath.size());
}
HGLOBAL WINAPI noMemory(UINT, SIZE_T) { return nullptr; }
BOOL WINAPI createProcess(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                          DWORD, LPVOID, LPCSTR folder, LPSTARTUPINFOA, LPPROCESS_INFORMATION) {
    calls.push_back("create " + std::string(application) + "|" + commandLine + "|" + (folder ? folder : "-"));
    return FALSE;
}
template <class F>
void* fake(F function) {
    return reinterpret_cast<void*>(function);
}

using LaunchTest = LauncherTest;
using Log = std::vector<std::string>;

TEST_F(LaunchTest, RunActionChecksTheDepthThenStartsTheGameOrSwitchesTheDisplay) {
    const ImportPatch patches[] = {{"user32.dll", "EnumDisplaySettingsA", fake(enumDisplaySettings)},
                                   {"user32.dll", "ChangeDisplaySettingsA", fake(changeDisplaySettings)},
                                   {"advapi32.dll", "AdjustTokenPrivileges", fake(adjustTokenPrivileges)},
                                   {"user32.dll", "ExitWindowsEx", fake(exitWindows)},
                                   {"user32.dll", "EndDialog", fake(endDialog)}};
    const FakeDesktopShell noShell(kDesktopShellSteps[0]);  // the game is started from here, for real
    boxes.onShow([this](size_t number) {                    // which box; "?" for a question
        const RecordedMessageBox box = boxes.shown()[number];
        for (const auto& [name, part] : kBoxes)
            if (box.text.find(part) != std::string::npos && box.owner == backdrop && box.caption == "SETUP")
                calls.push_back(name + std::string(box.flags == MB_YESNO ? "?"
                                                   : box.flags == MB_OK  ? ""
                                                                         : " (other buttons)"));
    });
    // A fresh Wine prefix has no RunOnce key, and the program only opens it.
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRunOnce, "VantorelleSetup", REG_SZ, "", 1), ERROR_SUCCESS);
    writeGame({"EXE_NAME=GAME.EXE"});
    copyText(programState.registrySubKey, key.subKey().c_str());
    const std::string folder = install("My Games"), game = folder + "\\GAME.EXE", report = disc->path("probe.txt");
    // The decoy lies where a command line with blanks and no program name is tried first.
    for (const std::string& to : {game, disc->path("My.exe")})
        ASSERT_TRUE(CopyFileA("Z:" PROBE_EXE_PATH, to.c_str(), FALSE));
    SetEnvironmentVariableA("PROBE_OUT", report.c_str());
    // Presses the run button at this depth, with the display's list of modes at 1280 x 1024.
    const auto press = [&](DWORD depth, std::vector<Mode> list = {{24, 1024, 768}}, LONG result = 0) {
        current = {depth, 1280, 1024}, modes = list, changeResult = result, calls = {};
        runInstalledGame(backdrop);
        return calls;
    };

    // The depth table (0 first, while no mode was captured), then the record at the press, judged as the launcher
    // judged it at its start: gone after the launcher started (read as NoData), too long to read, a link to the
    // installed folder, a folder without the first listed file; a game path of 259 bytes (with "\GAME.EXE").
    const std::string longFolder = install(std::string(249 - disc->folder().size(), 'F')),
                      linked = disc->path("Linked");
    const UnixLink link(linked, folder);
    boxes.answer({IDNO, IDOK, IDNO});  // no to the switch at 0 and 15 bits
    for (const auto& [value, depth, log] :
         std::vector<std::tuple<std::string, DWORD, Log>>{{folder, 0, {"switch?", "advice"}},
                                                          {folder, 15, {"switch?", "advice"}},
                                                          {folder, 16, {"full colour", "end 0"}},
                                                          {folder, 24, {"end 0"}},
                                                          {folder, 32, {"end 0"}},
                                                          {"NoData", 32, {"not installed"}},
                                                          {std::string(kPathSize, 'x'), 32, {"not installed"}},
                                                          {linked, 32, {"not installed"}},
                                                          {disc->folder(), 32, {"not installed"}},
                                                          {longFolder, 32, {"end 0"}}}) {
        record(value);
        EXPECT_EQ(press(depth), log) << depth << " " << value.size();
    }
    // EXE_NAME must stay inside the folder.
    record(folder);
    for (const char* exeName : {"..\\My Games\\GAME.EXE", "C:GAME.EXE", "\\GAME.EXE", "GAME.EXE"}) {
        WritePrivateProfileStringA("InstallInfo", "EXE_NAME", exeName, disc->setupFilePath().c_str());
        EXPECT_EQ(press(32), (Log{exeName[0] == 'G' ? "end 0" : "not installed"})) << exeName;
    }

    // Below 16 bits and yes: the largest mode that fits, of 24, then 32, then 16 bits, is asked for.
    EXPECT_EQ(press(8, {{24, 800, 600}, {32, 1280, 1024}}), (Log{"switch?", "800x600x24"}));
    EXPECT_EQ(press(8, {{32, 640, 480}, {32, 1024, 768}, {16, 1280, 1024}}), (Log{"switch?", "1024x768x32"}));
    EXPECT_EQ(press(8, {{16, 640, 480}, {16, 1024, 768}, {8, 1024, 768}}), (Log{"switch?", "1024x768x16"}));
    EXPECT_EQ(press(8, {{24, 639, 480}, {24, 640, 479}, {15, 800, 600}, {24, 1600, 1200}}),
              (Log{"switch?", "no mode"}));
    EXPECT_EQ(press(8, {{24, 1024, 768}, {24, 1280, 720}}), (Log{"switch?", "1280x720x24"}));  // wider
    // Taller later, and the change refused: nothing is said.
    EXPECT_EQ(press(8, {{24, 1280, 720}, {24, 1024, 768}}, DISP_CHANGE_BADMODE), (Log{"switch?", "1024x768x24"}));
    boxes.answer({IDYES, IDNO});
    EXPECT_EQ(press(8, {{24, 1024, 768}}, DISP_CHANGE_RESTART), (Log{"switch?", "1024x768x24", "restart?"}));
    const ImportPatch path("kernel32.dll", "GetModuleFileNameA", fake(modulePath));
    for (const auto& [program, runOnce] :
         {std::pair<const char*, const char*>{"C:\\GAMES\\SETUP.EXE", "C:\\GAMES\\SETUP.EXE"},
          {"C:\\My Games\\SETUP.EXE", "\"C:\\My Games\\SETUP.EXE\""}}) {
        programPath = program;
        EXPECT_EQ(press(8, {{24, 1024, 768}}, DISP_CHANGE_RESTART),
                  (Log{"switch?", "1024x768x24", "restart?", "SeShutdownPrivilege on",
                       "exit 2 0, run once " + std::string(runOnce)}));
    }
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunOnce, "VantorelleSetup");
    ImportPatch alloc("kernel32.dll", "GlobalAlloc", fake(noMemory));
    EXPECT_EQ(press(8), (Log{"switch?", "no mode"}));

    // The games started above have written their path, folder, process id and command line once the file is free:
    // the last one started in its own folder.
    for (int wait = 0; !DeleteFileA(game.c_str()) && wait < 1000; ++wait) Sleep(10);
    const std::string started{std::istreambuf_iterator<char>(std::ifstream(report).rdbuf()), {}};
    EXPECT_EQ(std::regex_replace(started, std::regex("\n\\d+\n"), "\n"), game + "\n" + folder + "\n" + game + "\n");
}

// The desktop's shell starts the game, with no arguments and its folder as the working folder; where any step of
// the way to it fails, the game is created from here in its folder. Every reference taken is given back.
TEST_F(LaunchTest, GameStartsThroughTheDesktopShellOrElseInItsOwnFolder) {
    const ImportPatch patches[] = {{"user32.dll", "EnumDisplaySettingsA", fake(enumDisplaySettings)},
                                   {"kernel32.dll", "CreateProcessA", fake(createProcess)},
                                   {"user32.dll", "EndDialog", fake(endDialog)}};
    writeGame({"EXE_NAME=GAME.EXE"});
    copyText(programState.registrySubKey, key.subKey().c_str());
    const std::string folder = install("My Games"), game = folder + "\\GAME.EXE";
    current = {32, 1280, 1024};
    std::vector<const char*> failing(std::begin(kDesktopShellSteps), std::end(kDesktopShellSteps));
    failing.push_back(nullptr);
    for (const char* step : failing) {
        const FakeDesktopShell shell(step);
        calls = {};
        runInstalledGame(backdrop);
        const bool asked = step == nullptr || std::string(step) == "ShellExecute";
        EXPECT_EQ(shell.executed(), asked ? Log{game + "|-|" + folder + "|-|1"} : Log{}) << (step ? step : "none");
        EXPECT_EQ(calls, step == nullptr ? Log{"end 0"} : (Log{"create " + game + "|" + game + "|" + folder, "end 0"}))
            << (step ? step : "none");
        EXPECT_EQ(shell.heldReferences(), 0) << (step ? step : "none");
    }
}

}  // namespace
