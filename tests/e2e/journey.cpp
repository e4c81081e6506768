// The whole journey of a user, seen from outside: starts the real SETUP.EXE
// from a disc and works it through its windows only (window handles, control
// texts, BM_CLICK, the message boxes as they appear), checking the disk and
// the registry after each step:
//
//   install -> run/uninstall mode -> uninstall (keeping the saves) -> install
//   mode -> install again -> run: the sample game starts and SETUP.EXE ends.
//
//   journey.exe DISC [--shots UNIXDIR] [--eject CMD --insert CMD]
//
// For the benchmark command it also times, printing seconds:
//   journey.exe DISC --time-install    one install, from the start button to
//                                      the completion box; then the record goes
//   journey.exe --time-start PROGRAM   from starting PROGRAM to its first
//                                      dialog on screen; then it is cancelled
//
// --shots saves one picture per screen (ImageMagick's import, run as a Unix
// program) into UNIXDIR, numbered in order; without it, only a failure leaves
// a picture, in $SETUP_TEST_SHOTS. --eject and --insert are Unix
// commands that take the disc out and put it back: the disc is taken out
// before the folder dialog's size walk, and put back once the program asks
// for it. A failing step prints its name, leaves a picture of the screen
// (failed-<step>.png, in UNIXDIR or the current folder) and exits with 1.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr int kBrowserTree = 0x3741;  // the folder browser's tree view

std::string shotsFolder;    // a Unix path: a picture of every screen goes there
std::string failureFolder;  // a Unix path for the picture of a failure
int shotNumber = 0;
std::string step = "start";
PROCESS_INFORMATION setup = {};

// --- the outside world -------------------------------------------------------------

// Runs a Unix command line and waits for it to end. Wine neither waits for a
// Unix program nor hands back its exit code, so the command leaves a mark
// when done, and callers look at what it did.
void runUnix(const std::string& commandLine) {
    char mark[64];
    std::snprintf(mark, sizeof mark, "/tmp/journey-%lu-%lu.done", GetCurrentProcessId(), GetTickCount());
    std::string windowsMark = std::string("Z:") + mark;
    for (char& c : windowsMark) c = c == '/' ? '\\' : c;
    // Wine hands a Unix program its own form of PATH.
    std::string line = "Z:\\bin\\sh -c \"PATH=/usr/local/bin:/usr/bin:/bin; " + commandLine + "; : > " + mark + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 6000 && GetFileAttributesA(windowsMark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    DeleteFileA(windowsMark.c_str());
}

void picture(const std::string& name) {
    const std::string folder = !shotsFolder.empty() ? shotsFolder : !failureFolder.empty() ? failureFolder : ".";
    runUnix("import -window root '" + folder + "/" + name + ".png'");
}

void shot(const std::string& name) {
    if (shotsFolder.empty()) return;
    char number[8];
    std::snprintf(number, sizeof number, "%02d-", ++shotNumber);
    picture(number + name);
}

[[noreturn]] void fail(const std::string& detail) {
    std::printf("FAIL %s: %s\n", step.c_str(), detail.c_str());
    std::fflush(stdout);
    picture("failed-" + step);
    if (setup.hProcess != nullptr) TerminateProcess(setup.hProcess, 99);
    ExitProcess(1);
}

void expect(bool condition, const std::string& detail) {
    if (!condition) fail(detail);
}

void begin(const std::string& name) {
    step = name;
    std::printf("step %s\n", name.c_str());
    std::fflush(stdout);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// --- the disc's description file --------------------------------------------------

struct Disc {
    std::string folder, ini;
    std::string gameName, defaultDir, regName, copyDir, shortcutFolder, exeName;
    struct File {
        std::string source, relative;  // relative: below the install folder
    };
    std::vector<File> files;
    ULONGLONG totalBytes = 0;
};

std::string setting(const Disc& disc, const std::string& key) {
    char value[1024];
    GetPrivateProfileStringA("InstallInfo", key.c_str(), "NoData", value, sizeof value, disc.ini.c_str());
    return value;
}

Disc readDisc(const std::string& folder) {
    Disc disc;
    disc.folder = folder;
    disc.ini = folder + "\\SETUP.INI";
    disc.gameName = setting(disc, "GAME_NAME");
    disc.defaultDir = setting(disc, "DEFAULT_DIR");
    disc.regName = setting(disc, "REG_NAME");
    disc.exeName = setting(disc, "EXE_NAME");
    disc.copyDir = setting(disc, "COPYDIR");
    if (disc.copyDir == "NoData") disc.copyDir.clear();
    disc.shortcutFolder = setting(disc, "SHORTCATDIR_01");
    std::string subfolder;
    for (int index = 0;; ++index) {
        char key[32];
        std::snprintf(key, sizeof key, "COPYFILE_%03d", index);
        const std::string entry = setting(disc, key);
        if (entry == "NoData") break;
        if (entry == "\\") {
            subfolder.clear();
        } else if (entry[0] == '\\') {
            subfolder = entry;
        } else {
            const std::string source = folder + "\\" + disc.copyDir + entry;
            disc.files.push_back({source, subfolder + "\\" + entry});
            disc.totalBytes += readFile(source).size();
        }
    }
    return disc;
}

// --- windows of the program -------------------------------------------------------

std::string className(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string text(HWND window) {
    char value[1024] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof value, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return value;
}

std::string controlText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

// The first visible top-level window of process id, of the class given, that
// passes the test.
HWND findWindow(DWORD processId, const std::string& windowClass, const std::function<bool(HWND)>& passes) {
    struct Search {
        DWORD processId;
        const std::string* windowClass;
        const std::function<bool(HWND)>* passes;
        HWND found;
    } search = {processId, &windowClass, &passes, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s.processId || !IsWindowVisible(window) || className(window) != *s.windowClass) return TRUE;
            if (!(*s.passes)(window)) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const std::string& what, const std::function<bool(HWND)>& passes) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = findWindow(setup.dwProcessId, "#32770", passes)) return window;
        if (GetTickCount() - start > kStepTimeoutMs) fail("no " + what + " appeared");
        Sleep(10);
    }
}

// A dialog of the program with this title; the launcher shares its title with
// the boxes captioned with the game's name, and is told apart by its status text.
HWND waitForDialog(const std::string& title, bool launcher = false) {
    return waitForWindow("window \"" + title + "\"", [&](HWND window) {
        return text(window) == title && (GetDlgItem(window, 1010) != nullptr) == launcher;
    });
}

// The launcher: the dialog owned by the backdrop window (class "SETUP").
HWND waitForLauncher(const Disc& disc) {
    HWND launcher = waitForDialog(disc.gameName, true);
    expect(className(GetWindow(launcher, GW_OWNER)) == "SETUP", "the launcher is not owned by the backdrop");
    // Settled: enabled again once a child dialog has gone.
    for (int i = 0; i < 500 && !IsWindowEnabled(launcher); ++i) Sleep(10);
    return launcher;
}

void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    expect(button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button),
           "button " + std::to_string(id) + " cannot be pressed");
    PostMessageA(button, BM_CLICK, 0, 0);
}

// Waits for the message box with this caption, checks its text and answers.
void answerBox(const std::string& caption, const std::string& expected, int button, const std::string& picture = "") {
    HWND box = waitForDialog(caption);
    std::string shown;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            if (className(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
                const std::string value = text(child);
                if (!value.empty()) *reinterpret_cast<std::string*>(out) = value;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    expect(shown == expected, "the box \"" + caption + "\" says \"" + shown + "\"");
    if (!picture.empty()) shot(picture);
    click(box, button);
}

// --- what the disk and the registry hold ---------------------------------------------

std::string recordedFolder(const Disc& disc) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\" + disc.regName).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    RegQueryValueExA(key, "InstallFolder", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return value;
}

std::string programsFolder() {
    char folder[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAMS, FALSE);
    return folder;
}

int linkCount(const Disc& disc) {
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((programsFolder() + "\\" + disc.shortcutFolder + "\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do ++count;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

void expectInstalled(const Disc& disc, const std::string& folder) {
    expect(recordedFolder(disc) == folder, "the record holds \"" + recordedFolder(disc) + "\"");
    for (const Disc::File& file : disc.files) {
        const std::string copy = folder + file.relative;
        expect(readFile(copy) == readFile(file.source), copy + " differs from its source");
        expect(lastWriteTime(copy) == lastWriteTime(file.source), copy + " has another time than its source");
    }
    expect(linkCount(disc) >= 1, "no links in the Programs folder");
}

// --- the steps --------------------------------------------------------------------------

void startSetup(const Disc& disc) {
    std::string program = disc.folder + "\\SETUP.EXE";
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    expect(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, disc.folder.c_str(),
                          &startup, &setup) != FALSE,
           "cannot start " + program);
}

std::string install(const Disc& disc, bool tour, const std::string& eject, const std::string& insert) {
    begin("launcher in install mode");
    HWND launcher = waitForLauncher(disc);
    expect(controlText(launcher, 1010) == disc.gameName + "のインストールを行います", "status text");
    expect(controlText(launcher, 1002) == "インストール", "install button text");
    expect(!IsWindowVisible(GetDlgItem(launcher, 1003)), "the run button is shown");
    if (tour) shot("launcher-install");

    if (!eject.empty()) {
        begin("disc taken out");
        runUnix(eject);
        for (int i = 0; i < 500 && exists(disc.ini); ++i) Sleep(10);
        expect(!exists(disc.ini), "the disc is still in");
    }
    click(launcher, 1002);
    if (!eject.empty()) {
        begin("asked for the disc");
        (void)waitForDialog("ディスクの交換");
        runUnix(insert);
        for (int i = 0; i < 500 && !exists(disc.ini); ++i) Sleep(10);
        expect(exists(disc.ini), "the disc is not back");
        answerBox("ディスクの交換", "ＣＤ－ＲＯＭを入れて下さい", IDOK);
    }

    begin("folder dialog");
    HWND folderDialog = waitForDialog("インストールするフォルダの指定");
    const std::string folder = controlText(folderDialog, 1008);
    expect(folder == "C:\\Program Files\\" + disc.defaultDir, "install folder \"" + folder + "\"");
    const std::string space = controlText(folderDialog, 1009);
    const std::string required = "    必要容量  " + std::to_string(disc.totalBytes >> 20) + " [MB]";
    expect(space.rfind("空き容量  ", 0) == 0 && space.size() > required.size() &&
               space.compare(space.size() - required.size(), required.size(), required) == 0,
           "space line \"" + space + "\"");
    if (tour) {
        shot("folder-dialog");
        begin("folder browser");
        click(folderDialog, 1007);
        HWND browser =
            waitForWindow("folder browser", [](HWND window) { return GetDlgItem(window, kBrowserTree) != nullptr; });
        Sleep(500);  // the tree fills in
        shot("folder-browser");
        click(browser, IDCANCEL);
        for (int i = 0; i < 500 && !IsWindowEnabled(folderDialog); ++i) Sleep(10);
    }

    begin("progress dialog");
    click(folderDialog, IDOK);
    HWND progress = waitForDialog("インストール中．．．");
    if (tour) {
        HWND bar = GetDlgItem(progress, 1001);
        const LRESULT top = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
        for (int i = 0; i < 3000; ++i) {
            const LRESULT at = SendMessageA(bar, PBM_GETPOS, 0, 0);
            if (at > top / 5) break;
            Sleep(2);
        }
        shot("progress");
    }

    begin("completion box");
    answerBox(disc.gameName, "正常にインストールが行われました。", IDOK, tour ? "installed" : "");

    begin("launcher in run/uninstall mode");
    launcher = waitForLauncher(disc);
    expect(controlText(launcher, 1010) == disc.gameName + "の実行および\r\nアンインストールを行います", "status text");
    expect(controlText(launcher, 1002) == "ｱﾝｲﾝｽﾄｰﾙ", "uninstall button text");
    expect(IsWindowVisible(GetDlgItem(launcher, 1003)) != FALSE, "the run button is hidden");
    expectInstalled(disc, folder);
    if (tour) shot("launcher-run-uninstall");
    return folder;
}

void uninstall(const Disc& disc, const std::string& folder, bool tour) {
    begin("uninstall dialog");
    // The game has saved once.
    std::ofstream(folder + "\\SAVE00.DAT") << "a saved game";
    click(waitForLauncher(disc), 1002);
    HWND dialog = waitForDialog("アンインストール");
    expect(controlText(dialog, 1006) == folder, "the dialog shows \"" + controlText(dialog, 1006) + "\"");
    if (tour) shot("uninstall-dialog");
    click(dialog, IDOK);

    begin("save-file question");
    answerBox("確認", "セーブファイルを削除しますか？", IDNO, tour ? "save-file-question" : "");
    begin("uninstalled box");
    answerBox(disc.gameName, "アンインストールしました。", IDOK);

    begin("launcher in install mode after the uninstall");
    HWND launcher = waitForLauncher(disc);
    expect(controlText(launcher, 1002) == "インストール", "install button text");
    expect(recordedFolder(disc).empty(), "the record is still there");
    for (const Disc::File& file : disc.files) expect(!exists(folder + file.relative), folder + file.relative + " stays");
    expect(linkCount(disc) == 0, "links stay in the Programs folder");
    expect(exists(folder + "\\SAVE00.DAT"), "the save file went");
}

void run(const Disc& disc, const std::string& folder, bool tour) {
    begin("run");
    click(waitForLauncher(disc), 1003);
    HWND game = nullptr;
    const DWORD start = GetTickCount();
    while (game == nullptr) {
        EnumWindows(
            [](HWND window, LPARAM out) -> BOOL {
                if (IsWindowVisible(window) && text(window) == "サンプルアドベンチャー" &&
                    className(window) == "SampleAdventureMain") {
                    *reinterpret_cast<HWND*>(out) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&game));
        expect(GetTickCount() - start < kStepTimeoutMs, "the game's window did not appear");
        Sleep(10);
    }
    expect(WaitForSingleObject(setup.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0, "SETUP.EXE did not end");
    DWORD code = 1;
    GetExitCodeProcess(setup.hProcess, &code);
    expect(code == 0, "SETUP.EXE ended with " + std::to_string(code));
    DWORD gameProcess = 0;
    GetWindowThreadProcessId(game, &gameProcess);
    char path[MAX_PATH] = "";
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, gameProcess)) {
        DWORD size = MAX_PATH;
        QueryFullProcessImageNameA(process, 0, path, &size);
        CloseHandle(process);
    }
    expect(lstrcmpiA(path, (folder + "\\" + disc.exeName).c_str()) == 0, std::string("the game runs from ") + path);
    if (tour) {
        Sleep(300);
        shot("game");
    }
    PostMessageA(game, WM_CLOSE, 0, 0);
}

double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void endSetup() {
    expect(WaitForSingleObject(setup.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0, "the program did not end");
    CloseHandle(setup.hThread);
    CloseHandle(setup.hProcess);
}

int timeInstall(const Disc& disc) {
    startSetup(disc);
    begin("timed install");
    click(waitForLauncher(disc), 1002);
    HWND folderDialog = waitForDialog("インストールするフォルダの指定");
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    click(folderDialog, IDOK);
    HWND box = waitForDialog(disc.gameName);
    const double seconds = secondsSince(start);
    click(box, IDOK);
    click(waitForLauncher(disc), IDCANCEL);
    endSetup();
    RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + disc.regName).c_str());
    std::printf("%.3f\n", seconds);
    return 0;
}

int timeStart(const std::string& program) {
    begin("timed start");
    std::string folder = program.substr(0, program.find_last_of('\\'));
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    expect(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &setup) != FALSE,
           "cannot start " + program);
    HWND dialog = nullptr;
    while ((dialog = findWindow(setup.dwProcessId, "#32770", [](HWND) { return true; })) == nullptr) {
        expect(secondsSince(start) < 30, "no dialog appeared");
        Sleep(1);
    }
    const double seconds = secondsSince(start);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    endSetup();
    std::printf("%.4f\n", seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--time-start") == 0) return timeStart(argv[2]);
    if (argc == 3 && std::strcmp(argv[2], "--time-install") == 0) return timeInstall(readDisc(argv[1]));
    // Without arguments: the disc the test command put in its CD-ROM drive.
    const char* drive = std::getenv("SETUP_TEST_CDROM");
    std::string discFolder = argc >= 2 && argv[1][0] != '-' ? argv[1] : drive != nullptr ? drive : "";
    if (discFolder.empty()) {
        std::fprintf(stderr, "usage: journey [DISC] [--shots UNIXDIR] [--eject CMD --insert CMD]\n"
                             "DISC defaults to $SETUP_TEST_CDROM, the commands to $SETUP_TEST_EJECT and"
                             " $SETUP_TEST_INSERT\n");
        return 2;
    }
    if (discFolder.back() == '\\') discFolder.pop_back();
    if (const char* folder = std::getenv("SETUP_TEST_SHOTS")) failureFolder = folder;
    std::string eject = std::getenv("SETUP_TEST_EJECT") != nullptr ? std::getenv("SETUP_TEST_EJECT") : "";
    std::string insert = std::getenv("SETUP_TEST_INSERT") != nullptr ? std::getenv("SETUP_TEST_INSERT") : "";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--shots") == 0) shotsFolder = argv[++i];
        else if (std::strcmp(argv[i], "--eject") == 0) eject = argv[++i];
        else if (std::strcmp(argv[i], "--insert") == 0) insert = argv[++i];
    }
    const bool tour = !shotsFolder.empty();
    const Disc disc = readDisc(discFolder);
    expect(disc.gameName != "NoData" && !disc.files.empty(), "no description file on " + disc.folder);

    startSetup(disc);
    std::string folder = install(disc, tour, eject, insert);
    uninstall(disc, folder, tour);
    folder = install(disc, false, "", "");
    run(disc, folder, tour);
    CloseHandle(setup.hThread);
    CloseHandle(setup.hProcess);
    std::printf("PASS the whole journey\n");
    return 0;
}
