#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "launch/displaymode.h"
#include "launch/rungame.h"
#include "tests/launcherfixture.h"

namespace {

using Box = std::pair<std::string, UINT>;
const Box kM1 = {"正しくインストールが行われていません。", MB_OK};
const Box kM2 = {"このゲームのグラフィックはフルカラーで描かれています\n"
                 "ハイカラーでも動作はしますが製作者の意図した画面が再現できない場合があります", MB_OK};
const Box kM3 = {"このゲームはハイカラー以上の設定で動作するように設計されています。\n"
                 "現在の画面モードでは正常に動作しないので、画面モードを切り替えます。\nよろしいですか？", MB_YESNO};
const Box kM4 = {"このゲームは、ハイカラー以上の設定で、動作するように設計されています。\n"
                 "「コントロールパネル」の「画面」でモードをハイカラー以上に設定してください。", MB_OK};
const Box kM5 = {"解像度を切り替えることができませんでした。", MB_OK};
const Box kM6 = {"画面モードの切り替えには再起動が必要です。\nよろしいですか？", MB_YESNO};
const std::string kCapture = "current 148 0x1c0000";  // asked for depth, width and height

// The faked display, process start and restart: what they answer, and a log
// of the calls that matter.
using Mode = std::array<DWORD, 4>;  // width, height, depth, refresh
Mode current;                      // depth 0: the current mode cannot be read
std::vector<Mode> modes;
LONG changeResult;
bool startForReal;
DWORD startedId;
std::vector<std::string> calls;
decltype(&CreateProcessA) realCreateProcess;

BOOL WINAPI enumDisplaySettings(LPCSTR device, DWORD number, DEVMODEA* mode) {
    char call[64];
    std::snprintf(call, sizeof call, "current %u %#lx", mode->dmSize, mode->dmFields);
    if (number == ENUM_CURRENT_SETTINGS) calls.push_back(call);
    const Mode* m = number == ENUM_CURRENT_SETTINGS ? (current[2] != 0 ? &current : nullptr)
                    : number < modes.size()         ? &modes[number]
                                                    : nullptr;
    if (device != nullptr || mode->dmSize != 148 || m == nullptr) return FALSE;
    mode->dmPelsWidth = (*m)[0], mode->dmPelsHeight = (*m)[1], mode->dmBitsPerPel = (*m)[2];
    mode->dmDisplayFrequency = (*m)[3];
    return TRUE;
}
LONG WINAPI changeDisplaySettings(DEVMODEA* mode, DWORD flags) {
    char call[96];
    std::snprintf(call, sizeof call, "change %u %#lx %lux%lux%lu flags %lu", mode->dmSize, mode->dmFields,
                  mode->dmPelsWidth, mode->dmPelsHeight, mode->dmBitsPerPel, flags);
    calls.push_back(call);
    return changeResult;
}
BOOL WINAPI createProcess(LPCSTR app, LPSTR line, LPSECURITY_ATTRIBUTES pa, LPSECURITY_ATTRIBUTES ta, BOOL inherit,
                          DWORD flags, LPVOID env, LPCSTR dir, LPSTARTUPINFOA si, LPPROCESS_INFORMATION pi) {
    STARTUPINFOA plain = {};
    plain.cb = sizeof plain;
    const bool usual = !pa && !ta && !inherit && !flags && !env && !dir && std::memcmp(si, &plain, sizeof plain) == 0;
    calls.push_back(std::string("start ") + (app ? app : "(none)") + " | " + line + (usual ? "" : " (and more)"));
    if (!startForReal || !realCreateProcess(app, line, pa, ta, inherit, flags, env, dir, si, pi)) return FALSE;
    // What the started program writes is read once it has ended.
    WaitForSingleObject(pi->hProcess, 10000);
    startedId = pi->dwProcessId;
    return TRUE;
}
BOOL WINAPI adjustTokenPrivileges(HANDLE, BOOL disableAll, PTOKEN_PRIVILEGES wanted, DWORD length,
                                  PTOKEN_PRIVILEGES old, PDWORD oldLength) {
    LUID_AND_ATTRIBUTES shutdown = {{}, SE_PRIVILEGE_ENABLED};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown.Luid);
    const bool usual = !disableAll && wanted->PrivilegeCount == 1 && !length && !old && !oldLength &&
                       std::memcmp(&wanted->Privileges[0], &shutdown, sizeof shutdown) == 0;
    calls.push_back(usual ? "enable shutdown" : "adjust privileges otherwise");
    return TRUE;
}
BOOL WINAPI exitWindows(UINT flags, DWORD reason) {
    calls.push_back("exit " + std::to_string(flags) + " " + std::to_string(reason));
    return TRUE;
}
BOOL WINAPI endDialog(HWND, INT_PTR result) {
    calls.push_back("end " + std::to_string(result));
    return TRUE;
}
HGLOBAL WINAPI noMemory(UINT, SIZE_T) { return nullptr; }

class LaunchTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        current = {1024, 768, 32}, modes = {}, changeResult = 0, startForReal = false, startedId = 0, calls = {};
        realCreateProcess = startPatch.original<decltype(&CreateProcessA)>();
    }
    // The message boxes since the last look, all owned by the backdrop.
    void expectBoxes(const std::vector<Box>& expected, const char* what) {
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size() - seen, expected.size()) << what;
        for (const Box& box : expected)
            EXPECT_TRUE(isMessageBox(shown[seen++], backdrop, box.first, "SETUP", box.second)) << what;
    }
    size_t seen = 0;
    ImportPatch enumPatch{"user32.dll", "EnumDisplaySettingsA", reinterpret_cast<void*>(enumDisplaySettings)};
    ImportPatch changePatch{"user32.dll", "ChangeDisplaySettingsA", reinterpret_cast<void*>(changeDisplaySettings)};
    ImportPatch startPatch{"kernel32.dll", "CreateProcessA", reinterpret_cast<void*>(createProcess)};
    ImportPatch adjustPatch{"advapi32.dll", "AdjustTokenPrivileges", reinterpret_cast<void*>(adjustTokenPrivileges)};
    ImportPatch exitPatch{"user32.dll", "ExitWindowsEx", reinterpret_cast<void*>(exitWindows)};
};

TEST_F(LaunchTest, RunActionStartsTheGameOrSaysWhyNot) {
    ImportPatch end("user32.dll", "EndDialog", reinterpret_cast<void*>(endDialog));
    const std::string fits(250, 'F');  // + "\GAME.EXE" is 259 bytes
    // record: the install record's value at the press ("-": removed after the launcher started);
    // started: the name the started game's path ends in, nullptr when nothing is started.
    struct Case { const char* what; DWORD depth; std::string record; bool exeName; std::vector<Box> boxes;
                  bool captured; const char* started; };
    for (const Case& c : {Case{"32 bits", 32, "C:\\Game", true, {}, true, "GAME.EXE"},
                          Case{"24 bits", 24, "C:\\Game", true, {}, true, "GAME.EXE"},
                          Case{"16 bits", 16, "C:\\Game", true, {kM2}, true, "GAME.EXE"},
                          Case{"15 bits, no", 15, "C:\\Game", true, {kM3, kM4}, true, nullptr},
                          Case{"8 bits, no", 8, "C:\\Game", true, {kM3, kM4}, true, nullptr},
                          Case{"depth unreadable, no", 0, "C:\\Game", true, {kM3, kM4}, true, nullptr},
                          Case{"8 bits, yes, no mode", 8, "C:\\Game", true, {kM3, kM5}, true, nullptr},
                          Case{"EXE_NAME absent", 32, "C:\\Game", false, {}, true, "NoData"},
                          Case{"record removed", 32, "-", true, {kM1}, false, nullptr},
                          Case{"record too long", 32, std::string(kPathSize, 'x'), true, {kM1}, false, nullptr},
                          Case{"game path fits", 32, fits, true, {}, true, "GAME.EXE"},
                          Case{"game path too long", 32, fits + "F", true, {kM1}, true, nullptr}}) {
        writeGame({c.exeName ? "EXE_NAME=GAME.EXE" : ""});
        copyText(programState.registrySubKey, key.subKey().c_str());
        if (c.record == "-") RegDeleteKeyValueA(HKEY_CURRENT_USER, key.subKey().c_str(), "InstallFolder");
        else record(c.record);
        programState.currentDisplayMode = {};
        current[2] = c.depth, calls = {};
        if (c.boxes == std::vector<Box>{kM3, kM4}) boxes.answer({IDNO});
        runInstalledGame(backdrop);
        expectBoxes(c.boxes, c.what);
        const std::string game = c.record + "\\" + (c.started ? c.started : "");
        std::vector<std::string> expected;
        if (c.captured) expected.push_back(kCapture);
        if (c.started) expected.insert(expected.end(), {"start " + game + " | " + game, "end 0"});
        EXPECT_EQ(calls, expected) << c.what;
    }
}

TEST_F(LaunchTest, RunButtonStartsExactlyTheRecordedGame) {
    writeGame({"EXE_NAME=GAME.EXE"});
    disc->makeFolder("My Games");
    const std::string game = disc->path("My Games\\GAME.EXE"), report = disc->path("probe.txt");
    // The decoy lies where a command line with blanks and no program name is tried first.
    for (const std::string& copy : {game, disc->path("My.exe")})
        ASSERT_TRUE(CopyFileA(("Z:" + std::string(PROBE_EXE_PATH)).c_str(), copy.c_str(), FALSE));
    record(disc->path("My Games"));
    SetEnvironmentVariableA("PROBE_OUT", report.c_str());
    startForReal = true;
    DialogDriver driver;
    driver.when(kButtonRun, [](HWND dialog) { DialogDriver::press(dialog, kButtonRun); });
    EXPECT_EQ(runLauncher(), 0);
    SetEnvironmentVariableA("PROBE_OUT", nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{kCapture, "start " + game + " | " + game}));

    // The started program's path, working folder, process id and command line.
    std::vector<std::string> lines;
    std::ifstream in(report);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, folder);
    EXPECT_EQ(lines, (std::vector<std::string>{game, folder, std::to_string(startedId), game}));
}

TEST_F(LaunchTest, ChoosesTheLargestFittingModeOf24Then32Then16Bits) {
    std::vector<Mode> all;
    for (Mode size : {Mode{640, 480}, Mode{800, 600}, Mode{1024, 768}, Mode{1280, 1024}})
        for (DWORD depth : {8, 16, 24, 32}) all.push_back({size[0], size[1], depth});
    struct Case { const char* what; Mode screen; std::vector<Mode> modes; Mode chosen; };
    for (const Case& c :
         {Case{"every size and depth", {1024, 768}, all, {1024, 768, 24}},
          Case{"24 over a larger 32", {1280, 1024}, {{800, 600, 24}, {1280, 1024, 32}}, {800, 600, 24}},
          Case{"32 without 24", {1280, 1024}, {{640, 480, 32}, {1024, 768, 32}, {1280, 1024, 16}}, {1024, 768, 32}},
          Case{"16 only", {1024, 768}, {{640, 480, 16}, {1024, 768, 16}, {1024, 768, 8}}, {1024, 768, 16}},
          Case{"nothing fits", {1024, 768}, {{639, 480, 24}, {640, 479, 24}, {800, 600, 15}, {1280, 1024, 24}}, {}},
          Case{"screen below 640 x 480", {600, 400}, {{640, 480, 24}}, {}},
          Case{"wider later", {1280, 1024}, {{1024, 768, 24}, {1280, 720, 24}}, {1280, 720, 24}},
          Case{"taller later", {1280, 1024}, {{1280, 720, 24}, {1024, 768, 24}}, {1024, 768, 24}},
          Case{"same mode again later", {1024, 768}, {{800, 600, 24, 60}, {640, 480, 24}, {800, 600, 24, 75}},
               {800, 600, 24, 60}},
          Case{"refresh rates", {1024, 768}, {{800, 600, 24, 60}, {800, 600, 24, 75}}, {800, 600, 24, 60}}}) {
        modes = c.modes;
        programState.currentDisplayMode.dmPelsWidth = c.screen[0];
        programState.currentDisplayMode.dmPelsHeight = c.screen[1];
        DEVMODEA mode;
        std::memset(&mode, 0xAB, sizeof mode);
        const bool chosen = c.chosen[2] != 0;
        EXPECT_EQ(chooseDisplayMode(mode), chosen) << c.what;
        const Mode untouched = {0xABABABAB, 0xABABABAB, 0xABABABAB, 0xABABABAB};
        EXPECT_EQ((Mode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel, mode.dmDisplayFrequency}),
                  chosen ? c.chosen : untouched) << c.what;
        // A whole listed record in its 148-byte form, or nothing at all.
        EXPECT_TRUE(mode.dmSize == (chosen ? 148 : 0xABAB) && mode.dmPanningWidth == 0xABABABAB) << c.what;
    }
}

TEST_F(LaunchTest, SwitchRequestsDepthAndSizeAndRestartsWhenTheUserAgrees) {
    constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    HKEY runOnce;
    DWORD made = 0;  // a fresh Wine prefix has no RunOnce key, and the program only opens it
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRunOnce, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &runOnce, &made),
              ERROR_SUCCESS);
    programState.currentDisplayMode.dmPelsWidth = 1024;
    programState.currentDisplayMode.dmPelsHeight = 768;
    modes = {{640, 480, 8}, {1024, 768, 16}, {1024, 768, 24, 60}, {1280, 1024, 24}};
    const std::string change = "change 148 0x1c0000 1024x768x24 flags 0";  // the refresh rate is not asked for
    const std::vector<std::string> restart = {change, "enable shutdown", "exit 2 0"};  // EWX_REBOOT
    const char* const bare = "C:\\GAMES\\SETUP.EXE";
    struct Case { const char* what; bool noMemory; LONG result; int answer; const char* program; std::vector<Box> boxes;
                  std::vector<std::string> calls; const char* runOnce; };
    for (const Case& c :
         {Case{"no memory for the list", true, 0, IDYES, bare, {kM5}, {}, ""},
          Case{"changed at once", false, DISP_CHANGE_SUCCESSFUL, IDYES, bare, {}, {change}, ""},
          Case{"mode refused", false, DISP_CHANGE_BADMODE, IDYES, bare, {}, {change}, ""},
          Case{"restart declined", false, DISP_CHANGE_RESTART, IDNO, bare, {kM6}, {change}, ""},
          Case{"restart", false, DISP_CHANGE_RESTART, IDYES, bare, {kM6}, restart, bare},
          Case{"restart, blank in the path", false, DISP_CHANGE_RESTART, IDYES, "C:\\My Games\\SETUP.EXE", {kM6},
               restart, "\"C:\\My Games\\SETUP.EXE\""}}) {
        changeResult = c.result, calls = {};
        if (!c.boxes.empty()) boxes.answer({c.answer});
        FakeModulePath program(c.program);
        std::unique_ptr<ImportPatch> alloc(
            c.noMemory ? new ImportPatch("kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(noMemory)) : nullptr);
        switchDisplayMode(backdrop);
        expectBoxes(c.boxes, c.what);
        EXPECT_EQ(calls, c.calls) << c.what;
        char value[kPathSize + 2] = "";
        DWORD size = sizeof value;
        RegGetValueA(runOnce, nullptr, "VantorelleSetup", RRF_RT_REG_SZ, nullptr, value, &size);
        EXPECT_EQ(std::string(value), c.runOnce) << c.what;
        RegDeleteValueA(runOnce, "VantorelleSetup");
    }
    RegCloseKey(runOnce);
    if (made == REG_CREATED_NEW_KEY) RegDeleteKeyA(HKEY_CURRENT_USER, kRunOnce);
}

}  // namespace
