#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <shlobj.h>

#include "install/copyworker.h"
#include "install/dsetup.h"
#include "install/shortcuts.h"
#include "install/folderdialog.h"
#include "install/progressdialog.h"
#include "setupdata/safefolder.h"
#include "tests/launcherfixture.h"

namespace {

constexpr DWORD kChunk = 0x20000;
constexpr int kBrowserTree = 0x3741;  // the folder browser's tree view
const std::string kFailed = "ファイルのコピーに失敗しました。インストールを中止します。\n";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

ULONGLONG lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// The worker's progress messages, seen at SendMessageA; one of them can press
// the progress dialog's cancel button first.
struct ProgressLog {
    std::mutex mutex;
    std::vector<WPARAM> counts;
    size_t cancelAt = 0;  // 0: never
    ImportPatch* patch = nullptr;
} progressLog;

LRESULT WINAPI recordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto real = progressLog.patch->original<decltype(&SendMessageA)>();
    if (message == WM_COPY_PROGRESS) {
        size_t count;
        {
            std::lock_guard<std::mutex> lock(progressLog.mutex);
            progressLog.counts.push_back(wParam);
            count = progressLog.counts.size();
        }
        if (count == progressLog.cancelAt) real(window, WM_COMMAND, IDCANCEL, 0);
    }
    return real(window, message, wParam, lParam);
}

// What the worker reports for files of these sizes: one message a chunk, and
// one more for a file that ends on a chunk boundary (an empty file included).
std::vector<WPARAM> expectedProgress(std::initializer_list<DWORD> sizes) {
    std::vector<WPARAM> counts;
    WPARAM total = 0;
    for (DWORD left : sizes) {
        for (;; left -= kChunk) {
            const DWORD read = std::min(left, kChunk);
            counts.push_back(total += read);
            if (read < kChunk) break;
        }
    }
    return counts;
}

// Free space as the test says: GetDiskFreeSpaceExA answers, is missing, or
// fails; GetDiskFreeSpaceA likewise.
struct FreeSpaceFake {
    enum { real, answers, missing, fails } extended = real, classic = real;
    ULONGLONG bytes = 0;
    std::string root;
} freeSpace;

BOOL WINAPI fakeFreeSpaceEx(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER) {
    freeSpace.root = root;
    if (freeSpace.extended == FreeSpaceFake::fails) return FALSE;
    available->QuadPart = freeSpace.bytes;
    return TRUE;
}
ImportPatch* getProcAddressPatch = nullptr;
FARPROC WINAPI fakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(name) != 0 && lstrcmpA(name, "GetDiskFreeSpaceExA") == 0 && freeSpace.extended != FreeSpaceFake::real)
        return freeSpace.extended == FreeSpaceFake::missing ? nullptr : reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fakeFreeSpaceEx));
    return getProcAddressPatch->original<decltype(&GetProcAddress)>()(module, name);
}
BOOL WINAPI fakeFreeSpace(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                          LPDWORD clusters) {
    freeSpace.root = root;
    if (freeSpace.classic == FreeSpaceFake::fails) return FALSE;
    *sectorsPerCluster = 64;  // 64 x 4096 x 2^20 = 2^38: more than 32 bits can hold
    *bytesPerSector = 4096;
    *freeClusters = 0x100000;
    *clusters = 0x200000;
    return TRUE;
}

HGLOBAL WINAPI failCopyBuffer(UINT flags, SIZE_T bytes) {
    return bytes == kChunk ? nullptr : GlobalAlloc(flags, bytes);
}

class InstallTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        progressLog.counts.clear();
        progressLog.cancelAt = 0;
        progressLog.patch = &sendMessage;
        freeSpace = FreeSpaceFake{};
        getProcAddressPatch = &getProcAddress;
        defaultDir = key.name();
    }
    void TearDown() override {
        removeFolderTree("C:\\Program Files\\" + defaultDir);
        for (const std::string& folder : madeFolders) removeFolderTree(folder);
        LauncherTest::TearDown();
    }

    // A disc whose DATA folder holds files and whose copy list is list.
    void writeDisc(const std::vector<std::pair<std::string, std::string>>& files, const std::vector<std::string>& list,
                   const std::vector<std::string>& extra = {}) {
        disc.reset();
        disc = std::make_unique<TempDisc>();
        disc->makeFolder("DATA");
        for (const auto& file : files) disc->writeFile("DATA\\" + file.first, file.second);
        std::vector<std::string> lines = extra;
        lines.insert(lines.end(), {"GAME_NAME=サンプル", "REG_NAME=" + key.name(), "DEFAULT_DIR=" + defaultDir,
                                   "COPYDIR=DATA\\"});
        for (size_t i = 0; i < list.size(); ++i) {
            char name[32];
            wsprintfA(name, "COPYFILE_%03u", static_cast<unsigned>(i));
            lines.push_back(std::string(name) + "=" + list[i]);
        }
        disc->writeSetupFile(lines);
        copyText(programState.descriptionPath, disc->setupFilePath().c_str());
        copyText(programState.registrySubKey, key.subKey().c_str());
    }

    INT_PTR runDialog(int id, DLGPROC procedure) {
        return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(id), backdrop, procedure, 0);
    }

    std::string defaultDir;
    std::vector<std::string> madeFolders;
    ImportPatch sendMessage{"user32.dll", "SendMessageA", reinterpret_cast<void*>(recordProgress)};
    ImportPatch getProcAddress{"kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(fakeGetProcAddress)};
    ImportPatch freeSpaceClassic{"kernel32.dll", "GetDiskFreeSpaceA", reinterpret_cast<void*>(fakeFreeSpace)};
};

TEST_F(InstallTest, InstallsEveryListedFileAndTheLauncherTurnsToRunMode) {
    const std::string big(kChunk, 'B');
    writeDisc({{"GAME.EXE", "MZ game"}, {"CHUNK.DAT", big}, {"EMPTY.DAT", ""}, {"T1.WAV", "RIFF"},
               {"README.TXT", "read me"}},
              {"GAME.EXE", "CHUNK.DAT", "EMPTY.DAT", "\\BGM", "T1.WAV", "\\", "README.TXT"});
    HANDLE source = CreateFileA(disc->path("DATA\\GAME.EXE").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    const FILETIME old = {0x12345678, 0x01C00000};
    SetFileTime(source, &old, nullptr, &old);
    CloseHandle(source);
    // An earlier copy's file is replaced.
    const std::string folder = "C:\\Program Files\\" + defaultDir;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(folder + "\\README.TXT") << "an older readme, longer than the new one";

    HWND folderDialog = nullptr;
    std::string shownFolder;
    DialogDriver driver;
    driver.when(kStatusText, [&](HWND launcher) { DialogDriver::press(launcher, kButtonInstallUninstall); })
        .when(kInstallFolderText, [&](HWND dialog) {
            folderDialog = dialog;
            shownFolder = DialogDriver::text(dialog, kInstallFolderText);
            EXPECT_EQ(shownFolder, folder);
            const std::string space = DialogDriver::text(dialog, kSpaceText);
            EXPECT_EQ(space.rfind("空き容量  ", 0), 0u) << readable(space);
            EXPECT_NE(space.find(" [MB]    必要容量  0 [MB]"), std::string::npos) << readable(space);
            DialogDriver::press(dialog, IDOK);
        })
        .when(kStatusText, [&](HWND launcher) {
            EXPECT_EQ(programState.installedMode, 1);
            EXPECT_TRUE(DialogDriver::visible(launcher, kButtonRun));
            DialogDriver::press(launcher, IDCANCEL);
        });
    runLauncher();
    ASSERT_TRUE(driver.finished());

    const std::vector<RecordedMessageBox> shown = boxes.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(isMessageBox(shown[0], folderDialog, "正常にインストールが行われました。", "サンプル", MB_OK));
    std::string recorded;
    EXPECT_TRUE(key.readFolder(&recorded));
    EXPECT_EQ(recorded, shownFolder);
    for (const char* file : {"GAME.EXE", "CHUNK.DAT", "EMPTY.DAT", "BGM\\T1.WAV", "README.TXT"}) {
        const std::string name = lastPathComponent(file);
        EXPECT_EQ(readAll(folder + "\\" + file), readAll(disc->path("DATA\\" + name))) << file;
        EXPECT_EQ(lastWriteTime(folder + "\\" + file), lastWriteTime(disc->path("DATA\\" + name))) << file;
    }
    EXPECT_EQ(lastWriteTime(folder + "\\GAME.EXE"), (static_cast<ULONGLONG>(old.dwHighDateTime) << 32) | old.dwLowDateTime);
    EXPECT_EQ(progressLog.counts, expectedProgress({7, kChunk, 0, 4, 7}));
}

TEST_F(InstallTest, SpaceLineAndDefaultFolder) {
    struct Case {
        std::vector<DWORD> sizes;
        decltype(FreeSpaceFake::extended) extended, classic;
        ULONGLONG freeBytes;
        const char* windows;
        const char* folder;
        const char* space;
    };
    const Case cases[] = {
        {{}, FreeSpaceFake::answers, FreeSpaceFake::fails, (5ull << 20) + 1, "C:\\windows", "C:\\Program Files\\GAME",
         "空き容量  5 [MB]    必要容量  0 [MB]"},
        {{600 << 10, 600 << 10}, FreeSpaceFake::answers, FreeSpaceFake::fails, 1048575, "D:\\WINNT",
         "D:\\Program Files\\GAME", "空き容量  0 [MB]    必要容量  1 [MB]"},
        {{1048575}, FreeSpaceFake::missing, FreeSpaceFake::answers, 0, "E:\\WINDOWS", "E:\\Program Files\\GAME",
         "空き容量  262144 [MB]    必要容量  0 [MB]"},
        {{}, FreeSpaceFake::fails, FreeSpaceFake::answers, 0, "C:\\windows", "C:\\Program Files\\GAME",
         "空き容量  不明    必要容量  0 [MB]"},
        {{}, FreeSpaceFake::missing, FreeSpaceFake::fails, 0, "C:\\windows", "C:\\Program Files\\GAME",
         "空き容量  不明    必要容量  0 [MB]"},
    };
    for (const Case& c : cases) {
        defaultDir = "GAME";
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> list = {"\\SUB", "\\"};
        for (DWORD size : c.sizes) {
            files.push_back({"F" + std::to_string(files.size()), std::string(size, 'x')});
            list.push_back(files.back().first);
        }
        writeDisc(files, list);
        freeSpace.extended = c.extended;
        freeSpace.classic = c.classic;
        freeSpace.bytes = c.freeBytes;
        freeSpace.root.clear();
        FakeWindowsDirectory windows(c.windows);
        DialogDriver driver;
        driver.when(kSpaceText, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, kInstallFolderText), c.folder);
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, kSpaceText), c.space));
            EXPECT_EQ(freeSpace.root, std::string(c.folder, 3));
            DialogDriver::press(dialog, IDCANCEL);
        });
        EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), 0);
    }
    EXPECT_TRUE(boxes.shown().empty());

    // A default folder that would not fit is left empty, and start does nothing.
    defaultDir = std::string(250, 'D');
    writeDisc({}, {});
    DialogDriver driver;
    driver
        .when(kSpaceText, [&](HWND dialog) {
            EXPECT_EQ(DialogDriver::text(dialog, kInstallFolderText), "");
            EXPECT_TRUE(sameText(DialogDriver::text(dialog, kSpaceText), "空き容量  不明    必要容量  0 [MB]"));
            DialogDriver::press(dialog, IDOK);
        })
        .when(kSpaceText, [&](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), 0);
    EXPECT_TRUE(boxes.shown().empty());  // neither a progress dialog's box nor the success
}

TEST_F(InstallTest, MissingSourceAsksForTheDisc) {
    // Out goes the disc, description file and all; it comes back in two steps.
    writeDisc({}, {"GAME.EXE"});
    const std::string setupFile = disc->setupFilePath();
    ASSERT_TRUE(MoveFileA(setupFile.c_str(), (setupFile + ".out").c_str()));
    boxes.onShow([&](size_t number) {
        if (number == 1) MoveFileA((setupFile + ".out").c_str(), setupFile.c_str());
        if (number == 2) disc->writeFile("DATA\\GAME.EXE", "MZ");
    });
    DialogDriver driver;
    driver.when(kSpaceText, [&](HWND dialog) {
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size(), 3u);
        for (const RecordedMessageBox& box : shown)
            EXPECT_TRUE(isMessageBox(box, dialog, "ＣＤ－ＲＯＭを入れて下さい", "ディスクの交換", MB_OKCANCEL));
        DialogDriver::press(dialog, IDCANCEL);
    });
    EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), 0);

    // Cancel ends the dialog before it is ever shown.
    writeDisc({}, {"GAME.EXE"});
    boxes.onShow(nullptr);
    boxes.answer({IDCANCEL});
    EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), -1);
    EXPECT_EQ(boxes.shown().size(), 4u);
}

// The browser's OK button as the callback left it, seen at EnableWindow.
std::vector<BOOL> okButtonStates;
ImportPatch* enablePatch = nullptr;
ImportPatch* attributesPatch = nullptr;
// The folder named "Hidden" carries the hidden attribute for the program
// (the browser would not list a folder that really has it).
DWORD WINAPI hiddenByName(LPCSTR path) {
    const DWORD attributes = attributesPatch->original<decltype(&GetFileAttributesA)>()(path);
    const std::string name = path;
    return name.size() > 6 && name.compare(name.size() - 6, 6, "Hidden") == 0 ? attributes | FILE_ATTRIBUTE_HIDDEN
                                                                                : attributes;
}
// The browser finds a folder by path only after each folder on the path has
// been listed once since it last changed.
void listEveryFolderOn(const std::string& path) {
    for (size_t end = path.find('\\', 3); ; end = path.find('\\', end + 1)) {
        const std::string folder = end == std::string::npos ? path : path.substr(0, end);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        if (end == std::string::npos) break;
    }
    Sleep(20);
}
BOOL WINAPI recordEnable(HWND window, BOOL enable) {
    if (GetDlgCtrlID(window) == IDOK) okButtonStates.push_back(enable);
    return enablePatch->original<decltype(&EnableWindow)>()(window, enable);
}

TEST_F(InstallTest, BrowsedFolderBecomesTheParentOfTheInstallFolder) {
    ImportPatch enable("user32.dll", "EnableWindow", reinterpret_cast<void*>(recordEnable));
    enablePatch = &enable;
    ImportPatch attributes("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(hiddenByName));
    attributesPatch = &attributes;
    const std::string longDir(230, 'D');
    struct Case {
        std::string dir;
        std::string pick;      // below the disc unless it has a drive; empty: the browser is cancelled
        std::string expected;  // empty: the install folder stays as it was
        std::vector<BOOL> ok;  // what the callback did to the OK button
    };
    const Case cases[] = {
        {"GAME", "C:\\", "C:\\GAME", {TRUE}},  // a root gets no second backslash
        {"GAME", "Games", "Games\\GAME", {TRUE}},
        {"GAME", "ソ", "ソ\\GAME", {TRUE}},  // its trail byte is no backslash
        {"GAME", "C:\\windows", "", {FALSE}},  // refused once more when the browser lets it through
        {"GAME", "Hidden", "", {FALSE}},
        {"GAME", "", "", {}},
        {longDir, "C:\\", "C:\\" + longDir, {TRUE}},
        {longDir, "Games", "", {TRUE}},  // would not fit
    };
    for (const Case& c : cases) {
        defaultDir = c.dir;
        writeDisc({}, {});
        for (const char* name : {"Games", "ソ", "Hidden"}) disc->makeFolder(name);
        const auto onDisc = [&](const std::string& path) {
            return path.empty() || path.find(':') != std::string::npos ? path : disc->path(path);
        };
        const std::string pick = onDisc(c.pick);
        const std::string expected = onDisc(c.expected);
        if (!pick.empty()) listEveryFolderOn(pick);
        std::string before;
        DialogDriver driver;
        driver.when(kSpaceText, [&](HWND dialog) {
            before = DialogDriver::text(dialog, kInstallFolderText);
            DialogDriver::press(dialog, kButtonBrowse);
        });
        driver.when(kBrowserTree, [&](HWND browser) {
            okButtonStates.clear();  // what the opening selection did
            if (pick.empty()) {
                DialogDriver::press(browser, IDCANCEL);
                return;
            }
            SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(pick.c_str()));
            PostMessageA(browser, WM_COMMAND, IDOK, 0);
        });
        driver.when(kSpaceText, [&](HWND dialog) {
            const std::string now = DialogDriver::text(dialog, kInstallFolderText);
            EXPECT_EQ(now, expected.empty() ? before : expected) << c.pick;
            EXPECT_EQ(programState.installFolder, now);
            DialogDriver::press(dialog, IDCANCEL);
        });
        runDialog(kDialogFolder, folderDialogProc);
        EXPECT_EQ(okButtonStates, c.ok) << c.pick;
    }
}

// The DirectX setup library's two entries, at the program's ordinal imports.
struct DirectXFake {
    bool fills = true;
    DWORD version = 0x00040009;  // new enough: nothing is asked
    std::atomic<int> queries{0}, runs{0};
    HWND runOwner = nullptr;
    std::string runRoot;
    DWORD runFlags = 0;
} directX;

INT WINAPI fakeGetVersion(DWORD* version, DWORD* revision) {
    ++directX.queries;
    if (!directX.fills) return FALSE;
    *version = directX.version;
    *revision = 904;
    return TRUE;
}
INT WINAPI fakeRun(HWND owner, LPCSTR root, DWORD flags) {
    directX.runOwner = owner;
    directX.runRoot = root;
    directX.runFlags = flags;
    ++directX.runs;
    return 0;
}

TEST_F(InstallTest, CopyEndsInSuccessShortageCancelOrFailure) {
    ImportPatch versionQuery("DSETUP.dll", 11, reinterpret_cast<void*>(fakeGetVersion));
    directX.fills = true;
    directX.version = 0x00040009;
    const char* small = std::getenv("SETUP_TEST_SMALL_DRIVE");  // a drive of 3 MiB, made by the test command
    HANDLE held = INVALID_HANDLE_VALUE;
    std::unique_ptr<ImportPatch> noBuffer;
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> list;
        std::string target;  // relative to the disc, or on another drive
        INT_PTR result;
        std::string text, caption;  // of the one box expected; none when text is empty
        UINT flags;
        std::function<void()> arrange;
        std::function<void(const std::string& target)> check;
    };
    const std::string mib(1 << 20, 'm');
    const std::string longEntry(250, 'L');
    const std::string stopped = "インストールの中止";
    const UINT exclamation = MB_OK | MB_ICONEXCLAMATION;
    std::vector<Case> cases = {
        {"unknown free space", {{"A.DAT", "a"}}, {"A.DAT"}, "Target", 0, "", "", 0,
         [&] { freeSpace.extended = FreeSpaceFake::fails; }, nullptr},
        {"source held open", {{"A.DAT", "a"}}, {"A.DAT"}, "Target", -1, kFailed + "<disc>\\DATA\\A.DAT", stopped,
         exclamation,
         [&] {
             held = CreateFileA(disc->path("DATA\\A.DAT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         nullptr},
        {"entry reaching outside", {{"..\\EVIL.DAT", "e"}}, {"..\\EVIL.DAT"}, "Outer\\Target", -1,
         kFailed + "..\\EVIL.DAT", stopped, exclamation, [&] { disc->makeFolder("Outer"); },
         [&](const std::string&) {
             EXPECT_EQ(GetFileAttributesA(disc->path("Outer\\EVIL.DAT").c_str()), INVALID_FILE_ATTRIBUTES);
         }},
        {"entry too long", {}, {longEntry}, "Target", -1, kFailed + longEntry, stopped, exclamation, nullptr, nullptr},
        {"marker over a file", {{"A.DAT", "a"}}, {"\\SUB", "A.DAT"}, "Target", -1, kFailed + "<disc>\\Target\\SUB",
         stopped, exclamation,
         [&] {
             disc->makeFolder("Target");
             disc->writeFile("Target\\SUB", "a file where the folder should go");
         },
         nullptr},
        {"no copy buffer", {{"A.DAT", "a"}}, {"A.DAT"}, "Target", -1, kFailed, stopped, exclamation,
         [&] {
             noBuffer = std::make_unique<ImportPatch>("kernel32.dll", "GlobalAlloc",
                                                      reinterpret_cast<void*>(failCopyBuffer));
         },
         nullptr},
        {"folder cannot be made", {{"A.DAT", "a"}}, {"A.DAT"}, "Missing\\Target", -1,
         kFailed + "<disc>\\Missing\\Target\\A.DAT", stopped, exclamation, nullptr, nullptr},
        {"cancelled", {{"BIG.DAT", mib}}, {"BIG.DAT"}, "Target", -1, "キャンセルされました。インストールを中止します。",
         stopped, MB_OK, [&] { progressLog.cancelAt = 3; },
         [&](const std::string& target) {  // stopped after the chunk in hand; what was written stays
             EXPECT_EQ(readAll(target + "\\BIG.DAT").size(), 3 * kChunk);
         }},
    };
    if (small != nullptr) {
        cases.push_back({"short of space", {{"BIG.DAT", mib + mib + mib + mib}}, {"BIG.DAT"}, std::string(small) + "\\",
                         -1,
                         "インストール先の空き容量が足りません。\nインストールを中止します。\n 必要な容量 : 4 MB\n "
                         "現在の容量 : 3 MB",
                         "インストール", MB_OK, nullptr, nullptr});
        // 3.5 MiB passes as 3 MB required against 3 MB free, and then fills the disk.
        cases.push_back({"disk full", {{"BIG.DAT", mib + mib + mib + mib.substr(0, 1 << 19)}}, {"BIG.DAT"},
                         std::string(small) + "\\Game", -1, kFailed + std::string(small) + "\\Game\\BIG.DAT", stopped,
                         exclamation, [&] { madeFolders.push_back(std::string(small) + "\\Game"); }, nullptr});
    } else {
        ADD_FAILURE() << "no small drive: run the tests through scripts/test.sh as root";
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeDisc(c.files, c.list, {"DXOPTION=1"});
        const std::string target = c.target.find(':') != std::string::npos ? c.target : disc->path(c.target);
        const size_t at = c.text.find("<disc>");
        if (at != std::string::npos) c.text.replace(at, 6, disc->folder());
        copyText(programState.installFolder, target.c_str());
        freeSpace.extended = FreeSpaceFake::real;
        progressLog.counts.clear();
        progressLog.cancelAt = 0;
        directX.queries = 0;
        if (c.arrange) c.arrange();
        const size_t before = boxes.shown().size();

        EXPECT_EQ(runDialog(kDialogProgress, progressDialogProc), c.result);

        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        noBuffer.reset();
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size() - before, c.text.empty() ? 0u : 1u);
        if (!c.text.empty()) {
            EXPECT_NE(shown.back().owner, backdrop);  // the progress dialog
            EXPECT_TRUE(sameText(shown.back().text, c.text));
            EXPECT_TRUE(sameText(shown.back().caption, c.caption));
            EXPECT_EQ(shown.back().flags, c.flags);
        }
        // The shortcuts and the runtime offer follow a finished copy only.
        EXPECT_EQ(directX.queries.load(), c.result == 0 ? 1 : 0);
        if (c.check) c.check(target);
    }
}

struct LinkReading {
    std::string target, description, arguments, folder, icon;
    int iconNumber = -1;
    int showCommand = -1;
};

LinkReading readLink(const std::string& path) {
    LinkReading link;
    (void)CoInitialize(nullptr);
    IShellLinkA* shellLink = nullptr;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink))) &&
        SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char text[MAX_PATH];
        shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        link.target = text;
        shellLink->GetDescription(text, MAX_PATH);
        link.description = text;
        shellLink->GetArguments(text, MAX_PATH);
        link.arguments = text;
        shellLink->GetWorkingDirectory(text, MAX_PATH);
        link.folder = text;
        shellLink->GetIconLocation(text, MAX_PATH, &link.iconNumber);
        link.icon = text;
        // Wine reads every show command back as 1: take it from the file.
        const std::string bytes = readAll(path);
        if (bytes.size() >= 0x40) link.showCommand = *reinterpret_cast<const int*>(bytes.data() + 0x3C);
    }
    if (file != nullptr) file->Release();
    if (shellLink != nullptr) shellLink->Release();
    CoUninitialize();
    return link;
}

BOOL WINAPI noSpecialFolder(HWND, LPSTR, int, BOOL) { return FALSE; }

TEST_F(InstallTest, ShortcutsForEveryCompleteGroupUpToTheFirstIncompleteOne) {
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    const std::string group = key.name();  // a folder of this test's own below Programs
    const std::string folder = std::string(programs) + "\\" + group;
    madeFolders.push_back(folder);
    madeFolders.push_back(folder + "2");
    copyText(programState.installFolder, "C:\\Games\\Sample");
    const std::string tooLong(200, 'N');
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> links;  // below Programs
    };
    const Case cases[] = {
        {{"SHORTCATDIR_01=" + group, "SHORTCATNAME_01=B", "SHORTCATFILE_01=B.EXE"}, {}},
        {{"SHORTCATDIR_00=" + group, "SHORTCATNAME_00=A", "SHORTCATFILE_00=A.EXE", "SHORTCATDIR_01=" + group,
          "SHORTCATFILE_01=B.EXE", "SHORTCATDIR_02=" + group, "SHORTCATNAME_02=C", "SHORTCATFILE_02=C.EXE"},
         {group + "\\A.lnk"}},
        // Refused folders and paths that do not fit skip their group only.
        {{"SHORTCATDIR_00=", "SHORTCATNAME_00=A", "SHORTCATFILE_00=A.EXE", "SHORTCATDIR_01=..\\" + group,
          "SHORTCATNAME_01=B", "SHORTCATFILE_01=B.EXE", "SHORTCATDIR_02=" + group, "SHORTCATNAME_02=" + tooLong,
          "SHORTCATFILE_02=C.EXE", "SHORTCATDIR_03=" + group + "2", "SHORTCATNAME_03=D", "SHORTCATFILE_03=D.EXE",
          "SHORTCATDIR_04=" + group, "SHORTCATNAME_04=E", "SHORTCATFILE_04=BIN\\E.EXE", "SHORTCATICON_04=E.ICO",
          "SHORTCATICONNUMBER_04=2", "SHORTCATDISCRIPT_04=始めます"},
         {group + "\\E.lnk", group + "2\\D.lnk"}},
    };
    for (const Case& c : cases) {
        for (const std::string& made : madeFolders) removeFolderTree(made);
        writeDisc({}, {}, c.lines);
        makeStartMenuShortcuts(nullptr);
        std::vector<std::string> found;
        for (const std::string& below : {group, group + "2"}) {
            WIN32_FIND_DATAA entry;
            HANDLE search = FindFirstFileA((std::string(programs) + "\\" + below + "\\*.lnk").c_str(), &entry);
            if (search == INVALID_HANDLE_VALUE) continue;
            do found.push_back(below + "\\" + entry.cFileName);
            while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        EXPECT_EQ(found, c.links);
    }
    EXPECT_EQ(GetFileAttributesA((std::string(programs) + "\\B.lnk").c_str()), INVALID_FILE_ATTRIBUTES);

    // What each link holds: the icon beside a target in a subfolder, the
    // working folder always the install folder.
    LinkReading link = readLink(folder + "\\E.lnk");
    EXPECT_EQ(link.target, "C:\\Games\\Sample\\BIN\\E.EXE");
    EXPECT_TRUE(sameText(link.description, "始めます"));
    EXPECT_EQ(link.arguments, "");
    EXPECT_EQ(link.folder, "C:\\Games\\Sample");
    EXPECT_EQ(link.icon, "C:\\Games\\Sample\\BIN\\E.ICO");
    EXPECT_EQ(link.iconNumber, 2);
    EXPECT_EQ(link.showCommand, SW_SHOWNORMAL);
    // No icon file: none of its own at first, then what the shell tells for
    // the existing link when installing again.
    link = readLink(folder + "2\\D.lnk");
    EXPECT_EQ(link.icon, "");
    EXPECT_EQ(link.iconNumber, 0);
    SHFILEINFOA shell = {};
    ASSERT_NE(SHGetFileInfoA((folder + "2\\D.lnk").c_str(), FILE_ATTRIBUTE_NORMAL, &shell, sizeof shell,
                             SHGFI_ICONLOCATION), 0u);
    ASSERT_NE(shell.szDisplayName[0], '\0');
    makeStartMenuShortcuts(nullptr);
    link = readLink(folder + "2\\D.lnk");
    EXPECT_EQ(link.icon, shell.szDisplayName);
    EXPECT_EQ(link.iconNumber, shell.iIcon);

    // Without a Programs folder nothing is made.
    removeFolderTree(folder);
    ImportPatch noPrograms("shell32.dll", "SHGetSpecialFolderPathA", reinterpret_cast<void*>(noSpecialFolder));
    makeStartMenuShortcuts(nullptr);
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallTest, DirectSoundIsOfferedWhenAskedForAndTheRuntimeIsOld) {
    ImportPatch getVersion("DSETUP.dll", 11, reinterpret_cast<void*>(fakeGetVersion));
    ImportPatch run("DSETUP.dll", 5, reinterpret_cast<void*>(fakeRun));
    struct Case {
        const char* option;
        bool fills;
        DWORD version;
        int answer;
        bool cancelMeanwhile;
        bool queried, asked, ran;
    };
    const Case cases[] = {
        {"", true, 0, IDYES, false, false, false, false},
        {"DXOPTION=0", true, 0, IDYES, false, false, false, false},
        {"DXOPTION=2", true, 0, IDYES, false, false, false, false},
        {"DXOPTION=1", true, 0x00040003, IDYES, false, true, false, false},
        {"DXOPTION=1", true, 0xFFFF0007, IDYES, false, true, false, false},
        {"DXOPTION=1", true, 0x00070002, IDNO, false, true, true, false},
        {"DXOPTION=1", true, 0, IDYES, true, true, true, true},
        {"DXOPTION=1", false, 0x00040009, IDYES, false, true, true, true},  // a query that fills nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " version " + std::to_string(c.version));
        writeDisc({{"GAME.EXE", "MZ"}}, {"GAME.EXE"}, {c.option});
        key.setValue("InstallFolder", REG_SZ, "", 1);  // to see it written again
        directX.fills = c.fills;
        directX.version = c.version;
        directX.queries = directX.runs = 0;
        const size_t before = boxes.shown().size();
        std::string ownerTitle;
        boxes.onShow([&](size_t number) {
            if (number != before) return;
            const HWND owner = boxes.shown()[number].owner;
            char title[64] = "";
            GetWindowTextA(owner, title, sizeof title);
            ownerTitle = title;
            // Cancel has no effect once the files are copied.
            if (c.cancelMeanwhile) SendMessageA(owner, WM_COMMAND, IDCANCEL, 0);
        });
        boxes.answer({c.answer});
        DialogDriver driver;
        driver.when(kSpaceText, [&](HWND dialog) { DialogDriver::press(dialog, IDOK); });
        EXPECT_EQ(runDialog(kDialogFolder, folderDialogProc), 0);

        std::string recorded;
        EXPECT_TRUE(key.readFolder(&recorded));
        EXPECT_EQ(recorded, programState.installFolder);
        EXPECT_EQ(directX.queries.load(), c.queried ? 1 : 0);
        const std::vector<RecordedMessageBox> shown = boxes.shown();
        ASSERT_EQ(shown.size() - before, c.asked ? 2u : 1u);  // and the success
        if (c.asked) {
            EXPECT_TRUE(isMessageBox(shown[before], shown[before].owner, "DirectSoundをインストールしますか？", "確認",
                                     MB_YESNO | MB_ICONQUESTION));
            EXPECT_TRUE(sameText(ownerTitle, "インストール中．．．"));
        }
        EXPECT_EQ(directX.runs.load(), c.ran ? 1 : 0);
        if (c.ran) {
            EXPECT_EQ(directX.runOwner, shown[before].owner);
            EXPECT_EQ(directX.runRoot, disc->folder() + "\\DATA\\");
            EXPECT_EQ(directX.runFlags, 2u);
        }
    }
    boxes.onShow(nullptr);
}

// The sample disc's stand-in DSETUP.dll itself, loaded from beside the tests.
TEST(StandInDirectXSetup, ReportsTheRecordedVersionAndRunsTheDiscsSetup) {
    HMODULE library = LoadLibraryA("DSETUP.dll");
    ASSERT_NE(library, nullptr);
    const auto getVersion = reinterpret_cast<decltype(&dsetupGetVersion)>(
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(kDsetupGetVersionOrdinal))));
    const auto run = reinterpret_cast<decltype(&dsetupRun)>(
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(kDsetupRunOrdinal))));
    ASSERT_TRUE(getVersion != nullptr && run != nullptr);

    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    char saved[64] = "";
    DWORD savedSize = sizeof saved;
    const bool hadValue = RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(saved),
                                           &savedSize) == ERROR_SUCCESS;
    const struct {
        const char* value;  // nullptr: no value
        DWORD version, revision;
    } versions[] = {{"4.09.00.0904", 0x00040009, 904}, {"4.02.0095", 0, 0}, {"4.x.00.0904", 0, 0},
                    {"4.09.00.0904 ", 0, 0},            {nullptr, 0, 0}};
    for (const auto& v : versions) {
        if (v.value != nullptr) {
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.value),
                           static_cast<DWORD>(strlen(v.value) + 1));
        } else {
            RegDeleteValueA(key, "Version");
        }
        DWORD version = 0xDEAD, revision = 0xBEEF;
        EXPECT_EQ(getVersion(&version, &revision), v.version != 0 ? TRUE : FALSE) << (v.value ? v.value : "none");
        EXPECT_EQ(version, v.version);
        EXPECT_EQ(revision, v.revision);
    }
    if (hadValue) RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
    RegCloseKey(key);

    // DXSETUP.EXE in the root: a program of the test's own that says where
    // it ran, and exits with 1 when it has nowhere to say it.
    TempDisc root;
    EXPECT_EQ(run(nullptr, (root.folder() + "\\").c_str(), 2), -1);  // nothing to run
    ASSERT_TRUE(CopyFileA(("Z:" + std::string(PROBE_EXE_PATH)).c_str(), root.path("DXSETUP.EXE").c_str(), FALSE));
    SetEnvironmentVariableA("PROBE_OUT", nullptr);
    EXPECT_EQ(run(nullptr, (root.folder() + "\\").c_str(), 2), 1);
    SetEnvironmentVariableA("PROBE_OUT", root.path("ran.txt").c_str());
    EXPECT_EQ(run(nullptr, root.folder().c_str(), 2), 0);
    SetEnvironmentVariableA("PROBE_OUT", nullptr);
    const std::string said = readAll(root.path("ran.txt"));
    EXPECT_EQ(said.substr(0, said.find('\n')), root.path("DXSETUP.EXE"));
    FreeLibrary(library);
}

}  // namespace
