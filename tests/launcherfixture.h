// The backdrop window and a launcher run for the tests of the launcher shell.
// Every test gets a fresh program state and a backdrop of its own, made by the
// program's own code (its window class can be registered only once per
// process): white, titled "SETUP". Earlier tests' backdrops stay behind it.
#pragma once

#include "app/backdrop.h"
#include "app/launcher.h"
#include "res/resource.h"
#include "setupdata/text.h"
#include "tests/harness/dialogs.h"
#include "tests/harness/fixtures.h"
#include "tests/harness/messagebox.h"

#include <gtest/gtest.h>

struct LauncherTest : ::testing::Test {
    void SetUp() override {
        resetProgramState();
        programState.instance = GetModuleHandleA(nullptr);
        static const bool registered = registerBackdropClass();
        ASSERT_TRUE(registered && (backdrop = createBackdropWindow(SW_SHOWNORMAL)) != nullptr);
    }

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

    // The launcher unless another dialog is named, owned by the backdrop.
    INT_PTR runDialog(int id = IDD_LAUNCHER, DLGPROC procedure = launcherDialogProc) {
        return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(id), backdrop, procedure, 0);
    }

    HWND backdrop = nullptr;
    TempRegistryKey key;
    std::unique_ptr<TempDisc> disc;
    MessageBoxRecorder boxes;
};
