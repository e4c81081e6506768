#include "tests/launcherfixture.h"

namespace {

TEST_F(LauncherTest, InitialisationFailsWithoutAGameName) {
    writeGame({"GAME_NAME=NoData"});  // what a missing key reads as
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_TRUE(sameText(windowTitle(backdrop), "SETUP"));
    const std::vector<RecordedMessageBox> shown = boxes.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].owner != nullptr && shown[0].owner != backdrop);  // the launcher, never shown
    EXPECT_TRUE(isMessageBox(shown[0], shown[0].owner, "初期化に失敗しました", "SETUP", MB_OK));
}

TEST_F(LauncherTest, BothModesCutLongGameNamesAndPlaceTheFocus) {
    // 120 times ャ (83 83), whose trail byte is a lead byte too: the status
    // texts cut the name at a character boundary.
    const std::string name(240, '\x83');
    for (bool installed : {false, true}) {
        writeGame({}, name);
        if (installed) install();
        DialogDriver driver;
        driver.when(kStatusText, [&](HWND dialog) {
            EXPECT_TRUE(sameText(windowTitle(backdrop), name));
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, kStatusText),
                                 installed ? name.substr(0, 214) + "の実行および\r\nアンインストールを行います"
                                           : name.substr(0, 230) + "のインストールを行います"));
            // At start the dialog manager gives the focus to the first visible
            // tab stop: the run button, or cancel while that is hidden. Checked
            // again once shown (after a child dialog), the other mode moves it
            // to its first button.
            EXPECT_EQ(DialogDriver::focusedControl(dialog), installed ? kButtonRun : IDCANCEL);
            if (installed) RegDeleteKeyValueA(HKEY_CURRENT_USER, key.subKey().c_str(), "InstallFolder");
            else install();
            selectLauncherMode(dialog);
            EXPECT_EQ(DialogDriver::focusedControl(dialog), installed ? kButtonInstallUninstall : kButtonRun);
            // A press on the client area turns into a drag of the caption.
            SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
            MSG drag;
            EXPECT_TRUE(PeekMessageA(&drag, dialog, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
            EXPECT_EQ(drag.wParam, static_cast<WPARAM>(HTCAPTION));
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
        EXPECT_EQ(runLauncher(), 0);
        EXPECT_TRUE(driver.finished());
    }
}

DWORD WINAPI readOnlyAttributes(LPCSTR) { return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY; }

TEST_F(LauncherTest, InstalledCopyCheckWarnsOfAnUnsafeFolderAndOtherwiseFallsBackSilently) {
    const std::string longEntry = "COPYFILE_000=" + std::string(255, 'L');
    // REG_NAME missing first: a key path once formed stays.
    for (const char* line : {"REG_NAME=NoData", "COPYFILE_000=NoData", longEntry.c_str(), "COPYFILE_000=MISSING.EXE"}) {
        writeGame({line});
        install();
        EXPECT_FALSE(checkInstalledCopy()) << line;
    }

    // The installed copy's rule refuses read-only folders too; a folder that is
    // gone is refused before the first file's path is even looked at.
    writeGame();
    install();
    {
        ImportPatch readOnly("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(readOnlyAttributes));
        EXPECT_FALSE(checkInstalledCopy());
    }
    writeGame({longEntry});
    record(disc->path("Gone"));
    EXPECT_FALSE(checkInstalledCopy());
    ASSERT_EQ(boxes.shown().size(), 2u);  // none from the silent cases
    EXPECT_TRUE(isMessageBox(boxes.shown()[1], nullptr, "プログラムが想定外のフォルダで実行された形跡があります。\n"
                             "安全の為にインストールされたプログラムのアンインストールはしません。",
                             "注意", MB_OK | MB_ICONEXCLAMATION));
}

}  // namespace
