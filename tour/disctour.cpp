// A tour of any disc: starts its SETUP.EXE and works it from outside through
// one install and one uninstall, knowing nothing beforehand but the disc. The
// game's name, the default folder, the record key and the copy list come from
// the disc's description file, read with the program's own walker.
//
//   disctour.exe [DISC] [--shots UNIXDIR]
//
// DISC defaults to $SETUP_TEST_CDROM. With --shots a picture of every screen
// goes into UNIXDIR, numbered in order: the launcher in install mode, the
// folder dialog, the progress dialog, the DirectSound question when the disc
// asks it (answered no), the completion box, the launcher in run/uninstall
// mode, the uninstall dialog, the save-file question (answered yes, so
// that the folder goes too), the uninstalled box and the launcher in install
// mode again. Checked: the installed
// tree is exactly what the copy list names, each file with its source's size
// and time, and the record names the folder; after the uninstall neither the
// tree, nor the folder, nor the record is left. Prints the install's time,
// from the start button to the completion box. A failing step prints its name
// and what was on screen, leaves failed-<step>.png in UNIXDIR or
// $SETUP_TEST_SHOTS and exits with 1.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "res/resource.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "tour/driver.h"

namespace {

constexpr DWORD kInstallTimeoutMs = 600000;  // a whole CD-ROM read at a slow drive's pace
constexpr char kFolderTitle[] = "インストールするフォルダの指定";
constexpr char kProgressTitle[] = "インストール中．．．";
constexpr char kInstalledText[] = "正常にインストールが行われました。";
constexpr char kDirectSoundText[] = "DirectSoundをインストールしますか？";
constexpr char kInsertDiscText[] = "ＣＤ－ＲＯＭを入れて下さい";

std::string gameName, defaultDir, recordKey, discFolder;

// Paths in upper case, as the file system compares them.
std::string folded(std::string path) {
    if (!path.empty()) CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
    return path;
}

ULONGLONG sizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// --- what the disc says ------------------------------------------------------------

struct Expected {
    std::string source;  // empty for a folder
    std::string path;    // as the walker composes it
};

// Every file and folder the copy list makes below the folder, by folded path.
struct Layout {
    std::map<std::string, Expected> entries;
    ULONGLONG bytes = 0;
};

bool addEntry(const CopyEntry& entry, void* context) {
    auto& layout = *static_cast<Layout*>(context);
    if (entry.targetPath == nullptr || entry.kind == CopyEntryKind::resetMarker) return true;
    Expected expected;
    expected.path = entry.targetPath;
    if (entry.kind == CopyEntryKind::file) {
        expect(entry.sourcePath != nullptr, std::string("the list's entry ") + entry.value + " has no source path");
        expected.source = entry.sourcePath;
        layout.bytes += sizeOf(expected.source);
    }
    layout.entries[folded(expected.path)] = expected;
    return true;
}

Layout layoutBelow(const std::string& discFolder, const std::string& folder) {
    Layout layout;
    const std::string programFolder = discFolder + "\\";
    (void)walkCopyListFrom(programFolder.c_str(), folder.c_str(), addEntry, &layout);  // addEntry never stops it
    return layout;
}

// --- what the disk and the registry hold ----------------------------------------------

// Everything below folder, each file and folder checked against the layout.
void compareTree(const std::string& folder, Layout& layout, unsigned& seen) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        const std::string path = folder + "\\" + found.cFileName;
        const auto listed = layout.entries.find(folded(path));
        expect(listed != layout.entries.end(), path + " is installed but not listed");
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        expect(isFolder == listed->second.source.empty(), path + (isFolder ? " is a folder" : " is a file"));
        ++seen;
        if (isFolder) {
            compareTree(path, layout, seen);
            continue;
        }
        const std::string& source = listed->second.source;
        expect(sizeOf(path) == sizeOf(source), path + " has another size than " + source);
        expect(lastWriteTime(path) == lastWriteTime(source), path + " has another time than " + source);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// --- windows of the program -----------------------------------------------------------

bool isLauncher(HWND window) { return GetDlgItem(window, IDC_STATUS) != nullptr; }
bool isBox(HWND window, const char* wanted) {
    return GetDlgItem(window, kBoxText) != nullptr && controlText(window, kBoxText) == wanted;
}

// The first file the copy list names that is not on the disc, with its key.
bool noteMissingSource(const CopyEntry& entry, void* context) {
    if (entry.kind != CopyEntryKind::file || entry.sourcePath == nullptr || exists(entry.sourcePath)) return true;
    char key[kKeySize];
    formatNumberedKey(NumberedKey::copyFile, entry.index, key);
    *static_cast<std::string*>(context) = std::string(entry.sourcePath) + ", " + key;
    return false;
}

// A dialog's title, and a message box's text; for the request for the disc,
// the listed file it is asked for.
std::string describe(HWND window) {
    std::string seen = " \"" + title(window) + "\"";
    if (GetDlgItem(window, kBoxText) != nullptr) seen += ": \"" + controlText(window, kBoxText) + "\"";
    if (isBox(window, kInsertDiscText)) {
        std::string missing;
        const std::string programFolder = discFolder + "\\";
        (void)walkCopyListFrom(programFolder.c_str(), nullptr, noteMissingSource, &missing);
        seen += missing.empty() ? " (every listed file is on the disc)"
                                : " (it asks for " + missing + ", listed but not on the disc)";
    }
    return seen;
}

// The program's dialogs as a line: what a failed wait shows.
std::string onScreen() {
    std::string seen;
    findDialog([&](HWND window) {
        seen += describe(window);
        return false;
    });
    return seen.empty() ? " nothing" : seen;
}

// Waits for the enabled dialog of the program that passes, failing at once
// when the program ends.
HWND await(const std::string& what, const std::function<bool(HWND)>& passes, DWORD timeoutMs = kStepTimeoutMs,
           DWORD pollMs = 10) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(pollMs)) {
        if (HWND dialog = findDialog([&](HWND w) { return IsWindowEnabled(w) && passes(w); })) return dialog;
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(setup.hProcess, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(setup.hProcess, &code))
            fail("SETUP.EXE ended with " + std::to_string(code) + " before the " + what + " appeared");
    }
    fail("no " + what + " appeared; on screen:" + onScreen());
}

// A picture once the program has drawn what it was doing: a dialog's
// controls are painted only after it is on screen, when the program's thread
// next finds its queue empty.
void screen(const char* name) {
    (void)WaitForInputIdle(setup.hProcess, 1000);  // a program busy for longer is pictured busy
    shot(name);
}

// --- the steps ------------------------------------------------------------------------------

std::string install(const std::string& discFolder) {
    begin("launcher in install mode");
    HWND launcher = await("launcher", isLauncher);
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "インストール" &&
               !IsWindowVisible(GetDlgItem(launcher, IDC_RUN)),
           "the launcher is not in install mode");
    screen("launcher-install");
    click(launcher, IDC_INSTALL_UNINSTALL);

    begin("folder dialog");
    HWND folderDialog = await("folder dialog", [](HWND w) { return title(w) == kFolderTitle; });
    const std::string folder = controlText(folderDialog, IDC_INSTALL_FOLDER);
    expect(folder.size() > defaultDir.size() + 1 &&
               folder.compare(folder.size() - defaultDir.size() - 1, std::string::npos, "\\" + defaultDir) == 0,
           "install folder \"" + folder + "\" for DEFAULT_DIR \"" + defaultDir + "\"");
    const ULONGLONG required = layoutBelow(discFolder, folder).bytes >> 20;
    const std::string space = controlText(folderDialog, IDC_SPACE),
                      tail = "必要容量  " + std::to_string(required) + " [MB]";
    expect(space.size() > tail.size() && space.compare(space.size() - tail.size(), tail.size(), tail) == 0,
           "space line \"" + space + "\" for " + std::to_string(required) + " MB listed");
    screen("folder-dialog");

    begin("progress dialog");
    LARGE_INTEGER frequency, pressed, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&pressed);
    click(folderDialog, IDOK);
    HWND progress = await("progress dialog", [](HWND w) { return title(w) == kProgressTitle; });
    // Mid-copy where the copy lasts long enough: a fifth of the way.
    HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
    const LRESULT fifth = SendMessageA(bar, PBM_GETRANGE, FALSE, 0) / 5;
    for (int i = 0; i < 3000 && IsWindow(progress) && SendMessageA(bar, PBM_GETPOS, 0, 0) <= fifth; ++i) Sleep(2);
    if (IsWindow(progress)) Sleep(110);  // the bar is repainted ten times a second
    screen("progress");

    begin("completion box");
    double questionSeconds = 0;
    HWND box = nullptr;
    // Any window but the two dialogs of the copy ends the wait, so that a box
    // saying why the install stopped does so at once. Polled gently: the copy
    // shares the window server with this driver.
    const auto copying = [](HWND w) { return isLauncher(w) || title(w) == kProgressTitle || title(w) == kFolderTitle; };
    while ((box = await(
                "completion box", [&](HWND w) { return !copying(w); }, kInstallTimeoutMs, 50)) != nullptr &&
           !isBox(box, kInstalledText)) {
        expect(isBox(box, kDirectSoundText), "the install stopped at" + describe(box));
        LARGE_INTEGER asked, answered;
        QueryPerformanceCounter(&asked);
        screen("directsound-question");
        click(box, IDNO);
        for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
        QueryPerformanceCounter(&answered);
        questionSeconds += static_cast<double>(answered.QuadPart - asked.QuadPart) / frequency.QuadPart;
    }
    QueryPerformanceCounter(&finished);
    expect(title(box) == gameName, "the completion box is captioned \"" + title(box) + "\"");
    screen("installed");
    click(box, IDOK);

    begin("launcher in run/uninstall mode");
    launcher = await("launcher", isLauncher);
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "ｱﾝｲﾝｽﾄｰﾙ" && IsWindowVisible(GetDlgItem(launcher, IDC_RUN)),
           "the launcher is not in run/uninstall mode");
    LSTATUS status = ERROR_SUCCESS;
    const std::string recorded = recordedFolder(recordKey, &status);
    expect(recorded == folder,
           "the record " + recordKey + " holds \"" + recorded + "\" (" + std::to_string(status) + ")");
    Layout layout = layoutBelow(discFolder, folder);
    unsigned seen = 0;
    compareTree(folder, layout, seen);
    expect(seen == layout.entries.size(), "the folder holds " + std::to_string(seen) + " of the " +
                                              std::to_string(layout.entries.size()) + " files and folders listed");
    screen("launcher-run-uninstall");
    std::printf("install: %.2f s from the start button to the completion box, %u files and folders, %.1f MiB\n",
                static_cast<double>(finished.QuadPart - pressed.QuadPart) / frequency.QuadPart - questionSeconds, seen,
                layout.bytes / 1048576.0);
    std::fflush(stdout);
    return folder;
}

void uninstall(const std::string& discFolder, const std::string& folder) {
    begin("uninstall dialog");
    click(await("launcher", isLauncher), IDC_INSTALL_UNINSTALL);
    HWND dialog = await("uninstall dialog", [](HWND w) { return title(w) == "アンインストール"; });
    expect(controlText(dialog, IDC_UNINSTALL_FOLDER) == folder,
           "the dialog shows \"" + controlText(dialog, IDC_UNINSTALL_FOLDER) + "\"");
    screen("uninstall-dialog");
    click(dialog, IDOK);

    begin("save-file question");
    HWND question = await("save-file question", [](HWND w) { return isBox(w, "セーブファイルを削除しますか？"); });
    screen("save-file-question");
    click(question, IDYES);

    begin("uninstalled box");
    HWND uninstalled = await("uninstalled box", [](HWND w) { return isBox(w, "アンインストールしました。"); });
    screen("uninstalled");
    click(uninstalled, IDOK);

    begin("launcher in install mode after the uninstall");
    HWND launcher = await("launcher", isLauncher);
    expect(controlText(launcher, IDC_INSTALL_UNINSTALL) == "インストール", "the launcher is not in install mode");
    expect(recordedFolder(recordKey).empty(), "the record is still there");
    for (const auto& entry : layoutBelow(discFolder, folder).entries)
        expect(!exists(entry.second.path), entry.second.path + " stays");
    expect(!exists(folder), folder + " stays");
    screen("launcher-install-again");

    begin("end");
    click(launcher, IDCANCEL);
    const DWORD code = waitForEnd();
    expect(code == 0, "SETUP.EXE ended with " + std::to_string(code));
}

std::string setupString(const char* key) {
    char value[kPathSize];
    readSetupString(key, value);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const char* drive = std::getenv("SETUP_TEST_CDROM");
    std::string disc = argc >= 2 && argv[1][0] != '-' ? argv[1] : drive != nullptr ? drive : "";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--shots") == 0) shots = argv[i + 1];
    }
    if (const char* folder = std::getenv("SETUP_TEST_SHOTS")) failures = folder;
    if (disc.empty()) {
        std::fprintf(stderr, "usage: disctour [DISC] [--shots UNIXDIR]; DISC defaults to $SETUP_TEST_CDROM\n");
        return 2;
    }
    if (disc.back() == '\\') disc.pop_back();

    begin("description file");
    const std::string program = disc + "\\" + kSetupProgramName;
    expect(deriveDescriptionPath(program.c_str()) && exists(programState.descriptionPath),
           "no description file beside " + program);
    gameName = setupString(kGameNameKey);
    defaultDir = setupString(kDefaultDirKey);
    recordKey = "Software\\" + setupString(kRegNameKey);
    expect(!isNoData(gameName.c_str()) && !isNoData(defaultDir.c_str()) && recordKey != "Software\\NoData",
           "GAME_NAME, DEFAULT_DIR or REG_NAME is missing");
    expect(recordedFolder(recordKey).empty(), "the game is installed already");

    begin("start");
    discFolder = disc;
    start(program, disc);
    uninstall(disc, install(disc));
    std::printf("PASS the tour of %s\n", disc.c_str());
    return 0;
}
