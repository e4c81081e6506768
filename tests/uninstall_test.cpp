#include "uninstall/uninstall.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "install/shortcuts.h"
#include "tests/launcherfixture.h"

#include <gtest/gtest.h>

namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

using UninstallTest = LauncherTest;

TEST_F(UninstallTest, FromTheLauncherRemovesWhatTheInstallMadeAndNothingElse) {
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    const std::string links = std::string(programs) + "\\" + key.name();  // unique per test
    // linkSubfolder: a folder of the user's own in the shortcut folder; subfolderLinked: the installed subfolder is a
    // link to another folder holding the listed file's name; recordLinked: the record names a link to the copy.
    enum Change { none, unlisted, linkSubfolder, recordDeleted, unsafeNow, subfolderLinked, recordLinked };
    // linkFolder: SHORTCATDIR_01 ("-": the test's own); button: pressed in the uninstall dialog, 0 when it must not
    // show; answer: to the save-file question; survivors: what of the installed copy is left, by the names below;
    // boxes: the captions of the boxes shown ("?": a question, no by default).
    struct Case {
        const char* linkFolder;
        Change change;
        int button, answer;
        bool recordKept, runMode;
        const char* survivors;
        const char* boxes;
    };
    const char* const kept = "links link save00 save99 folder";  // the shortcut folder stays
    for (const Case& c :
         {Case{"-", unlisted, IDCANCEL, 0, true, true, "game sub links link other save00 save99 notes folder", ""},
          Case{"-", none, IDOK, IDYES, false, false, "", " 確認? サンプル"},
          Case{"-", unlisted, IDOK, IDYES, false, false, "links other notes folder", " 確認? お知らせ サンプル"},
          Case{"-", linkSubfolder, IDOK, IDNO, false, false, "links save00 save99 folder", " 確認? サンプル"},
          Case{"NoData", none, IDOK, IDNO, false, false, kept, " 確認? サンプル"},
          Case{"", none, IDOK, IDNO, false, false, kept, " 確認? サンプル"},
          Case{"..", none, IDOK, IDNO, false, false, kept, " 確認? サンプル"},
          Case{"-", recordDeleted, 0, 0, false, false, "game sub links link save00 save99 folder", " SETUP"},
          Case{"-", unsafeNow, 0, 0, true, false, "game sub links link save00 save99 folder", " SETUP 注意"},
          Case{"-", recordLinked, 0, 0, true, false, "game sub links link save00 save99 folder", " SETUP 注意"},
          Case{"-", subfolderLinked, IDOK, IDYES, false, false, "sub folder", " 確認? お知らせ サンプル"}}) {
        // An installed copy by hand: a listed file, a subfolder that a reset marker closes (the file listed in it
        // already gone), entries reaching outside, save files, and the shortcut folder with group 00's link.
        writeGame({"SHORTCATDIR_00=" + key.name(), "SHORTCATNAME_00=ゲーム", "SHORTCATFILE_00=GAME.EXE",
                   "SHORTCATDIR_01=" + (c.linkFolder[0] == '-' ? key.name() : c.linkFolder), "COPYFILE_001=\\B",
                   "COPYFILE_002=B.WAV", "COPYFILE_003=\\", "COPYFILE_004=..\\DECOY.TXT", "COPYFILE_005=\\..\\DECOYDIR",
                   "COPYFILE_006=\\"});
        const std::string folder = install();
        // Folders end in "\". "other" is another program's file in the shortcut folder and "notes" a file the
        // copy list does not name: both stay only with the change "unlisted".
        const std::vector<std::pair<const char*, std::string>> layout = {
            {"game", folder + "\\GAME.EXE"},     {"sub", folder + "\\B\\"},         {"links", links + "\\"},
            {"link", links + "\\ゲーム.lnk"},    {"other", links + "\\OTHER.TXT"},  {"save00", folder + "\\SAVE00.DAT"},
            {"save99", folder + "\\SAVE99.DAT"}, {"notes", folder + "\\NOTES.TXT"}, {"folder", folder + "\\"}};
        // Where the outward entries point, and where a refused SHORTCATDIR would: each must survive.
        const std::vector<std::string> decoys = {links + ".TXT",
                                                 links + "\\..\\..\\" + key.name() + ".TXT",
                                                 disc->path("DECOY.TXT"),
                                                 disc->path("DECOYDIR\\"),
                                                 disc->path("ELSEWHERE\\"),
                                                 disc->path("ELSEWHERE\\B.WAV")};
        std::vector<std::string> paths = decoys;
        for (const auto& named : layout) paths.push_back(named.second);
        for (const std::string& path : paths)
            ASSERT_TRUE(exists(path) ||
                        (path.back() == '\\' ? CreateDirectoryA(path.c_str(), nullptr)
                                             : CopyFileA(disc->setupFilePath().c_str(), path.c_str(), TRUE)));
        if (c.change != unlisted)
            for (const std::string& unlisted : {layout[4].second, layout[7].second}) DeleteFileA(unlisted.c_str());
        if (c.change == linkSubfolder) CreateDirectoryA((links + "\\SUB").c_str(), nullptr);
        std::optional<UnixLink> link;  // goes before the disc
        if (c.change == subfolderLinked) {
            RemoveDirectoryA((folder + "\\B").c_str());
            link.emplace(folder + "\\B", disc->path("ELSEWHERE"));
        } else if (c.change == recordLinked) {
            link.emplace(disc->path("LINKED"), folder);
        }
        if (c.answer != 0) boxes.answer({c.answer});
        const size_t before = boxes.shown().size();
        DialogDriver driver;
        driver.when(IDC_STATUS, [&](HWND dialog) {
            if (c.change == recordDeleted) RegDeleteKeyA(HKEY_CURRENT_USER, key.subKey().c_str());
            if (c.change == unsafeNow) record("C:\\windows\\Game");  // below the Windows folder
            if (c.change == recordLinked) record(disc->path("LINKED"));
            DialogDriver::press(dialog, IDC_INSTALL_UNINSTALL);
        });
        if (c.button != 0)
            driver.when(IDC_UNINSTALL_FOLDER, [&](HWND dialog) {
                EXPECT_EQ(DialogDriver::focusedControl(dialog), IDCANCEL);  // Enter must not uninstall
                DialogDriver::press(dialog, c.button);
            });
        driver.when(IDC_STATUS, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
        runDialog();
        const std::string context = std::string(c.linkFolder) + " change " + std::to_string(c.change);
        EXPECT_EQ(key.exists(), c.recordKept) << context;
        EXPECT_EQ(programState.installedMode == 1, c.runMode) << context;
        std::string survivors, captions;
        for (const auto& named : layout)
            if (exists(named.second)) survivors += (survivors.empty() ? "" : " ") + std::string(named.first);
        EXPECT_EQ(survivors, c.survivors) << context;
        for (const std::string& decoy : decoys) EXPECT_TRUE(exists(decoy)) << decoy << " " << context;
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        for (size_t i = before; i < shown.size(); ++i)
            captions +=
                " " + shown[i].caption + (shown[i].flags == (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ? "?" : "");
        EXPECT_EQ(captions, c.boxes) << context;
        for (const std::string& decoy : {decoys[0], decoys[1]}) DeleteFileA(decoy.c_str());
        removeFolderTree(links);
    }
}

std::string readAll(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// Install and uninstall of groups 00 and 01, which the rule refuses or which lie in another program's folder, and
// 02 below them.
TEST_F(UninstallTest, RefusedShortcutGroupsTouchNothingInProgramsAndTheNextGroupIsStillMade) {
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE));
    const std::string name = key.name(), links = std::string(programs) + "\\" + name, startup = startupShortcutFolder();
    ASSERT_FALSE(startup.empty()) << "no Startup folder below " << programs;
    // decoy: another program's link, where the refused groups point; or, in another program's folder that group
    // 01 names, a link named as group 02's in its own folder.
    const std::string other = std::string(programs) + "\\" + name + "B";
    CreateDirectoryA(other.c_str(), nullptr);
    const struct {
        std::string folder, link, decoy;
    } cases[] = {{".", name, links + ".lnk"},
                 {"\\", name, links + ".lnk"},
                 {".\\", name, links + ".lnk"},
                 {"/", name, links + ".lnk"},
                 {"", name, links + ".lnk"},
                 {name, "..\\" + name, links + ".lnk"},
                 {startup, name, std::string(programs) + "\\" + startup + "\\" + name + ".lnk"},
                 {name + "B", name, other + "\\Next.lnk"}};
    for (const auto& c : cases) {
        writeGame({"SHORTCATDIR_00=" + c.folder, "SHORTCATNAME_00=" + c.link, "SHORTCATFILE_00=GAME.EXE",
                   "SHORTCATDIR_01=" + c.folder, "SHORTCATNAME_01=" + c.link, "SHORTCATFILE_01=GAME.EXE",
                   "SHORTCATDIR_02=" + name, "SHORTCATNAME_02=Next", "SHORTCATFILE_02=GAME.EXE"});
        std::ofstream(c.decoy, std::ios::binary) << "decoy";
        const std::string folder = install();
        copyText(programState.installFolder, folder.c_str());
        makeStartMenuShortcuts(nullptr);
        EXPECT_TRUE(readAll(c.decoy) == "decoy" && exists(links + "\\Next.lnk")) << c.folder << " " << c.link;
        // The uninstaller skips a refused SHORTCATDIR_01; a good one loses group 02's link, and the folder.
        removeInstalledCopy(backdrop, folder.c_str());
        EXPECT_EQ(readAll(c.decoy), "decoy") << c.folder << " " << c.link;
        EXPECT_EQ(exists(links + "\\Next.lnk"), c.folder != name) << c.folder << " " << c.link;
        DeleteFileA(c.decoy.c_str());
        removeFolderTree(links);
    }
    removeFolderTree(other);
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
