#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <shlobj.h>

#include "install/copyworker.h"
#include "install/directsound.h"
#include "install/dsetup.h"
#include "install/folderdialog.h"
#include "install/progressdialog.h"
#include "install/shortcuts.h"
#include "tests/launcherfixture.h"

namespace {

constexpr DWORD kChunk = 0x20000;
const std::string kFailed = "ファイルのコピーに失敗しました。インストールを中止します。\n";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The installed runtime's version, as the sample disc's DSETUP.dll reads it.
void setRuntimeVersion(const char* value) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", REG_SZ, value, strlen(value) + 1);
}

// The worker's progress messages. GetProcAddress still gives the real function.
std::vector<WPARAM> progress;
LRESULT WINAPI recordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const auto real = reinterpret_cast<decltype(&SendMessageA)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SendMessageA")));
    if (message == WM_COPY_PROGRESS) progress.push_back(wParam);
    return real(window, message, wParam, lParam);
}
INT WINAPI versionQueryFillingNothing(DWORD*, DWORD*) { return FALSE; }
BOOL WINAPI noProgramsFolder(HWND, LPSTR path, int, BOOL) {
    path[0] = '\0';
    return FALSE;
}

class InstallTest : public LauncherTest {
protected:
    void TearDown() override {
        for (const std::string& folder : madeFolders) removeFolderTree(folder);
        setRuntimeVersion("4.09.00.0904");  // the platform's own
        LauncherTest::TearDown();
    }

    // A disc whose description file has the lines given and lists the entries
    // in order; those that are no markers lie in its DATA folder.
    void writeDisc(const std::vector<std::pair<std::string, std::string>>& entries,
                   std::vector<std::string> lines = {"DXOPTION=1"}) {
        disc.reset();  // its module-path fake goes before the next one comes
        disc = std::make_unique<TempDisc>();
        disc->makeFolder("DATA");
        lines.insert(lines.end(), {"DEFAULT_DIR=" + defaultDir, "COPYDIR=DATA\\"});
        for (size_t i = 0; i < entries.size(); ++i) {
            lines.push_back("COPYFILE_00" + std::to_string(i) + "=" + entries[i].first);
            if (entries[i].first[0] != '\\') disc->writeFile("DATA\\" + entries[i].first, entries[i].second);
        }
        disc->writeSetupFile(lines);
        copyText(programState.descriptionPath, disc->setupFilePath().c_str());
    }
    INT_PTR runDialog(int id, DLGPROC procedure) {
        return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(id), backdrop, procedure, 0);
    }

    std::string defaultDir = key.name();
    std::vector<std::string> madeFolders;
};

TEST_F(InstallTest, FolderDialogTakesOnlyASafeFolderThatFitsAndEndsAtACancelledDiscPrompt) {
    // A browsed folder becomes the parent of the install folder.
    writeDisc({});
    const std::string top = disc->folder() + "\\", tooLong(245 - top.size(), 'L');
    for (const std::string& name : {std::string("Games"), std::string("ソ"), tooLong}) disc->makeFolder(name);
    // The browser finds a folder by path only once each folder on the path
    // has been listed since it last changed.
    WIN32_FIND_DATAA found;
    for (size_t end = top.find('\\'); end != std::string::npos; end = top.find('\\', end + 1))
        FindClose(FindFirstFileA((top.substr(0, end) + "\\*").c_str(), &found));
    Sleep(20);
    const struct { std::string pick, folder; } cases[] = {  // an empty pick cancels the browser
        {"C:\\", "C:\\" + defaultDir},  // a root gets no second backslash
        {top + "Games", top + "Games\\" + defaultDir},
        {top + "ソ", top + "ソ\\" + defaultDir},  // its trail byte is a backslash's
        {"C:\\windows", "C:\\Program Files\\" + defaultDir},  // refused once more when the browser lets it through
        {top + tooLong, "C:\\Program Files\\" + defaultDir},  // would not fit
        {"", "C:\\Program Files\\" + defaultDir},
    };
    for (const auto& c : cases) {
        DialogDriver driver;
        driver.when(kSpaceText, [&](HWND dialog) { DialogDriver::press(dialog, kButtonBrowse); });
        driver.when(0x3741, [&](HWND browser) {  // the browser's tree view
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(c.pick.c_str()));
            PostMessageA(browser, WM_COMMAND, c.pick.empty() ? IDCANCEL : IDOK, 0);
        });
        driver.when(kSpaceText, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, kInstallFolderText), c.folder) << c.pick;
            EXPECT_EQ(programState.installFolder, c.folder);
            DialogDriver::press(dialog, IDCANCEL);
        });
        runDialog(kDialogFolder, folderDialogProc);
    }

    // A default folder that does not fit is left empty.
    defaultDir = std::string(250, 'D');
    writeDisc({{"A.DAT", "a"}});
    DialogDriver driver;
    driver.when(kSpaceText, [&](HWND dialog) {
        EXPECT_EQ(DialogDriver::text(dialog, kInstallFolderText), "");
        // Free space that cannot be told is said so.
        EXPECT_TRUE(sameText(DialogDriver::text(dialog, kSpaceText), "空き容量  不明    必要容量  0 [MB]"));
        DialogDriver::press(dialog, IDOK);  // does nothing without a folder
    });
    driver.when(kSpaceText, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), 0);
    // Cancel in the disc prompt ends the dialog before it is shown.
    DeleteFileA(disc->path("DATA\\A.DAT").c_str());
    boxes.answer({IDCANCEL});
    EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), -1);
    ASSERT_EQ(boxes.shown().size(), 1u);  // the disc prompt, and nothing before it
    EXPECT_TRUE(sameText(boxes.shown()[0].caption, "ディスクの交換"));
}

// A link's target|description|working folder|icon,number|show command.
std::string readLink(const std::string& path) {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    char text[4][MAX_PATH] = {};
    int icon = -1;
    (void)CoInitialize(nullptr);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(std::wstring(path.begin(), path.end()).c_str(), STGM_READ))) {
        link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetDescription(text[1], MAX_PATH);
        link->GetWorkingDirectory(text[2], MAX_PATH);
        link->GetIconLocation(text[3], MAX_PATH, &icon);
    }
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    CoUninitialize();
    // Wine reads every show command back as 1: it is taken from the file.
    return std::string(text[0]) + "|" + text[1] + "|" + text[2] + "|" + text[3] + "," + std::to_string(icon) + "|" +
           std::to_string(*reinterpret_cast<const int*>((readAll(path) + std::string(0x40, '\0')).data() + 0x3C));
}

TEST_F(InstallTest, CopyFinishesWithShortcutsOrSaysWhyItStopped) {
    const char* small = std::getenv("SETUP_TEST_SMALL_DRIVE");  // a drive of 3 MiB, made by the test command
    ASSERT_NE(small, nullptr) << "no small drive: run the tests through scripts/test.sh as root";
    const std::string drive = small, mib(1 << 20, 'm');
    ImportPatch send("user32.dll", "SendMessageA", reinterpret_cast<void*>(recordProgress));
    // A finished copy asks about the runtime, which counts as missing when its
    // version query fills nothing.
    ImportPatch query("DSETUP.dll", kDsetupGetVersionOrdinal, reinterpret_cast<void*>(versionQueryFillingNothing));
    // Cancel pressed while a box is up: during the question the files are copied, and it comes too late.
    boxes.onShow([&](size_t number) { SendMessageA(boxes.shown()[number].owner, WM_COMMAND, IDCANCEL, 0); });
    // Runs the progress dialog, which says in one box of its own how it ended.
    const auto copy = [&](const std::string& target, INT_PTR result, const std::string& text,
                          const std::string& caption = "インストールの中止", UINT flags = MB_OK | MB_ICONEXCLAMATION) {
        copyText(programState.installFolder, (target[1] == ':' ? target : disc->path(target)).c_str());
        const size_t before = boxes.shown().size();
        EXPECT_EQ(runDialog(kDialogProgress, progressDialogProc), result);
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size(), before + 1);  // the runtime question follows a finished copy only
        EXPECT_TRUE(isMessageBox(shown.back(), shown.back().owner, text, caption, flags));
        EXPECT_TRUE(shown.back().owner != nullptr && shown.back().owner != backdrop);  // the progress dialog
    };

    // A file of exactly one chunk and an empty one each end with a read of
    // nothing; markers make and reset a subfolder; an earlier copy's file is
    // replaced. Shortcut groups whose folder is refused or whose link path
    // does not fit are skipped, and the next ones made.
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    const std::string group = key.name(), links = std::string(programs) + "\\" + group;
    madeFolders = {links, links + "2", links + "3", std::string(programs) + "\\..\\" + group};
    // Where links composed from an empty Programs folder would go.
    for (const char* suffix : {"", "2", "3"}) madeFolders.push_back("\\" + group + suffix);
    writeDisc({{"GAME.EXE", "MZ game"}, {"CHUNK.DAT", std::string(kChunk, 'B')}, {"EMPTY.DAT", ""}, {"\\BGM", ""},
               {"T1.WAV", "RIFF"}, {"\\", ""}, {"README.TXT", "read me"}},
              {"DXOPTION=1", "SHORTCATDIR_00=", "SHORTCATNAME_00=A", "SHORTCATFILE_00=A.EXE",
               "SHORTCATDIR_01=..\\" + group, "SHORTCATNAME_01=B", "SHORTCATFILE_01=B.EXE",
               "SHORTCATDIR_02=" + group + "3", "SHORTCATNAME_02=" + std::string(200, 'N'), "SHORTCATFILE_02=C.EXE",
               "SHORTCATDIR_03=" + group + "2", "SHORTCATNAME_03=D", "SHORTCATFILE_03=D.EXE",
               "SHORTCATDIR_04=" + group, "SHORTCATNAME_04=E", "SHORTCATFILE_04=BIN\\E.EXE", "SHORTCATICON_04=E.ICO",
               "SHORTCATICONNUMBER_04=2", "SHORTCATDISCRIPT_04=始めます"});
    const std::string target = disc->path("Target");
    disc->makeFolder("Target");
    disc->writeFile("Target\\README.TXT", "an older readme, longer than the new one");
    copy("Target", 0, "DirectSoundをインストールしますか？", "確認", MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(progress, (std::vector<WPARAM>{7, 7 + kChunk, 7 + kChunk, 7 + kChunk, 11 + kChunk, 18 + kChunk}));
    EXPECT_EQ(readAll(target + "\\BGM\\T1.WAV"), "RIFF");
    EXPECT_EQ(readAll(target + "\\README.TXT"), "read me");
    for (const std::string& skipped : {std::string(programs) + "\\A.lnk", madeFolders[3], links + "3"})
        EXPECT_EQ(GetFileAttributesA(skipped.c_str()), INVALID_FILE_ATTRIBUTES) << skipped;
    // The working folder is the install folder, the icon file lies beside the target.
    EXPECT_TRUE(sameText(readLink(links + "\\E.lnk"),
                         target + "\\BIN\\E.EXE|始めます|" + target + "|" + target + "\\BIN\\E.ICO,2|1"));
    // No icon file: none of its own at first, then the one the shell tells for
    // the existing link when installing again.
    EXPECT_EQ(readLink(links + "2\\D.lnk"), target + "\\D.EXE||" + target + "|,0|1");
    SHFILEINFOA shell = {};
    ASSERT_TRUE(SHGetFileInfoA((links + "2\\D.lnk").c_str(), 0, &shell, sizeof shell, SHGFI_ICONLOCATION) != 0 &&
                shell.szDisplayName[0] != '\0');
    makeStartMenuShortcuts(nullptr);
    EXPECT_EQ(readLink(links + "2\\D.lnk"),
              target + "\\D.EXE||" + target + "|" + shell.szDisplayName + "," + std::to_string(shell.iIcon) + "|1");
    // Without a Programs folder no shortcut is made: not from an empty one either.
    ImportPatch noPrograms("shell32.dll", "SHGetSpecialFolderPathA", reinterpret_cast<void*>(noProgramsFolder));
    makeStartMenuShortcuts(nullptr);
    EXPECT_EQ(GetFileAttributesA(("\\" + group).c_str()), INVALID_FILE_ATTRIBUTES);

    // A failure names the source, the file, the folder or the entry concerned.
    writeDisc({{"A.DAT", mib}, {"\\SUB", ""}});
    HANDLE held = CreateFileA(disc->path("DATA\\A.DAT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    copy("Target", -1, kFailed + disc->path("DATA\\A.DAT"));
    CloseHandle(held);
    // Free space that cannot be told (there is no drive Q:) does not stop the copy of 1 MB.
    copy("Q:\\Target", -1, kFailed + "Q:\\Target\\A.DAT");
    disc->writeFile("Target\\SUB", "a file where the folder should go");
    copy("Target", -1, kFailed + disc->path("Target\\SUB"));
    // An entry reaching outside the install folder is refused before anything is written.
    writeDisc({{"..\\EVIL.DAT", "e"}});
    copy("Outer\\Target", -1, kFailed + "..\\EVIL.DAT");

    // The small drive: 4 MB do not fit into 3; 3.5 MiB pass as 3 MB against 3,
    // and then fill the disk.
    writeDisc({{"BIG.DAT", mib + mib + mib + mib}});
    copy(drive + "\\", -1,
         "インストール先の空き容量が足りません。\nインストールを中止します。\n 必要な容量 : 4 MB\n 現在の容量 : 3 MB",
         "インストール", MB_OK);
    writeDisc({{"BIG.DAT", mib + mib + mib + mib.substr(0, 1 << 19)}});
    madeFolders.push_back(drive + "\\Game");
    copy(drive + "\\Game", -1, kFailed + drive + "\\Game\\BIG.DAT");

    // Cancel pressed before the worker's first chunk: it stops after that chunk.
    writeDisc({{"BIG.DAT", mib}});
    DialogDriver driver;
    driver.when(kProgressBar, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    copy("Target", -1, "キャンセルされました。インストールを中止します。", "インストールの中止", MB_OK);
    EXPECT_EQ(readAll(disc->path("Target\\BIG.DAT")).size(), kChunk);  // what was written stays
}

// With the sample disc's DSETUP.dll, which runs the disc's DXSETUP.EXE: here
// a program of the test's own that writes where it ran.
TEST_F(InstallTest, DirectSoundIsOfferedWhenAskedForAndTheRuntimeIsOld) {
    const struct { const char* option; const char* version; int answer; } cases[] = {  // answer 0: not asked
        {"DXOPTION=2", "4.02.00.0904", 0},
        {"DXOPTION=1", "4.03.00.0904", 0},
        {"DXOPTION=1", "7.02.00.0904", IDNO},  // only the low 16 bits count
        {"DXOPTION=1", "4.x.00.0904", IDYES},  // unreadable: no runtime
    };
    for (const auto& c : cases) {
        writeDisc({}, {c.option});
        CopyFileA(("Z:" + std::string(PROBE_EXE_PATH)).c_str(), disc->path("DATA\\DXSETUP.EXE").c_str(), FALSE);
        SetEnvironmentVariableA("PROBE_OUT", disc->path("ran.txt").c_str());
        setRuntimeVersion(c.version);
        const size_t before = boxes.shown().size();
        if (c.answer != 0) boxes.answer({c.answer});
        offerDirectSound(backdrop);
        EXPECT_EQ(boxes.shown().size() - before, c.answer != 0 ? 1u : 0u) << c.option << " " << c.version;
        EXPECT_EQ(readAll(disc->path("ran.txt")).find(disc->path("DATA\\DXSETUP.EXE") + "\n") == 0, c.answer == IDYES);
    }
}

}  // namespace
