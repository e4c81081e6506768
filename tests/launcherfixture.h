// The backdrop window and a launcher run for the tests of the launcher shell.
// The backdrop is made once per test process by the program's own code (its
// window class can be registered only once); every test starts with a white
// back buffer, the title "SETUP" and a fresh program state.
#pragma once

#include "app/backdrop.h"
#include "app/launcher.h"
#include "res/resource.h"
#include "setupdata/text.h"
#include "tests/bench/dialogs.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

struct LauncherTest : ::testing::Test {
    void SetUp() override {
        ProgramState& s = programState;
        resetProgramState();
        s.instance = GetModuleHandleA(nullptr);
        static const HWND window = registerBackdropClass() ? createBackdropWindow(SW_SHOWNORMAL) : nullptr;
        static const auto made = std::make_tuple(s.screenWidth, s.screenHeight, s.backBufferDc, s.backBufferBitmap);
        std::tie(s.screenWidth, s.screenHeight, s.backBufferDc, s.backBufferBitmap) = made;
        ASSERT_NE(backdrop = window, nullptr);
        PatBlt(s.backBufferDc, 0, 0, s.screenWidth, s.screenHeight, WHITENESS);
        SetWindowTextA(backdrop, "SETUP");
        RedrawWindow(backdrop, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    // GlobalFree gives nullptr back once the block is freed.
    void TearDown() override { for (void*& splash : programState.splashBitmaps) splash = GlobalFree(splash); }

    // A new disc with a description file: the extra lines, then GAME_NAME,
    // REG_NAME of the test's key and COPYFILE_000=GAME.EXE. A key that stands
    // twice is read where it stands first, so the extra lines win.
    void writeGame(std::vector<std::string> lines = {}, const std::string& gameName = "サンプル") {
        disc.reset();  // its fakes go before the next disc's come
        disc = std::make_unique<TempDisc>();
        lines.insert(lines.end(), {"GAME_NAME=" + gameName, "REG_NAME=" + key.name(), "COPYFILE_000=GAME.EXE"});
        disc->writeSetupFile(lines);
        copyText(programState.descriptionPath, disc->setupFilePath().c_str());
    }

    // Installs: a folder on the disc holding GAME.EXE, recorded in the key.
    std::string install(const std::string& name = "Installed") {
        disc->makeFolder(name);
        disc->writeFile(name + "\\GAME.EXE", "MZ");
        record(disc->path(name));
        return disc->path(name);
    }
    void record(const std::string& dir) { key.setValue("InstallFolder", REG_SZ, dir.c_str(), DWORD(dir.size()) + 1); }

    INT_PTR runLauncher() {
        return DialogBoxA(programState.instance, MAKEINTRESOURCEA(kDialogLauncher), backdrop, launcherDialogProc);
    }
    static std::string windowTitle(HWND window) { return DialogDriver::text(window, 0); }

    HWND backdrop = nullptr;
    TempRegistryKey key;
    std::unique_ptr<TempDisc> disc;
    MessageBoxRecorder boxes;
};
