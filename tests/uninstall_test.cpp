#include <gtest/gtest.h>

#include <shlobj.h>

#include <fstream>
#include <iterator>

#include "install/shortcuts.h"
#include "tests/launcherfixture.h"
#include "uninstall/uninstall.h"

namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

using UninstallTest = LauncherTest;

TEST_F(UninstallTest, FromTheLauncherRemovesWhatTheInstallMadeAndNothingElse) {
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    const std::string links = std::string(programs) + "\\" + key.name();  // unique per test
    // Made after the launcher's check; unlisted: a file the copy list does not name in the folder, and another
    // program's in the shortcut folder.
    enum Change { none, unlisted, linkSubfolder, recordDeleted, unsafeNow };
    // linkFolder: SHORTCATDIR_01 ("-": the test's own); button: pressed in the uninstall dialog, 0 when it must not
    // show; answer: to the save-file question; row: whether the record survives, the launcher's mode after, which
    // paths of the layout below survive, and the captions of the boxes shown ("?": a question, no by default).
    struct Case { const char* linkFolder; Change change; int button, answer; const char* row; };
    const char* const kept = "00 " "00" "110" "11" "01" "1111" " 確認? サンプル";  // the shortcut folder stays
    for (const Case& c : {Case{"-", unlisted, IDCANCEL, 0, "11 " "11" "111" "11" "11" "1111"},
                          Case{"-", none, IDOK, IDYES, "00 " "00" "000" "00" "00" "1111" " 確認? サンプル"},
                          Case{"-", unlisted, IDOK, IDYES, "00 " "00" "101" "00" "11" "1111" " 確認? お知らせ サンプル"},
                          Case{"-", linkSubfolder, IDOK, IDNO, "00 " "00" "100" "11" "01" "1111" " 確認? サンプル"},
                          Case{"NoData", none, IDOK, IDNO, kept}, Case{"", none, IDOK, IDNO, kept},
                          Case{"..", none, IDOK, IDNO, kept},
                          Case{"-", recordDeleted, 0, 0, "00 " "11" "110" "11" "01" "1111" " SETUP"},
                          Case{"-", unsafeNow, 0, 0, "10 " "11" "110" "11" "01" "1111" " SETUP 注意"}}) {
        // An installed copy by hand: a listed file, a subfolder that a reset marker closes (the file listed in it
        // already gone), entries reaching outside, save files, and the shortcut folder with group 00's link.
        writeGame({"SHORTCATDIR_00=" + key.name(), "SHORTCATNAME_00=ゲーム", "SHORTCATFILE_00=GAME.EXE",
                   "SHORTCATDIR_01=" + (c.linkFolder[0] == '-' ? key.name() : c.linkFolder), "COPYFILE_001=\\B",
                   "COPYFILE_002=B.WAV", "COPYFILE_003=\\", "COPYFILE_004=..\\DECOY.TXT", "COPYFILE_005=\\..\\DECOYDIR",
                   "COPYFILE_006=\\"});
        const std::string folder = install();
        // In row order: the listed file, the subfolder; the shortcut folder, the link and another file in it; two
        // save files; an unlisted file, the folder; decoys in the Programs and Start-menu folders and beside the
        // folder (file, folder) where the outward entries point.
        const std::vector<std::string> paths = {
            folder + "\\GAME.EXE", folder + "\\B\\", links + "\\", links + "\\ゲーム.lnk", links + "\\OTHER.TXT",
            folder + "\\SAVE00.DAT", folder + "\\SAVE99.DAT", folder + "\\NOTES.TXT", folder + "\\", links + ".TXT",
            links + "\\..\\..\\" + key.name() + ".TXT", disc->path("DECOY.TXT"), disc->path("DECOYDIR\\")};
        for (const std::string& path : paths)  // folders end in "\"
            ASSERT_TRUE(exists(path) || (path.back() == '\\' ? CreateDirectoryA(path.c_str(), nullptr)
                                                             : CopyFileA(disc->setupFilePath().c_str(), path.c_str(), TRUE)));
        if (c.change != unlisted) for (size_t i : {4, 7}) DeleteFileA(paths[i].c_str());
        if (c.change == linkSubfolder) CreateDirectoryA((links + "\\SUB").c_str(), nullptr);
        if (c.answer != 0) boxes.answer({c.answer});
        const size_t before = boxes.shown().size();
        HWND launcher = nullptr;
        DialogDriver driver;
        driver.when(kStatusText, [&](HWND dialog) {
            if (c.change == recordDeleted) RegDeleteKeyA(HKEY_CURRENT_USER, key.subKey().c_str());
            if (c.change == unsafeNow) record("C:\\windows\\Game");  // below the Windows folder
            DialogDriver::press(launcher = dialog, kButtonInstallUninstall);
        });
        if (c.button != 0) driver.when(kUninstallFolderText, [&](HWND dialog) {
            // The template's position: its client area at the launcher's client origin.
            EXPECT_EQ(MapWindowPoints(dialog, launcher, nullptr, 0), 0);
            EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
            EXPECT_EQ(DialogDriver::focusedControl(dialog), IDCANCEL);  // Enter must not uninstall
            DialogDriver::press(dialog, c.button);
        });
        driver.when(kStatusText, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
        runDialog();
        std::string row = std::string(key.exists() ? "1" : "0") + (programState.installedMode == 1 ? "1 " : "0 ");
        for (const std::string& path : paths) row += exists(path) ? '1' : '0';
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        for (size_t i = before; i < shown.size(); ++i)
            row += " " + shown[i].caption + (shown[i].flags == (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ? "?" : "");
        EXPECT_EQ(row, c.row) << c.linkFolder << " " << c.change << " " << c.button;
        for (const std::string& decoy : {paths[9], paths[10]}) DeleteFileA(decoy.c_str());
        removeFolderTree(links);
    }
}

std::string readAll(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// Install and uninstall of groups 00 and 01, which the rule refuses, and 02 below them.
TEST_F(UninstallTest, RefusedShortcutGroupsTouchNothingInProgramsAndTheNextGroupIsStillMade) {
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    const std::string name = key.name(), links = std::string(programs) + "\\" + name;
    const std::string decoy = links + ".lnk";  // another program's link, where the refused groups point
    const struct { std::string folder, link; } cases[] = {
        {".", name}, {"\\", name}, {".\\", name}, {"/", name}, {"", name}, {name, "..\\" + name}};
    for (const auto& c : cases) {
        writeGame({"SHORTCATDIR_00=" + c.folder, "SHORTCATNAME_00=" + c.link, "SHORTCATFILE_00=GAME.EXE",
                   "SHORTCATDIR_01=" + c.folder, "SHORTCATNAME_01=" + c.link, "SHORTCATFILE_01=GAME.EXE",
                   "SHORTCATDIR_02=" + name, "SHORTCATNAME_02=Next", "SHORTCATFILE_02=GAME.EXE"});
        std::ofstream(decoy, std::ios::binary) << "decoy";
        const std::string folder = install();
        copyText(programState.installFolder, folder.c_str());
        makeStartMenuShortcuts(nullptr);
        EXPECT_TRUE(readAll(decoy) == "decoy" && exists(links + "\\Next.lnk")) << c.folder << " " << c.link;
        // The uninstaller skips a refused SHORTCATDIR_01; a good one loses group 02's link, and the folder.
        removeInstalledCopy(backdrop, folder.c_str());
        EXPECT_EQ(readAll(decoy), "decoy") << c.folder << " " << c.link;
        EXPECT_EQ(exists(links + "\\Next.lnk"), c.folder != name) << c.folder << " " << c.link;
        DeleteFileA(decoy.c_str());
        removeFolderTree(links);
    }
}

TEST_F(UninstallTest, PathsThatDoNotFitAreSkippedNotCut) {
    // A 249-byte folder: "\SAVE00.DAT" and "\LISTED.TXT" make 260 bytes
    // without the terminator; cut to fit they would name these decoys.
    writeGame({"COPYFILE_001=LISTED.TXT"});
    const std::string name(248 - disc->folder().size(), 'L'), folder = install(name);
    for (const char* decoy : {"\\SAVE00.DA", "\\LISTED.TX"}) disc->writeFile(name + decoy, "x");
    removeInstalledCopy(backdrop, folder.c_str());  // and yes to the save files
    EXPECT_TRUE(!exists(folder + "\\GAME.EXE") && exists(folder + "\\SAVE00.DA") && exists(folder + "\\LISTED.TX"));
}

}  // namespace
