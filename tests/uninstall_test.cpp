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
        for (const std::string& decoy : startMenuDecoys()) DeleteFileA(decoy.c_str());
        removeFolderTree(links);
        LauncherTest::TearDown();
    }

    // An installed copy by hand: a listed file, a listed file in a subfolder
    // that a reset marker closes, a listed file already gone, save files and
    // an unlisted file (with a folder of folderLength bytes, an unlisted file
    // named like a save path cut to fit); the shortcut folder with a link and
    // an unrelated file; decoys outside both; the record.
    void layOut(std::vector<std::string> lines, size_t folderLength = 0) {
        char programs[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
        links = std::string(programs) + "\\" + key.name();  // unique per test
        lines.insert(lines.end(), {"COPYFILE_001=\\B", "COPYFILE_002=B.WAV", "COPYFILE_003=\\",
                                   "COPYFILE_004=GONE.TXT", "SHORTCATDIR_01=" + key.name()});
        writeGame(lines);
        folder = install(folderLength == 0 ? "Installed" : std::string(folderLength - disc->folder().size() - 1, 'L'));
        unlisted = folder + (folderLength == 0 ? "\\NOTES.TXT" : "\\SAVE00.DA");
        removeFolderTree(links);
        for (const std::string& made : {folder + "\\B", links, disc->path("DECOYDIR")})
            ASSERT_TRUE(CreateDirectoryA(made.c_str(), nullptr)) << made;
        std::vector<std::string> files = {folder + "\\B\\B.WAV", unlisted, links + "\\ゲーム.lnk", links + "\\OTHER.TXT",
                                          disc->path("DECOY.TXT"), startMenuDecoys()[0], startMenuDecoys()[1]};
        if (folderLength == 0) files.insert(files.end(), {folder + "\\SAVE00.DAT", folder + "\\SAVE99.DAT"});
        for (const std::string& file : files)
            ASSERT_TRUE(CopyFileA(disc->setupFilePath().c_str(), file.c_str(), FALSE)) << file;
        ASSERT_TRUE(checkInstalledCopy());
    }
    // What an empty shortcut folder name and ".." would reach.
    std::vector<std::string> startMenuDecoys() const { return {links + ".TXT", links + "\\..\\..\\DECOY.TXT"}; }

    // Which of these exist, 1 or 0 each: listed file and subfolder; link,
    // unrelated file and shortcut folder; SAVE00.DAT and SAVE99.DAT; unlisted
    // file and folder; the decoys in Programs, in the Start menu and beside
    // the folder (a file and an empty folder).
    std::string survivors() const {
        std::string row;
        for (const std::string& path :
             {folder + "\\GAME.EXE", folder + "\\B", links + "\\ゲーム.lnk", links + "\\OTHER.TXT", links,
              folder + "\\SAVE00.DAT", folder + "\\SAVE99.DAT", unlisted, folder, startMenuDecoys()[0],
              startMenuDecoys()[1], disc->path("DECOY.TXT"), disc->path("DECOYDIR")})
            row += exists(path) ? '1' : '0';
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

    std::string links, folder, unlisted;
};

TEST_F(UninstallTest, FromTheLauncherCancelKeepsAllAndNoKeepsSavesAndUnlistedFiles) {
    layOut({});
    boxes.answer({IDNO});
    HWND launcher = nullptr, uninstall = nullptr;
    auto pressUninstall = [&](HWND dialog) {
        launcher = dialog;
        EXPECT_EQ(programState.installedMode, 1);
        DialogDriver::press(dialog, kButtonInstallUninstall);
    };
    DialogDriver driver;
    driver.when(kStatusText, pressUninstall)
        .when(kUninstallFolderText, [&](HWND dialog) {
            POINT origin = {0, 0}, launcherOrigin = {0, 0};
            ClientToScreen(dialog, &origin);
            ClientToScreen(launcher, &launcherOrigin);
            EXPECT_TRUE(origin.x == launcherOrigin.x && origin.y == launcherOrigin.y);
            EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, kUninstallFolderText), folder));
            DialogDriver::press(dialog, IDCANCEL);
        })
        .when(kStatusText, [&](HWND dialog) {
            EXPECT_EQ(survivors(), "11" "111" "11" "11" "1111");
            pressUninstall(dialog);
        })
        .when(kUninstallFolderText, [&](HWND dialog) {
            uninstall = dialog;
            DialogDriver::press(dialog, IDOK);
        })
        .when(kStatusText, [&](HWND dialog) {
            EXPECT_EQ(programState.installedMode, 0);
            DialogDriver::press(dialog, IDCANCEL);
        });
    runLauncher();
    EXPECT_EQ(survivors(), "00" "000" "11" "11" "1111");
    EXPECT_FALSE(key.exists());
    const std::vector<RecordedMessageBox> shown = boxes.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(isMessageBox(shown[0], uninstall, kU2, "確認", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    EXPECT_TRUE(isMessageBox(shown[1], uninstall, kU4, "サンプル", MB_OK));
}

TEST_F(UninstallTest, YesRemovesWhatTheInstallMadeAndNothingElse) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        bool unlistedFile, linkSubfolder;
        size_t folderLength;
        const char* survivors;
    };
    const std::vector<std::string> outward = {"COPYFILE_005=..\\DECOY.TXT", "COPYFILE_006=\\..\\DECOYDIR",
                                              "COPYFILE_007=\\"};
    for (const Case& c : {Case{"nothing left", {}, false, false, 0, "00" "000" "00" "00" "1111"},
                          Case{"unlisted file left", {}, true, false, 0, "00" "000" "00" "11" "1111"},
                          Case{"no shortcut folder", {"SHORTCATDIR_01=NoData"}, false, false, 0, "00" "111" "00" "00" "1111"},
                          Case{"empty shortcut folder", {"SHORTCATDIR_01="}, false, false, 0, "00" "111" "00" "00" "1111"},
                          Case{"shortcut folder ..", {"SHORTCATDIR_01=.."}, false, false, 0, "00" "111" "00" "00" "1111"},
                          Case{"shortcut subfolder", {}, false, true, 0, "00" "001" "00" "00" "1111"},
                          Case{"entries leading outside", outward, false, false, 0, "00" "000" "00" "00" "1111"},
                          Case{"save path too long", {}, true, false, 249, "00" "000" "00" "11" "1111"}}) {
        layOut(c.lines, c.folderLength);
        if (!c.unlistedFile) DeleteFileA(unlisted.c_str());
        if (c.linkSubfolder) CreateDirectoryA((links + "\\SUB").c_str(), nullptr);
        const size_t before = boxes.shown().size();
        EXPECT_EQ(runUninstall(IDOK), 0) << c.what;
        EXPECT_EQ(survivors(), c.survivors) << c.what;
        EXPECT_FALSE(key.exists()) << c.what;
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size(), before + (c.unlistedFile ? 3 : 2)) << c.what;
        if (c.unlistedFile) {
            EXPECT_TRUE(isMessageBox(shown[before + 1], shown[before].owner, kU3, "お知らせ", MB_OK)) << c.what;
        }
    }
}

TEST_F(UninstallTest, ALastResetMarkerRemovesAnEmptiedFolderBeforeTheSaveQuestion) {
    layOut({"COPYFILE_005=\\"});
    for (const std::string& file : {unlisted, folder + "\\SAVE00.DAT", folder + "\\SAVE99.DAT"}) DeleteFileA(file.c_str());
    EXPECT_EQ(runUninstall(IDOK), 0);
    EXPECT_EQ(survivors(), "00" "000" "00" "00" "1111");
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_TRUE(sameText(boxes.shown()[1].text, kU3));  // the folder was already gone
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
        const RecordedMessageBox box = boxes.shown().back();
        EXPECT_TRUE(isMessageBox(box, box.owner, "正しくインストールが行われていません。", "SETUP", MB_OK));
    }
    EXPECT_EQ(boxes.shown().size(), 2u);
}

}  // namespace
