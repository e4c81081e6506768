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
#include "tour/driver.h"

namespace {

constexpr int kBrowserTree = 0x3741;  // the folder browser's tree view

// --- the sample as its description file and its files stand -------------------

std::string gameName = "サンプルアドベンチャー", defaultDir = "SampleAdventure",
            recordKey = "Software\\SampleAdventure", shortcutFolder = "サンプルアドベンチャー", exeName = "GAME.EXE";
// Each installed file: its source below the its place below the install folder.
struct InstalledFile {
    const char *source, *installed;
};
std::vector<InstalledFile> files = {{"DATA\\GAME.EXE", "\\GAME.EXE"},
                                    {"DATA\\GAME.DAT", "\\GAME.DAT"},
                                    {"DATA\\OPENING.DAT", "\\OPENING.DAT"},
                                    {"DATA\\README.TXT", "\\README.TXT"},
                                    {"DATA\\TRACK01.WAV", "\\BGM\\TRACK01.WAV"},
                                    {"DATA\\TRACK02.WAV", "\\BGM\\TRACK02.WAV"}};

// The same game whose every name has characters with a backslash byte (0x5C)
// second: ソ, 表, 能.
void useJapaneseNames() {
    gameName = defaultDir = shortcutFolder = "能力表ソフト";
    recordKey = "Software\\" + gameName;
    exeName = "能力表.EXE";
    files = {{"DATA\\能力表.EXE", "\\能力表.EXE"},
             {"DATA\\ソフト表.DAT", "\\ソフト表.DAT"},
             {"DATA\\README.TXT", "\\README.TXT"},
             {"DATA\\ソース.DAT", "\\表示\\ソース.DAT"}};
}
std::string discFolder;  // where SETUP.EXE lies

ULONGLONG totalBytes() {
    ULONGLONG total = 0;
    for (const auto& file : files) total += readFile(discFolder + "\\" + file.source).size();
    return total;
}

// --- what the disk and the registry hold ----------------------------------------------

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
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "インストール" &&
               !IsWindowVisible(GetDlgItem(launcher, IDC_RUN)),
           "buttons");
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
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "ｱﾝｲﾝｽﾄｰﾙ" && IsWindowVisible(GetDlgItem(launcher, IDC_RUN)),
           "buttons");
    expect(recordedFolder(recordKey) == folder, "the record holds \"" + recordedFolder(recordKey) + "\"");
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
    expect(controlText(dialog, IDC_UNINSTALL_FOLDER) == folder,
           "the dialog shows \"" + controlText(dialog, IDC_UNINSTALL_FOLDER) + "\"");
    shot("uninstall-dialog");
    click(dialog, IDOK);

    begin("save-file question");
    answerBox("確認", "セーブファイルを削除しますか？", IDNO, "save-file-question");
    begin("uninstalled box");
    answerBox(gameName, "アンインストールしました。", IDOK);

    begin("launcher in install mode after the uninstall");
    expect(controlText(waitForDialog(gameName, true), IDC_INSTALL_UNINSTALL) == "インストール", "install button text");
    expect(recordedFolder(recordKey).empty(), "the record is still there");
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
