// The whole journey of a user, seen from outside: starts the real SETUP.EXE
// from a disc and works it through its windows only (window handles, control
// texts, BM_CLICK, the message boxes as they appear), checking the disk and
// the registry after each step:
//
//   install -> run/uninstall mode -> uninstall (keeping the saves) -> install
//   mode -> install again -> run: the sample game starts and SETUP.EXE ends.
//
//   journey.exe [DISC] [--shots UNIXDIR] [--japanese-names]
//
// DISC defaults to $SETUP_TEST_CDROM. With $SETUP_TEST_EJECT and
// $SETUP_TEST_INSERT (Unix commands) the disc in that drive is taken out
// before the first size walk and put back once the program asks for it.
// --japanese-names expects the sample game under the Japanese names of
// scripts/make-disc.py --japanese-names instead. Message boxes are read in
// UTF-16, as the user sees them, whatever the system code page. --shots saves a
// picture of every screen (ImageMagick's import, run as a Unix program) into
// UNIXDIR, numbered in order. A failing step prints its name, leaves
// failed-<step>.png in UNIXDIR or $SETUP_TEST_SHOTS, and exits with 1.
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

#include "res/resource.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr int kBrowserTree = 0x3741;  // the folder browser's tree view
constexpr int kBoxText = 0xFFFF;      // a message box's text

std::string shots, failures;  // Unix folders for pictures
bool touring = true;          // the second install takes no pictures
int shotNumber = 0;
std::string step = "start";
PROCESS_INFORMATION setup = {};

// --- the outside world ------------------------------------------------------------

// Wine neither waits for a Unix program nor hands back its exit code: the
// command leaves a mark when done, and callers look at what it did.
void runUnix(const std::string& command) {
    char mark[64];
    std::snprintf(mark, sizeof mark, "/tmp/journey-%lu-%lu.done", GetCurrentProcessId(), GetTickCount());
    std::string windowsMark = std::string("Z:") + mark;
    for (char& c : windowsMark) c = c == '/' ? '\\' : c;
    // Wine hands a Unix program its own form of PATH.
    std::string line = "Z:\\bin\\sh -c \"PATH=/usr/local/bin:/usr/bin:/bin; " + command + "; : > " + mark + "\"";
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

void picture(const std::string& folder, const std::string& name) {
    runUnix("import -window root '" + (folder.empty() ? "." : folder) + "/" + name + ".png'");
}

void shot(const std::string& name) {
    if (!touring || shots.empty()) return;
    char number[8];
    std::snprintf(number, sizeof number, "%02d-", ++shotNumber);
    picture(shots, number + name);
}

[[noreturn]] void fail(const std::string& detail) {
    std::printf("FAIL %s: %s\n", step.c_str(), detail.c_str());
    std::fflush(stdout);
    picture(shots.empty() ? failures : shots, "failed-" + step);
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
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// --- the sample as its description file and its files stand -------------------

std::string gameName = "サンプルアドベンチャー", defaultDir = "SampleAdventure",
            recordKey = "Software\\SampleAdventure", shortcutFolder = "サンプルアドベンチャー", exeName = "GAME.EXE";
// Each installed file: its source below the its place below the install folder.
struct InstalledFile { const char *source, *installed; };
std::vector<InstalledFile> files = {
    {"DATA\\GAME.EXE", "\\GAME.EXE"},       {"DATA\\GAME.DAT", "\\GAME.DAT"},
    {"DATA\\OPENING.DAT", "\\OPENING.DAT"}, {"DATA\\README.TXT", "\\README.TXT"},
    {"DATA\\TRACK01.WAV", "\\BGM\\TRACK01.WAV"}, {"DATA\\TRACK02.WAV", "\\BGM\\TRACK02.WAV"}};

// The same game whose every name has characters with a backslash byte (0x5C)
// second: ソ, 表, 能.
void useJapaneseNames() {
    gameName = defaultDir = shortcutFolder = "能力表ソフト";
    recordKey = "Software\\" + gameName;
    exeName = "能力表.EXE";
    files = {{"DATA\\能力表.EXE", "\\能力表.EXE"}, {"DATA\\ソフト表.DAT", "\\ソフト表.DAT"},
             {"DATA\\README.TXT", "\\README.TXT"}, {"DATA\\ソース.DAT", "\\表示\\ソース.DAT"}};
}
std::string discFolder;  // where SETUP.EXE lies

ULONGLONG totalBytes() {
    ULONGLONG total = 0;
    for (const auto& file : files) total += readFile(discFolder + "\\" + file.source).size();
    return total;
}

// --- windows of the program -----------------------------------------------------------

std::string text(HWND window) {
    char value[1024] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof value, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return value;
}

std::string controlText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

// A window's text as the system holds it, in UTF-16.
std::wstring wideText(HWND window) {
    wchar_t value[1024] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000, &length);
    return value;
}

std::wstring fromCodePage932(const std::string& text) {
    wchar_t value[1024] = L"";
    MultiByteToWideChar(932, 0, text.c_str(), -1, value, 1024);
    return value;
}

// A top-level window's title as the window manager keeps it: no message goes
// to the program, which the polling would otherwise keep busy.
std::string title(HWND window) {
    char value[256] = "";
    GetWindowTextA(window, value, sizeof value);
    return value;
}

// The first visible dialog of the program that passes the test.
HWND findDialog(const std::function<bool(HWND)>& passes) {
    std::pair<const std::function<bool(HWND)>*, HWND> search = {&passes, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<decltype(search)*>(context);
            DWORD process = 0;
            char name[16] = "";
            GetWindowThreadProcessId(window, &process);
            GetClassNameA(window, name, sizeof name);
            if (process != setup.dwProcessId || !IsWindowVisible(window) || lstrcmpA(name, "#32770") != 0 ||
                !(*s.first)(window))
                return TRUE;
            s.second = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND waitFor(const std::string& what, const std::function<bool(HWND)>& passes) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kStepTimeoutMs; Sleep(10)) {
        if (HWND dialog = findDialog(passes)) return dialog;
    }
    fail("no " + what + " appeared");
}

// The launcher shares its title with the boxes captioned with the game's
// name; its status text tells it apart.
HWND waitForDialog(const std::string& wanted, bool launcher = false) {
    HWND dialog = waitFor("window \"" + wanted + "\"", [&](HWND window) {
        return title(window) == wanted && (GetDlgItem(window, IDC_STATUS) != nullptr) == launcher;
    });
    // Settled: enabled again once a child dialog has gone.
    for (int i = 0; i < 500 && !IsWindowEnabled(dialog); ++i) Sleep(10);
    return dialog;
}

void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    expect(IsWindowVisible(button) && IsWindowEnabled(button), "button " + std::to_string(id) + " cannot be pressed");
    PostMessageA(button, BM_CLICK, 0, 0);
}

// Waits for the message box with this caption, checks its text and answers.
void answerBox(const std::string& caption, const std::string& expected, int button, const char* screen = nullptr) {
    HWND box = waitForDialog(caption);
    expect(wideText(GetDlgItem(box, kBoxText)) == fromCodePage932(expected),
           "the box \"" + caption + "\" says \"" + controlText(box, kBoxText) + "\"");
    if (screen != nullptr) shot(screen);
    click(box, button);
}

// --- what the disk and the registry hold ----------------------------------------------

std::string recordedFolder() {
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, recordKey.c_str(), "InstallFolder", RRF_RT_REG_SZ, nullptr,
                 value, &size);
    return value;
}

int linkCount() {
    char programs[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(programs) + "\\" + shortcutFolder + "\\*.lnk").c_str(), &found);
    int count = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) ++count;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return count;
}

// --- the steps ------------------------------------------------------------------------------

void start(const std::string& program, const std::string& folder) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    expect(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &setup) != FALSE,
           "cannot start " + program);
}

DWORD waitForEnd() {
    DWORD code = STILL_ACTIVE;
    expect(WaitForSingleObject(setup.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0, "the program did not end");
    GetExitCodeProcess(setup.hProcess, &code);
    return code;
}

// The disc taken out or put back, until the disc's files say so.
void changeDisc(const char* command, bool in) {
    runUnix(command);
    for (int i = 0; i < 500 && exists(discFolder + "\\SETUP.INI") != in; ++i) Sleep(10);
    expect(exists(discFolder + "\\SETUP.INI") == in, in ? "the disc is not back" : "the disc is still in");
}

std::string install(const char* eject, const char* insert) {
    begin("launcher in install mode");
    HWND launcher = waitForDialog(gameName, true);
    expect(controlText(launcher, IDC_STATUS) == gameName + "のインストールを行います", "status text");
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "インストール" && !IsWindowVisible(GetDlgItem(launcher, IDC_RUN)), "buttons");
    shot("launcher-install");
    if (eject != nullptr && insert != nullptr) {
        begin("asked for the disc");
        changeDisc(eject, false);
        click(launcher, IDC_INSTALL_UNINSTALL);
        waitForDialog("ディスクの交換");
        changeDisc(insert, true);
        answerBox("ディスクの交換", "ＣＤ－ＲＯＭを入れて下さい", IDOK);
    } else {
        click(launcher, IDC_INSTALL_UNINSTALL);
    }

    begin("folder dialog");
    HWND folderDialog = waitForDialog("インストールするフォルダの指定");
    const std::string folder = controlText(folderDialog, IDC_INSTALL_FOLDER);
    expect(folder == "C:\\Program Files\\" + defaultDir, "install folder \"" + folder + "\"");
    const std::string space = controlText(folderDialog, IDC_SPACE);
    const std::string required = "    必要容量  " + std::to_string(totalBytes() >> 20) + " [MB]";
    expect(space.rfind("空き容量  ", 0) == 0 && space.size() > required.size() &&
               space.compare(space.size() - required.size(), required.size(), required) == 0,
           "space line \"" + space + "\"");
    if (touring && !shots.empty()) {
        shot("folder-dialog");
        click(folderDialog, IDC_BROWSE);
        HWND browser = waitFor("folder browser", [](HWND w) { return GetDlgItem(w, kBrowserTree) != nullptr; });
        Sleep(500);  // the tree fills in
        shot("folder-browser");
        click(browser, IDCANCEL);
        for (int i = 0; i < 500 && !IsWindowEnabled(folderDialog); ++i) Sleep(10);
    }

    begin("progress dialog");
    click(folderDialog, IDOK);
    HWND bar = GetDlgItem(waitForDialog("インストール中．．．"), IDC_PROGRESS_BAR);
    // Mid-copy: a fifth of the way, and on screen (the bar is repainted ten
    // times a second).
    const LRESULT fifth = SendMessageA(bar, PBM_GETRANGE, FALSE, 0) / 5;
    for (int i = 0; i < 3000 && touring && !shots.empty() && SendMessageA(bar, PBM_GETPOS, 0, 0) <= fifth; ++i)
        Sleep(2);
    if (touring && !shots.empty()) Sleep(110);
    shot("progress");

    begin("completion box");
    answerBox(gameName, "正常にインストールが行われました。", IDOK, "installed");

    begin("launcher in run/uninstall mode");
    launcher = waitForDialog(gameName, true);
    expect(controlText(launcher, IDC_STATUS) == gameName + "の実行および\r\nアンインストールを行います", "status text");
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "ｱﾝｲﾝｽﾄｰﾙ" && IsWindowVisible(GetDlgItem(launcher, IDC_RUN)), "buttons");
    expect(recordedFolder() == folder, "the record holds \"" + recordedFolder() + "\"");
    for (const auto& file : files) {
        const std::string copy = folder + file.installed, source = discFolder + "\\" + file.source;
        expect(readFile(copy) == readFile(source), copy + " differs from its source");
        expect(lastWriteTime(copy) == lastWriteTime(source), copy + " has another time than its source");
    }
    expect(linkCount() >= 1, "no links in the Programs folder");
    shot("launcher-run-uninstall");
    return folder;
}

void uninstall(const std::string& folder) {
    begin("uninstall dialog");
    std::ofstream(folder + "\\SAVE00.DAT") << "a saved game";
    click(waitForDialog(gameName, true), IDC_INSTALL_UNINSTALL);
    HWND dialog = waitForDialog("アンインストール");
    expect(controlText(dialog, IDC_UNINSTALL_FOLDER) == folder, "the dialog shows \"" + controlText(dialog, IDC_UNINSTALL_FOLDER) + "\"");
    shot("uninstall-dialog");
    click(dialog, IDOK);

    begin("save-file question");
    answerBox("確認", "セーブファイルを削除しますか？", IDNO, "save-file-question");
    begin("uninstalled box");
    answerBox(gameName, "アンインストールしました。", IDOK);

    begin("launcher in install mode after the uninstall");
    expect(controlText(waitForDialog(gameName, true), IDC_INSTALL_UNINSTALL) == "インストール", "install button text");
    expect(recordedFolder().empty(), "the record is still there");
    for (const auto& file : files) expect(!exists(folder + file.installed), folder + file.installed + " stays");
    expect(linkCount() == 0, "links stay in the Programs folder");
    expect(exists(folder + "\\SAVE00.DAT"), "the save file went");
}

void run(const std::string& folder) {
    begin("run");
    click(waitForDialog(gameName, true), IDC_RUN);
    HWND game = nullptr;
    for (const DWORD start = GetTickCount(); game == nullptr; Sleep(10)) {
        // By its class alone: the sample game asks for no code page of its
        // own, so under another system code page its Japanese title is garbled.
        game = FindWindowA("SampleAdventureMain", nullptr);
        expect(GetTickCount() - start < kStepTimeoutMs, "the game's window did not appear");
    }
    const DWORD code = waitForEnd();
    expect(code == 0, "SETUP.EXE ended with " + std::to_string(code));
    DWORD gameProcess = 0;
    GetWindowThreadProcessId(game, &gameProcess);
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, gameProcess);
    QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    expect(lstrcmpiA(path, (folder + "\\" + exeName).c_str()) == 0, std::string("the game runs from ") + path);
    Sleep(300);
    shot("game");
    PostMessageA(game, WM_CLOSE, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const char* drive = std::getenv("SETUP_TEST_CDROM");
    std::string folder = argc >= 2 && argv[1][0] != '-' ? argv[1] : drive != nullptr ? drive : "";
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--shots") == 0) shots = argv[i + 1];
        if (std::strcmp(argv[i], "--japanese-names") == 0) useJapaneseNames();
    }
    if (const char* folder = std::getenv("SETUP_TEST_SHOTS")) failures = folder;
    if (folder.empty()) {
        std::fprintf(stderr, "usage: journey [DISC] [--shots UNIXDIR]; DISC defaults to $SETUP_TEST_CDROM\n");
        return 2;
    }
    if (folder.back() == '\\') folder.pop_back();
    discFolder = folder;
    expect(exists(discFolder + "\\SETUP.INI"), "no description file on " + discFolder);

    start(discFolder + "\\SETUP.EXE", discFolder);
    // Only the disc in the drive can be taken out.
    const bool inDrive = drive != nullptr && lstrcmpiA(folder.c_str(), drive) == 0;
    std::string installed = install(inDrive ? std::getenv("SETUP_TEST_EJECT") : nullptr,
                                    inDrive ? std::getenv("SETUP_TEST_INSERT") : nullptr);
    uninstall(installed);
    touring = false;
    installed = install(nullptr, nullptr);
    touring = true;
    run(installed);
    std::printf("PASS the whole journey\n");
    return 0;
}
