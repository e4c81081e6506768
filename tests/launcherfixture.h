// The backdrop window and a launcher run for the tests of the launcher shell.
// The backdrop is made once per test process by the program's own code (its
// window class can be registered only once); every test starts with a white
// back buffer, the title "SETUP" and a fresh program state.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/backdrop.h"
#include "app/launcher.h"
#include "res/resource.h"
#include "app/state.h"
#include "setupdata/text.h"
#include "tests/bench/dialogs.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What the entry made once: the backdrop and its back buffer.
        static ProgramState made = {};
        static HWND window = nullptr;
        if (window == nullptr) {
            resetProgramState();
            programState.instance = GetModuleHandleA(nullptr);
            ASSERT_TRUE(registerBackdropClass());
            window = createBackdropWindow(SW_SHOWNORMAL);
            ASSERT_NE(window, nullptr);
            made.screenWidth = programState.screenWidth;
            made.screenHeight = programState.screenHeight;
            made.backBufferDc = programState.backBufferDc;
            made.backBufferBitmap = programState.backBufferBitmap;
        }
        resetProgramState();
        programState.instance = GetModuleHandleA(nullptr);
        programState.screenWidth = made.screenWidth;
        programState.screenHeight = made.screenHeight;
        programState.backBufferDc = made.backBufferDc;
        programState.backBufferBitmap = made.backBufferBitmap;
        backdrop = window;
        const RECT all = {0, 0, programState.screenWidth, programState.screenHeight};
        FillRect(programState.backBufferDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetWindowTextA(backdrop, "SETUP");
        InvalidateRect(backdrop, nullptr, FALSE);
        UpdateWindow(backdrop);
    }
    void TearDown() override {
        for (void*& splash : programState.splashBitmaps) {
            if (splash != nullptr) GlobalFree(splash);
            splash = nullptr;
        }
    }

    // A new disc with a description file: the extra lines, then GAME_NAME,
    // REG_NAME of the test's key and COPYFILE_000=GAME.EXE. A key that stands
    // twice is read where it stands first, so the extra lines win.
    void writeGame(const std::vector<std::string>& extra = {}, const std::string& gameName = "サンプル") {
        disc.reset();
        disc = std::make_unique<TempDisc>();
        std::vector<std::string> lines = extra;
        lines.insert(lines.end(), {"GAME_NAME=" + gameName, "REG_NAME=" + key.name(), "COPYFILE_000=GAME.EXE"});
        disc->writeSetupFile(lines);
        copyText(programState.descriptionPath, disc->setupFilePath().c_str());
    }

    // Installs: a folder on the disc holding GAME.EXE, recorded in the key.
    std::string install(const std::string& name = "Installed") {
        disc->makeFolder(name);
        disc->writeFile(name + "\\GAME.EXE", "MZ");
        const std::string folder = disc->path(name);
        record(folder);
        return folder;
    }
    void record(const std::string& folder) {
        key.setValue("InstallFolder", REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() + 1));
    }

    INT_PTR runLauncher() {
        return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(kDialogLauncher), backdrop,
                               launcherDialogProc, 0);
    }

    static std::string windowTitle(HWND window) {
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    HWND backdrop = nullptr;
    TempRegistryKey key;
    std::unique_ptr<TempDisc> disc;
    MessageBoxRecorder boxes;
};
