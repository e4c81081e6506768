#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "tests/launcherfixture.h"
#include "uninstall/uninstall.h"

namespace {

const std::string kU2 = "セーブファイルを削除しますか？", kU4 = "アンインストールしました。";
const std::string kU3 = "インストールフォルダ内の全てのファイルを削除できませんでした\n"
                        "残っているファイルの削除はエクスプローラなどから手作業で削除してください";

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UninstallTest : public LauncherTest {
protected:
    void TearDown() override {
        for (size_t i = 9; i < paths.size() && i < 11; ++i) DeleteFileA(paths[i].c_str());  // the Start-menu decoys
        removeFolderTree(links);
        LauncherTest::TearDown();
    }

    // An installed copy by hand, recorded, and decoys; in survivors() order: a
    // listed file and the subfolder that a reset marker closes (a listed file
    // already gone); the shortcut folder, a link and an unrelated file in it;
    // SAVE00.DAT, SAVE99.DAT; an unlisted file and the folder; decoys in the
    // Programs and Start-menu folders and beside the folder (file, folder).
    void layOut(std::vector<std::string> lines) {
        char programs[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
        links = std::string(programs) + "\\" + key.name();  // unique per test
        lines.insert(lines.end(), {"COPYFILE_001=\\B", "COPYFILE_002=B.WAV", "COPYFILE_003=\\",
                                   "COPYFILE_004=GONE.TXT", "SHORTCATDIR_01=" + key.name()});
        writeGame(lines);
        folder = install();
        removeFolderTree(links);
        paths = {folder + "\\GAME.EXE", folder + "\\B\\", links + "\\", links + "\\ゲーム.lnk", links + "\\OTHER.TXT",
                 folder + "\\SAVE00.DAT", folder + "\\SAVE99.DAT", folder + "\\NOTES.TXT", folder + "\\",
                 links + ".TXT", links + "\\..\\..\\" + key.name() + ".TXT", disc->path("DECOY.TXT"),
                 disc->path("DECOYDIR\\"), folder + "\\B\\B.WAV"};
        for (const std::string& path : paths) {  // folders end in "\"
            const bool made = path.back() == '\\' ? CreateDirectoryA(path.c_str(), nullptr)
                                                  : CopyFileA(disc->setupFilePath().c_str(), path.c_str(), TRUE);
            ASSERT_TRUE(made || exists(path)) << path;
        }
        ASSERT_TRUE(checkInstalledCopy());
    }
    std::string survivors() const {
        std::string row;
        for (size_t i = 0; i < 13; ++i) row += exists(paths[i]) ? '1' : '0';
        return row;
    }
    // Runs the uninstall dialog over the backdrop and presses button in it
    // (0: the dialog must end by itself).
    INT_PTR runUninstall(int button) {
        DialogDriver driver;
        if (button != 0) driver.when(kUninstallFolderText, [=](HWND dialog) { DialogDriver::press(dialog, button); });
        return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(kDialogUninstall), backdrop,
                               uninstallDialogProc, 0);
    }

    std::string links, folder;
    std::vector<std::string> paths;
};

TEST_F(UninstallTest, FromTheLauncherRemovesWhatTheInstallMadeAndNothingElse) {
    // answer: to the save-file question, 0 to cancel the uninstall dialog; row: survivors().
    struct Case { const char* what; std::vector<std::string> lines; int answer; bool unlisted, linkSubfolder;
                  const char* row; std::vector<std::string> texts; };
    const std::vector<std::string> outward = {"COPYFILE_005=..\\DECOY.TXT", "COPYFILE_006=\\..\\DECOYDIR",
                                              "COPYFILE_007=\\"};
    const std::string kept = "00" "111" "00" "00" "1111";  // the shortcut folder untouched
    for (const Case& c : {Case{"cancel", {}, 0, true, false, "11" "111" "11" "11" "1111", {}},
                          Case{"no", {}, IDNO, true, false, "00" "000" "11" "11" "1111", {kU2, kU4}},
                          Case{"yes", {}, IDYES, false, false, "00" "000" "00" "00" "1111", {kU2, kU4}},
                          Case{"yes, unlisted left", {}, IDYES, true, false, "00" "000" "00" "11" "1111", {kU2, kU3, kU4}},
                          Case{"link subfolder", {}, IDYES, false, true, "00" "100" "00" "00" "1111", {kU2, kU4}},
                          Case{"no link folder", {"SHORTCATDIR_01=NoData"}, IDYES, false, false, kept.c_str(), {kU2, kU4}},
                          Case{"empty link folder", {"SHORTCATDIR_01="}, IDYES, false, false, kept.c_str(), {kU2, kU4}},
                          Case{"link folder ..", {"SHORTCATDIR_01=.."}, IDYES, false, false, kept.c_str(), {kU2, kU4}},
                          Case{"outward entries", outward, IDYES, false, false, "00" "000" "00" "00" "1111", {kU2, kU4}}}) {
        layOut(c.lines);
        if (!c.unlisted) DeleteFileA(paths[7].c_str());
        if (c.linkSubfolder) CreateDirectoryA((links + "\\SUB").c_str(), nullptr);
        if (c.answer != 0) boxes.answer({c.answer});
        const size_t before = boxes.shown().size();
        HWND launcher = nullptr, uninstall = nullptr;
        DialogDriver driver;
        driver.when(kStatusText, [&](HWND dialog) { DialogDriver::press(launcher = dialog, kButtonInstallUninstall); })
            .when(kUninstallFolderText, [&](HWND dialog) {
                POINT origin = {0, 0}, launcherOrigin = {0, 0};
                ClientToScreen(uninstall = dialog, &origin);
                ClientToScreen(launcher, &launcherOrigin);
                EXPECT_TRUE(origin.x == launcherOrigin.x && origin.y == launcherOrigin.y);
                EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
                EXPECT_TRUE(sameText(DialogDriver::text(dialog, kUninstallFolderText), folder));
                DialogDriver::press(dialog, c.answer == 0 ? IDCANCEL : IDOK);
            })
            .when(kStatusText, [&](HWND dialog) {
                EXPECT_EQ(programState.installedMode, c.answer == 0 ? 1 : 0) << c.what;
                DialogDriver::press(dialog, IDCANCEL);
            });
        runLauncher();
        EXPECT_EQ(survivors(), c.row) << c.what;
        EXPECT_EQ(key.exists(), c.answer == 0) << c.what;
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size(), before + c.texts.size()) << c.what;
        for (size_t i = 0; i < c.texts.size(); ++i) EXPECT_TRUE(sameText(shown[before + i].text, c.texts[i])) << c.what;
        if (c.texts.empty()) continue;
        EXPECT_TRUE(isMessageBox(shown[before], uninstall, kU2, "確認", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
        EXPECT_TRUE(isMessageBox(shown.back(), uninstall, kU4, "サンプル", MB_OK));
    }
}

TEST_F(UninstallTest, PathsThatDoNotFitAreSkippedNotCut) {
    // A 249-byte folder: "\SAVE00.DAT" and "\LISTED.TXT" make 260 bytes
    // without the terminator; cut to fit they would name these decoys.
    writeGame({"COPYFILE_001=LISTED.TXT"});
    const std::string name(248 - disc->folder().size(), 'L');
    folder = install(name);
    for (const char* decoy : {"\\SAVE00.DA", "\\LISTED.TX"}) disc->writeFile(name + decoy, "x");
    ASSERT_TRUE(checkInstalledCopy());
    EXPECT_EQ(runUninstall(IDOK), 0);
    EXPECT_FALSE(exists(folder + "\\GAME.EXE"));
    EXPECT_TRUE(exists(folder + "\\SAVE00.DA") && exists(folder + "\\LISTED.TX"));
}

TEST_F(UninstallTest, UnreadableOrNoLongerSafeRecordRemovesNothing) {
    for (bool deleted : {true, false}) {
        layOut({});
        std::unique_ptr<FakeWindowsDirectory> windows;
        if (deleted) ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, key.subKey().c_str()), ERROR_SUCCESS);
        else windows = std::make_unique<FakeWindowsDirectory>(disc->folder());  // the folder now lies below it
        EXPECT_EQ(runUninstall(0), -1);
        EXPECT_EQ(survivors(), "11" "111" "11" "11" "1111");
        EXPECT_EQ(key.exists(), !deleted);
        EXPECT_TRUE(sameText(boxes.shown().back().text, "正しくインストールが行われていません。"));
    }
    EXPECT_EQ(boxes.shown().size(), 2u);
}

}  // namespace
