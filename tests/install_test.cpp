#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "install/copyworker.h"
#include "install/directsound.h"
#include "install/diskspace.h"
#include "install/dsetup.h"
#include "install/folderdialog.h"
#include "install/progressdialog.h"
#include "install/shortcuts.h"
#include "setupdata/installrecord.h"
#include "tests/launcherfixture.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

namespace {

const std::string kFailed = "ファイルのコピーに失敗しました。インストールを中止します。\n";

std::string readAll(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// The installed runtime's version, as the sample disc's DSETUP.dll reads it.
void setRuntimeVersion(const char* value) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", REG_SZ, value, strlen(value) + 1);
}

// The worker's progress messages. GetProcAddress still gives the real function.
std::vector<WPARAM> progress;
bool defaultButtonFollowedCount = false;  // the dialog manager took a count for DM_SETDEFID
HWND closeAtFirstProgress = nullptr;      // gets WM_CLOSE posted when the first count comes
LRESULT WINAPI recordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const auto real = reinterpret_cast<decltype(&SendMessageA)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SendMessageA")));
    if (message != WM_COPY_PROGRESS) return real(window, message, wParam, lParam);
    if (closeAtFirstProgress != nullptr) PostMessageA(std::exchange(closeAtFirstProgress, nullptr), WM_CLOSE, 0, 0);
    progress.push_back(wParam);
    const LRESULT result = real(window, message, wParam, lParam);
    const WORD id = LOWORD(wParam);
    defaultButtonFollowedCount |= id > IDCANCEL && LOWORD(real(window, DM_GETDEFID, 0, 0)) == id;
    return result;
}
// Only the copy buffer's block is refused; LocalAlloc gives any other from the same heap.
// Whether the worker has posted its last message.
std::atomic<bool> copyDone{false};
BOOL WINAPI recordCopyDone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const auto real = reinterpret_cast<decltype(&PostMessageA)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "PostMessageA")));
    const BOOL posted = real(window, message, wParam, lParam);
    if (message == WM_COPY_DONE) copyDone = true;
    return posted;
}
DWORD WINAPI threeGiB(HANDLE, DWORD* high) { return high != nullptr ? (*high = 0, 3u << 30) : 3u << 30; }
HGLOBAL WINAPI noCopyBuffer(UINT flags, SIZE_T size) {
    return size == kCopyChunkSize ? nullptr : LocalAlloc(flags, size);
}
INT WINAPI versionQueryFillingNothing(DWORD*, DWORD*) { return FALSE; }
BOOL WINAPI noProgramsFolder(HWND, LPSTR path, int, BOOL) { return *path = '\0'; }  // FALSE, and no path

struct InstallTest : LauncherTest {
    void TearDown() override {
        for (const std::string& folder : madeFolders) removeFolderTree(folder);
        setRuntimeVersion("4.09.00.0904");  // the platform's own
    }
    // A game whose copy list holds the entries in order; those that are no
    // markers lie in the disc's DATA folder.
    void writeDisc(const std::vector<std::pair<std::string, std::string>>& entries,
                   std::vector<std::string> lines = {}) {
        lines.insert(lines.end(), {"DEFAULT_DIR=" + defaultDir, "COPYDIR=DATA\\"});
        for (size_t i = 0; i < entries.size(); ++i)
            lines.push_back("COPYFILE_00" + std::to_string(i) + "=" + entries[i].first);
        writeGame(lines);
        disc->makeFolder("DATA");
        for (const auto& [name, bytes] : entries)
            if (name[0] != '\\') disc->writeFile("DATA\\" + name, bytes);
    }

    // Runs the progress dialog into folder (below the disc unless a drive
    // path), which says in one box of its own how it ended. Cancel pressed
    // while a box is up comes too late: during the runtime question the files
    // are copied.
    void copy(const std::string& folder, INT_PTR result, const std::string& text,
              const std::string& caption = "インストールの中止", UINT flags = MB_OK | MB_ICONEXCLAMATION) {
        boxes.onShow([&](size_t number) { SendMessageA(boxes.shown()[number].owner, WM_COMMAND, IDCANCEL, 0); });
        copyText(programState.installFolder, (folder[1] == ':' ? folder : disc->path(folder)).c_str());
        const size_t before = boxes.shown().size();
        EXPECT_EQ(runDialog(IDD_PROGRESS, progressDialogProc), result);
        ASSERT_EQ(boxes.shown().size(), before + 1);  // the runtime question follows a finished copy only
        EXPECT_EQ(readable(boxes.shown().back()),
                  readable(RecordedMessageBox{boxes.shown().back().owner, text, caption, flags}));
        EXPECT_TRUE(boxes.shown().back().owner != nullptr &&
                    boxes.shown().back().owner != backdrop);  // the progress dialog
    }

    std::string defaultDir = key.name();
    std::vector<std::string> madeFolders;
};

TEST_F(InstallTest, FolderDialogTakesOnlyASafeFolderThatFitsAndEndsAtACancelledDiscPrompt) {
    // A browsed folder becomes the parent of the install folder.
    writeDisc({{"GAME.EXE", ""}});
    const std::string top = disc->folder() + "\\", tooLong(245 - top.size(), 'L');
    for (const std::string& name : {std::string("ソ"), tooLong}) disc->makeFolder(name);
    // The browser finds a folder by path only once each folder on the path
    // has been listed since it last changed.
    WIN32_FIND_DATAA found;
    for (size_t end = top.find('\\'); end != std::string::npos; end = top.find('\\', end + 1))
        FindClose(FindFirstFileA((top.substr(0, end) + "\\*").c_str(), &found));
    Sleep(20);
    // One browse after another in one dialog. A root gets no second backslash,
    // nor does a name whose trail byte is a backslash's. Refused, leaving the
    // folder taken before: the Windows folder (once more when the browser lets
    // it through), a folder that would not fit, and a cancelled browse.
    const std::string taken = top + "ソ\\" + defaultDir;
    const struct {
        std::string pick, folder;
    } cases[] = {{"C:\\", "C:\\" + defaultDir},
                 {top + "ソ", taken},
                 {"C:\\windows", taken},
                 {top + tooLong, taken},
                 {"", taken}};
    DialogDriver driver;
    driver.when(IDC_SPACE, [](HWND dialog) { DialogDriver::press(dialog, IDC_BROWSE); });
    for (const auto& c : cases) {
        driver.when(0x3741, [&](HWND browser) {  // the browser's tree view
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(c.pick.c_str()));
            PostMessageA(browser, WM_COMMAND, c.pick.empty() ? IDCANCEL : IDOK, 0);
        });
        driver.when(IDC_SPACE, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, IDC_INSTALL_FOLDER), c.folder) << c.pick;
            EXPECT_EQ(programState.installFolder, c.folder);
            DialogDriver::press(dialog, c.pick.empty() ? IDCANCEL : IDC_BROWSE);
        });
    }
    runDialog(IDD_FOLDER, folderDialogProc);

    // A DEFAULT_DIR that is no plain name, or a default folder that does not
    // fit, leaves the folder empty: start is disabled and does nothing, free
    // space cannot be told. Browsing then changes nothing, but for the folder
    // that did not fit below a shorter parent.
    for (const std::string& refused : {std::string("..\\X"), std::string("."), std::string(), std::string("NUL"),
                                       std::string("Maker\\Game"), std::string("Game."), std::string(250, 'D')}) {
        defaultDir = refused;
        writeDisc({{"A.DAT", "a"}});
        const bool fitsBelowRoot = refused.size() == 250;
        driver.when(IDC_SPACE, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, IDC_INSTALL_FOLDER), "") << refused;
            EXPECT_EQ(readable(DialogDriver::text(dialog, IDC_SPACE)), readable("空き容量  不明    必要容量  0 [MB]"));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // as a keyboard accelerator might
            DialogDriver::press(dialog, IDC_BROWSE);
        });
        if (fitsBelowRoot)
            driver.when(0x3741, [&](HWND browser) {
                SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\"));
                PostMessageA(browser, WM_COMMAND, IDOK, 0);
            });
        driver.when(IDC_SPACE, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, IDC_INSTALL_FOLDER), fitsBelowRoot ? "C:\\" + refused : "") << refused;
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE, fitsBelowRoot);
            DialogDriver::press(dialog, IDCANCEL);
        });
        EXPECT_EQ(runDialog(IDD_FOLDER, folderDialogProc), 0);
        EXPECT_TRUE(boxes.shown().empty() && !key.exists()) << refused;  // no copy, no record
    }
    // A default install folder that is a link is not offered, nor is it taken when browsed to.
    defaultDir = key.name();
    writeDisc({{"A.DAT", "a"}});
    {
        const UnixLink planted("C:\\Program Files\\" + defaultDir, disc->folder());
        FindClose(FindFirstFileA("C:\\Program Files\\*", &found));
        Sleep(20);
        const auto offersNothing = [](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, IDC_INSTALL_FOLDER), "");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        };
        driver.when(IDC_SPACE, [&](HWND dialog) {
            offersNothing(dialog);
            DialogDriver::press(dialog, IDC_BROWSE);
        });
        driver.when(0x3741, [&](HWND browser) {
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\Program Files"));
            PostMessageA(browser, WM_COMMAND, IDOK, 0);
        });
        driver.when(IDC_SPACE, [&](HWND dialog) {
            offersNothing(dialog);
            DialogDriver::press(dialog, IDCANCEL);
        });
        EXPECT_EQ(runDialog(IDD_FOLDER, folderDialogProc), 0);
    }
    // Cancel in the disc prompt ends the dialog before it is shown.
    DeleteFileA(disc->path("DATA\\A.DAT").c_str());
    boxes.answer({IDCANCEL});
    EXPECT_EQ(runDialog(IDD_FOLDER, folderDialogProc), -1);
    EXPECT_EQ(boxes.shown().size(), 1u);  // the disc prompt, and no box of a copy before it
}

TEST_F(InstallTest, FolderDialogRecordsAFinishedCopyOnlyAndTheBackdropWaitsForIt) {
    copyText(programState.registrySubKey, key.subKey().c_str());
    const std::string folder = "C:\\Program Files\\" + defaultDir, big(4 * kCopyChunkSize + 1, 'b');
    madeFolders = {folder};
    writeDisc({{"GAME.EXE", "MZ"}, {"BIG.DAT", big}});
    ImportPatch send("user32.dll", "SendMessageA", reinterpret_cast<void*>(recordProgress));
    ImportPatch post("user32.dll", "PostMessageA", reinterpret_cast<void*>(recordCopyDone));
    char recorded[kPathSize];

    // The progress dialog ends with 0 before the worker has said it finished:
    // no record, and the folder dialog stays open.
    DialogDriver driver;
    driver.when(IDC_SPACE, [](HWND dialog) { DialogDriver::press(dialog, IDOK); });
    driver.when(IDC_PROGRESS_BAR, [](HWND dialog) { EndDialog(dialog, 0); });
    driver.when(IDC_SPACE, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    EXPECT_EQ(runDialog(IDD_FOLDER, folderDialogProc), 0);
    for (int waited = 0; !copyDone && waited < 1000; ++waited) Sleep(10);
    ASSERT_TRUE(copyDone);
    EXPECT_TRUE(boxes.shown().empty() && !key.exists());

    // A close request to the backdrop while the copy runs changes nothing: the
    // install ends, and the record stands for every file.
    closeAtFirstProgress = backdrop;
    driver.when(IDC_SPACE, [](HWND dialog) { DialogDriver::press(dialog, IDOK); });
    EXPECT_EQ(runDialog(IDD_FOLDER, folderDialogProc), 0);
    EXPECT_TRUE(closeAtFirstProgress == nullptr && IsWindow(backdrop));
    readInstallRecord(recorded);
    EXPECT_EQ(recorded, folder);
    EXPECT_TRUE(readAll(folder + "\\BIG.DAT") == big && readAll(folder + "\\GAME.EXE") == "MZ");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "正常にインストールが行われました。");
}

// A link's target|description|working folder|icon,number.
std::string readLink(const std::string& path) {
    Microsoft::WRL::ComPtr<IShellLinkA> link;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    char text[4][MAX_PATH] = {};
    int icon = -1;
    (void)CoInitialize(nullptr);  // and left so on the test's thread
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(std::wstring(path.begin(), path.end()).c_str(), STGM_READ))) {
        link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetDescription(text[1], MAX_PATH);
        link->GetWorkingDirectory(text[2], MAX_PATH);
        link->GetIconLocation(text[3], MAX_PATH, &icon);
    }
    return std::string(text[0]) + "|" + text[1] + "|" + text[2] + "|" + text[3] + "," + std::to_string(icon);
}

// The sample disc's DSETUP.dll runs the disc's DXSETUP.EXE: here a program of
// the test's own that writes where it ran.
TEST_F(InstallTest, RuntimeIsOfferedWhenAskedForAndMissingAndRunsFromTheDisc) {
    writeDisc({{"GAME.EXE", "MZ"}}, {"DXOPTION=1"});
    CopyFileA("Z:" PROBE_EXE_PATH, disc->path("DATA\\DXSETUP.EXE").c_str(), FALSE);
    SetEnvironmentVariableA("PROBE_OUT", disc->path("ran.txt").c_str());
    // DXOPTION, the runtime's version, the answer (0: not asked), and the
    // questions so far. Only the version's low 16 bits count; an unreadable one
    // means no runtime.
    const struct {
        const char *option, *version;
        int answer;
        size_t asked;
    } cases[] = {{"2", "4.02.00.0904", 0, 0},
                 {"1", "4.03.00.0904", 0, 0},
                 {"1", "7.02.00.0904", IDNO, 1},
                 {"1", "4.x.00.0904", IDYES, 2}};
    for (const auto& c : cases) {
        // Through the platform's profile functions, which see their own writes at once.
        WritePrivateProfileStringA("InstallInfo", "DXOPTION", c.option, disc->setupFilePath().c_str());
        setRuntimeVersion(c.version);
        if (c.answer != 0) boxes.answer({c.answer});
        offerDirectSound(backdrop);
        EXPECT_EQ(boxes.shown().size(), c.asked) << c.option << " " << c.version;
        EXPECT_EQ(readAll(disc->path("ran.txt")).find(disc->path("DATA\\DXSETUP.EXE") + "\n") == 0, c.answer == IDYES);
    }
}

TEST_F(InstallTest, CopyFinishesWithShortcutsAndTheRuntimeQuestion) {
    // A file of exactly one chunk and an empty one each end with a read of
    // nothing; an earlier copy's file is replaced. Shortcut groups whose
    // folder is refused or whose link path does not fit are skipped, and the
    // next ones made, two of them in one folder.
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    const std::string group = key.name(), links = std::string(programs) + "\\" + group;
    madeFolders = {links};
    writeDisc(
        {{"GAME.EXE", "MZ"}, {"CHUNK.DAT", std::string(kCopyChunkSize, 'B')}, {"EMPTY.DAT", ""}, {"README.TXT", "new"}},
        {"DXOPTION=1", "SHORTCATDIR_00=..\\" + group, "SHORTCATNAME_00=B", "SHORTCATFILE_00=B.EXE",
         "SHORTCATDIR_01=" + group + "3", "SHORTCATNAME_01=" + std::string(200, 'N'), "SHORTCATFILE_01=C.EXE",
         "SHORTCATDIR_02=" + group, "SHORTCATNAME_02=D", "SHORTCATFILE_02=D.EXE", "SHORTCATDIR_03=" + group,
         "SHORTCATNAME_03=E", "SHORTCATFILE_03=BIN\\E.EXE", "SHORTCATICON_03=E.ICO", "SHORTCATICONNUMBER_03=2",
         "SHORTCATDISCRIPT_03=始めます"});
    CopyFileA("Z:" PROBE_EXE_PATH, disc->path("DATA\\DXSETUP.EXE").c_str(), FALSE);
    SetEnvironmentVariableA("PROBE_OUT", disc->path("ran.txt").c_str());
    progress.clear();
    ImportPatch send("user32.dll", "SendMessageA", reinterpret_cast<void*>(recordProgress));
    // A finished copy asks about the runtime, which counts as missing when its
    // version query fills nothing.
    ImportPatch query("DSETUP.dll", kDsetupGetVersionOrdinal, reinterpret_cast<void*>(versionQueryFillingNothing));

    const std::string target = disc->path("Target");
    disc->makeFolder("Target");
    disc->writeFile("Target\\README.TXT", "an older readme, longer than the new one");
    copy("Target", 0, "DirectSoundをインストールしますか？", "確認", MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(progress,
              (std::vector<WPARAM>{2, 2 + kCopyChunkSize, 2 + kCopyChunkSize, 2 + kCopyChunkSize, 5 + kCopyChunkSize}));
    EXPECT_FALSE(defaultButtonFollowedCount);
    EXPECT_EQ(readAll(target + "\\README.TXT"), "new");
    for (const std::string& skipped : {std::string(programs) + "\\..\\" + group, links + "3"})
        EXPECT_EQ(GetFileAttributesA(skipped.c_str()), INVALID_FILE_ATTRIBUTES) << skipped;
    // The working folder is the install folder, the icon file lies beside the target.
    EXPECT_EQ(readable(readLink(links + "\\E.lnk")),
              readable(target + "\\BIN\\E.EXE|始めます|" + target + "|" + target + "\\BIN\\E.ICO,2"));
    // No icon file, and no link before that the shell could tell an icon of: none of its own.
    EXPECT_EQ(readLink(links + "\\D.lnk"), target + "\\D.EXE||" + target + "|,0");
    // Without a Programs folder no shortcut is made: not from an empty one either.
    ImportPatch noPrograms("shell32.dll", "SHGetSpecialFolderPathA", reinterpret_cast<void*>(noProgramsFolder));
    makeStartMenuShortcuts(nullptr);
    EXPECT_EQ(GetFileAttributesA(("\\" + group).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallTest, CopyThatStopsSaysWhyAndWritesThroughNoLink) {
    const char* small = std::getenv("SETUP_TEST_SMALL_DRIVE");  // a drive of 3 MiB, made by the test command
    ASSERT_NE(small, nullptr) << "no small drive: run the tests through scripts/test.sh as root";
    const std::string drive = small, mib(1 << 20, 'm');
    ImportPatch send("user32.dll", "SendMessageA", reinterpret_cast<void*>(recordProgress));
    // A failure names the source, the file, the folder or the entry concerned.
    writeDisc({{"A.DAT", mib}, {"\\SUB", ""}});
    HANDLE held = CreateFileA(disc->path("DATA\\A.DAT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    copy("Target", -1, kFailed + disc->path("DATA\\A.DAT"));
    CloseHandle(held);
    // Free space that cannot be told (there is no drive Q:) does not stop the copy of 1 MB.
    copy("Q:\\Target", -1, kFailed + "Q:\\Target\\A.DAT");
    {
        // A total of 3 GiB goes onto the bar, whose values are signed 32-bit, in KiB.
        ImportPatch size("kernel32.dll", "GetFileSize", reinterpret_cast<void*>(threeGiB));
        DialogDriver bar;
        bar.when(IDC_PROGRESS_BAR, [](HWND dialog) {
            EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 3 << 20);
            for (const DWORD bytes : {0x80000000u, 3u << 30}) {
                SendMessageA(dialog, WM_COPY_PROGRESS, bytes, 0);
                EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), LRESULT(bytes >> 10));
            }
        });
        copy("Q:\\Target", -1, kFailed + "Q:\\Target\\A.DAT");
    }
    disc->writeFile("Target\\SUB", "a file where the folder should go");
    copy("Target", -1, kFailed + disc->path("Target\\SUB"));
    // Nothing is written through a link: the subfolder a marker makes, a folder a file entry names, the install
    // folder itself. Where they lead stays empty.
    DeleteFileA(disc->path("Target\\SUB").c_str());
    disc->makeFolder("Elsewhere");
    {
        const UnixLink sub(disc->path("Target\\SUB"), disc->path("Elsewhere"));
        const UnixLink target(disc->path("Linked"), disc->path("Elsewhere"));
        copy("Target", -1, kFailed + disc->path("Target\\SUB"));
        WritePrivateProfileStringA("InstallInfo", "COPYFILE_001", "SUB\\A.DAT", disc->setupFilePath().c_str());
        disc->makeFolder("DATA\\SUB");
        disc->writeFile("DATA\\SUB\\A.DAT", "a");
        copy("Target", -1, kFailed + disc->path("Target\\SUB\\A.DAT"));
        copy("Linked", -1, kFailed + disc->path("Linked"));
    }
    EXPECT_EQ(GetFileAttributesA(disc->path("Elsewhere\\A.DAT").c_str()), INVALID_FILE_ATTRIBUTES);
    // Cancel pressed before the worker's first chunk: it stops after that chunk,
    // and what was written stays.
    DialogDriver driver;
    driver.when(IDC_PROGRESS_BAR, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    copy("Cancelled", -1, "キャンセルされました。インストールを中止します。", "インストールの中止", MB_OK);
    EXPECT_EQ(readAll(disc->path("Cancelled\\A.DAT")).size(), kCopyChunkSize);
    // An entry reaching outside the install folder is refused before anything is written.
    writeDisc({{"..\\EVIL.DAT", "e"}});
    copy("Outer\\Target", -1, kFailed + "..\\EVIL.DAT");
    // So is one naming a device, after the files before it; the size walk
    // neither counts it nor asks for it.
    writeDisc({{"GAME.EXE", "MZ"}}, {"COPYFILE_001=nul.wav"});
    copy("Target", -1, kFailed + "nul.wav");
    // The small drive: 4 MB do not fit into 3; 3.5 MiB pass as 3 MB against 3,
    // and then fill the disk.
    writeDisc({{"BIG.DAT", mib + mib + mib + mib}});
    copy(drive + "\\", -1,
         "インストール先の空き容量が足りません。\nインストールを中止します。\n 必要な容量 : 4 MB\n 現在の容量 : 3 MB",
         "インストール", MB_OK);
    writeDisc({{"BIG.DAT", mib + mib + mib + mib.substr(0, 1 << 19)}});
    madeFolders.push_back(drive + "\\Game");
    copy(drive + "\\Game", -1, kFailed + drive + "\\Game\\BIG.DAT");
    // The copy buffer cannot be had: nothing is named, not the path of the failure before.
    ImportPatch noBuffer("kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(noCopyBuffer));
    copy("Target", -1, kFailed);
    // Two files of 3 GiB count as all that 32 bits hold, not as the 2 GiB left of 6 after a wrap.
    ImportPatch size("kernel32.dll", "GetFileSize", reinterpret_cast<void*>(threeGiB));
    writeDisc({{"A.DAT", "a"}, {"B.DAT", "b"}});
    DWORD total = 0;
    EXPECT_TRUE(sumCopyListSizes(backdrop, total) && total == 0xFFFFFFFFu) << total;
}

}  // namespace
