#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupdata/setupfile.h"
#include "tests/bench/fakes.h"
#include "tests/launcherfixture.h"

namespace {

const std::string kUnsafeFolderText =
    "プログラムが想定外のフォルダで実行された形跡があります。\n"
    "安全の為にインストールされたプログラムのアンインストールはしません。";

TEST_F(LauncherTest, InitialisationFailsWithoutAGameName) {
    for (const std::string& line : {std::string("EXE_NAME=GAME.EXE"), std::string("GAME_NAME=NoData")}) {
        disc.reset();
        disc = std::make_unique<TempDisc>();
        disc->writeSetupFile({line});
        disc->writeSplash(0, makeBitmapFile(4, 4, RGB(255, 0, 0)));
        DialogDriver driver;
        EXPECT_EQ(runLauncher(), 0);
        EXPECT_TRUE(sameText(windowTitle(backdrop), "SETUP"));
        EXPECT_EQ(programState.splashBitmaps[0], nullptr);  // not even looked for
    }
    const std::vector<RecordedMessageBox> shown = boxes.shown();
    ASSERT_EQ(shown.size(), 2u);
    for (const RecordedMessageBox& box : shown) {
        EXPECT_NE(box.owner, nullptr);  // the launcher dialog, never shown
        EXPECT_NE(box.owner, backdrop);
        EXPECT_TRUE(sameText(box.text, "初期化に失敗しました"));
        EXPECT_TRUE(sameText(box.caption, "SETUP"));
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK));
    }
}

TEST_F(LauncherTest, InstallModeWithoutAnInstalledCopy) {
    writeGame();
    DialogDriver driver;
    driver.when(kStatusText, [&](HWND dialog) {
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, 0), "サンプル"));
        EXPECT_TRUE(sameText(windowTitle(backdrop), "サンプル"));
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kStatusText), "サンプルのインストールを行います"));
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kButtonInstallUninstall), "インストール"));
        EXPECT_TRUE(DialogDriver::visible(dialog, kButtonInstallUninstall));
        EXPECT_FALSE(DialogDriver::visible(dialog, kButtonRun));
        EXPECT_TRUE(DialogDriver::visible(dialog, IDCANCEL));
        // At start the dialog manager gives the focus to the first visible tab
        // stop, which is the cancel button while the run button is hidden.
        EXPECT_EQ(DialogDriver::focusedControl(dialog), IDCANCEL);
        EXPECT_EQ(programState.installedMode, 0);

        // A press on the client area turns into a drag of the caption.
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        MSG drag;
        EXPECT_TRUE(PeekMessageA(&drag, dialog, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
        EXPECT_EQ(drag.wParam, static_cast<WPARAM>(HTCAPTION));
        DialogDriver::press(dialog, IDCANCEL);
    });
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_TRUE(driver.finished());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LauncherTest, RunUninstallModeWithAValidInstalledCopyEndsOnEscape) {
    writeGame();
    install();
    DialogDriver driver;
    driver.when(kStatusText, [&](HWND dialog) {
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kStatusText),
                             "サンプルの実行および\r\nアンインストールを行います"));
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kButtonInstallUninstall), "ｱﾝｲﾝｽﾄｰﾙ"));
        EXPECT_TRUE(DialogDriver::visible(dialog, kButtonInstallUninstall));
        EXPECT_TRUE(DialogDriver::visible(dialog, kButtonRun));
        EXPECT_EQ(DialogDriver::focusedControl(dialog), kButtonRun);
        EXPECT_EQ(programState.installedMode, 1);
        EXPECT_EQ(std::string(programState.registrySubKey), key.subKey());
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_TRUE(driver.finished());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LauncherTest, ModeSelectionFollowsTheCheckAndMovesTheFocus) {
    writeGame();
    const std::string folder = install();
    DialogDriver driver;
    driver.when(kStatusText, [&](HWND dialog) {
        EXPECT_EQ(programState.installedMode, 1);
        ASSERT_TRUE(DeleteFileA((folder + "\\GAME.EXE").c_str()));
        selectLauncherMode(dialog);
        EXPECT_EQ(programState.installedMode, 0);
        EXPECT_FALSE(DialogDriver::visible(dialog, kButtonRun));
        EXPECT_EQ(DialogDriver::focusedControl(dialog), kButtonInstallUninstall);

        disc->writeFile("Installed\\GAME.EXE", "MZ");
        selectLauncherMode(dialog);
        EXPECT_EQ(programState.installedMode, 1);
        EXPECT_TRUE(DialogDriver::visible(dialog, kButtonRun));
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kButtonInstallUninstall), "ｱﾝｲﾝｽﾄｰﾙ"));
        EXPECT_EQ(DialogDriver::focusedControl(dialog), kButtonRun);
        DialogDriver::press(dialog, IDCANCEL);
    });
    runLauncher();
    EXPECT_TRUE(driver.finished());
}

TEST_F(LauncherTest, LongGameNamesAreCutAtACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 120; ++i) name += "ア";  // 240 bytes
    auto repeat = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "ア";
        return text;
    };
    // 255 bytes with the terminator's room: 231 (install) and 215 (run) bytes of name.
    for (bool installed : {false, true}) {
        writeGame({}, name);
        if (installed) install();
        DialogDriver driver;
        driver.when(kStatusText, [&](HWND dialog) {
            const std::string expected = installed ? repeat(107) + "の実行および\r\nアンインストールを行います"
                                                   : repeat(115) + "のインストールを行います";
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, kStatusText), expected));
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, 0), name));
            DialogDriver::press(dialog, IDCANCEL);
        });
        runLauncher();
    }
}

TEST_F(LauncherTest, InstalledCopyCheckFallsBackSilently) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
    };
    const std::string longEntry = "COPYFILE_000=" + std::string(255, 'L');
    for (const Case& c : {Case{"no record", {}}, Case{"no REG_NAME", {"REG_NAME=NoData"}},
                          Case{"no first entry", {"COPYFILE_000=NoData"}},
                          Case{"first entry is a folder", {"COPYFILE_000=\\SUB"}},
                          Case{"first file path does not fit", {longEntry}},
                          Case{"first file missing", {"COPYFILE_000=MISSING.EXE"}}}) {
        writeGame(c.lines);
        if (std::string(c.what) != "no record") {
            install();
            disc->makeFolder("Installed\\SUB");
        }
        programState.registrySubKey[0] = '\0';
        EXPECT_FALSE(checkInstalledCopy()) << c.what;
    }
    // A first file that another program holds open exclusively.
    writeGame();
    const std::string folder = install();
    HANDLE held = CreateFileA((folder + "\\GAME.EXE").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(checkInstalledCopy());
    CloseHandle(held);
    EXPECT_TRUE(checkInstalledCopy());
    EXPECT_TRUE(boxes.shown().empty());
}

DWORD WINAPI readOnlyAttributes(LPCSTR) { return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY; }

TEST_F(LauncherTest, UnsafeRecordedFolderWarnsAndFallsBackToInstallMode) {
    writeGame();
    const std::string folder = install();
    {
        FakeWindowsDirectory windows(disc->folder());
        EXPECT_FALSE(checkInstalledCopy());
    }
    {
        FakeDriveTypes cdrom({{folder[0], DRIVE_CDROM}});
        EXPECT_FALSE(checkInstalledCopy());
    }
    {
        ImportPatch readOnly("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(readOnlyAttributes));
        EXPECT_FALSE(checkInstalledCopy());
    }
    record(disc->path("Deleted"));  // a folder that no longer exists
    EXPECT_FALSE(checkInstalledCopy());

    const std::vector<RecordedMessageBox> shown = boxes.shown();
    ASSERT_EQ(shown.size(), 4u);
    for (const RecordedMessageBox& box : shown) {
        EXPECT_TRUE(isMessageBox(box, nullptr, kUnsafeFolderText, "注意", MB_OK | MB_ICONEXCLAMATION));
    }

    // In the dialog: the warning comes before the launcher, which is in install mode.
    DialogDriver driver;
    driver.when(kStatusText, [&](HWND dialog) {
        EXPECT_EQ(boxes.shown().size(), 5u);
        EXPECT_EQ(programState.installedMode, 0);
        EXPECT_FALSE(DialogDriver::visible(dialog, kButtonRun));
        DialogDriver::press(dialog, IDCANCEL);
    });
    runLauncher();
    EXPECT_TRUE(driver.finished());
}

}  // namespace
