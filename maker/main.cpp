// SETUPMK.EXE: makes a whole disc from a game folder in one command, then
// checks it with SETUPCHK's rules and reports in SETUPCHK's form. Exit code 0
// for a disc without errors, 1 for a disc written with errors, 2 for bad
// arguments or unreadable input, when nothing is written.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "maker/maker.h"
#include "report/console.h"
#include "report/disccheck.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupnames.h"
#include "setupdata/splashfile.h"
#include "setupdata/text.h"

namespace {

constexpr char kUsage[] =
    "使い方: SETUPMK.EXE --name ゲーム名 --exe ファイル [--dir 名前] [--reg 名前]\r\n"
    "                   [--shortcut 名前=ファイル [--description 説明] [--icon ファイル[,番号]]]...\r\n"
    "                   [--shortcut-folder 名前] [--directx フォルダ] [--splash N=BMPファイル]...\r\n"
    "                   [--program フォルダ] [--left-out ファイル]... [--no-autorun] [--json]\r\n"
    "                   ゲームのフォルダ ディスクのフォルダ\r\n"
    "ディスクのフォルダは無いか空でなければなりません。\r\n";

struct Arguments {
    const wchar_t* name = nullptr;
    const wchar_t* exe = nullptr;
    const wchar_t* dir = nullptr;
    const wchar_t* reg = nullptr;
    const wchar_t* shortcutFolder = nullptr;
    const wchar_t* directx = nullptr;
    const wchar_t* program = nullptr;
    const wchar_t* splash[kSplashSlots] = {};
    const wchar_t* gameFolder = nullptr;
    const wchar_t* discFolder = nullptr;
    // --shortcut, --description and --icon in order: each of the latter two
    // belongs to the --shortcut before it.
    const wchar_t* shortcutArguments[3 * 100][2] = {};
    int shortcutArgumentCount = 0;
    std::vector<const wchar_t*> leftOut;  // --left-out: files of the game the system does not list
    bool noAutorun = false;
};

// Reads the command line; false when it is wrong.
bool parseArguments(wchar_t** argv, int argc, Arguments& a, Report& report, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        if (takeReportOption(arg, report, help)) continue;
        if (lstrcmpW(arg, L"--no-autorun") == 0) {
            a.noAutorun = true;
            continue;
        }
        if (arg[0] != L'-') {
            if (a.gameFolder == nullptr) {
                a.gameFolder = arg;
            } else if (a.discFolder == nullptr) {
                a.discFolder = arg;
            } else {
                return false;
            }
            continue;
        }
        if (i + 1 >= argc) return false;
        const wchar_t* value = argv[++i];
        const wchar_t** single = nullptr;
        if (lstrcmpW(arg, L"--name") == 0) single = &a.name;
        if (lstrcmpW(arg, L"--exe") == 0) single = &a.exe;
        if (lstrcmpW(arg, L"--dir") == 0) single = &a.dir;
        if (lstrcmpW(arg, L"--reg") == 0) single = &a.reg;
        if (lstrcmpW(arg, L"--shortcut-folder") == 0) single = &a.shortcutFolder;
        if (lstrcmpW(arg, L"--directx") == 0) single = &a.directx;
        if (lstrcmpW(arg, L"--program") == 0) single = &a.program;
        if (single != nullptr) {
            if (*single != nullptr) return false;
            *single = value;
        } else if (lstrcmpW(arg, L"--left-out") == 0) {
            a.leftOut.push_back(value);
        } else if (lstrcmpW(arg, L"--splash") == 0) {
            const int slot = value[0] - L'0';
            if (slot < 0 || slot >= kSplashSlots || value[1] != L'=' || value[2] == L'\0' || a.splash[slot] != nullptr)
                return false;
            a.splash[slot] = value + 2;
        } else if (lstrcmpW(arg, L"--shortcut") == 0 || lstrcmpW(arg, L"--description") == 0 ||
                   lstrcmpW(arg, L"--icon") == 0) {
            const bool belongs = lstrcmpW(arg, L"--shortcut") == 0 || a.shortcutArgumentCount > 0;
            if (!belongs || a.shortcutArgumentCount == static_cast<int>(std::size(a.shortcutArguments))) return false;
            a.shortcutArguments[a.shortcutArgumentCount][0] = arg;
            a.shortcutArguments[a.shortcutArgumentCount++][1] = value;
        } else {
            return false;
        }
    }
    return help || (a.name != nullptr && a.exe != nullptr && a.gameFolder != nullptr && a.discFolder != nullptr);
}

// The problems of a made disc's inputs: each is told, and any means that
// nothing is written.
struct Problems {
    Report& report;
    bool any;
};

void problem(Problems& problems, const char* key, std::initializer_list<const char*> parts) {
    printError(problems.report, "argument", key, parts);
    problems.any = true;
}

// An option's text in code page 932 that the profile reader gives back unchanged.
bool takeText(Problems& problems, const char* option, const wchar_t* value, char* text, int size) {
    if (!toAnsiText(value, text, size)) {
        problem(problems, option, {"長すぎるか、コードページ 932 で表せない文字を含みます"});
        return false;
    }
    if (text[0] == '\0' || !survivesAsValue(text)) {
        problem(problems, option,
                {"空か、前後に空白があるか、引用符で囲まれていて、SETUP.EXE にはそのまま読まれません"});
        return false;
    }
    return true;
}
template <int N>
bool takeText(Problems& problems, const char* option, const wchar_t* value, char (&text)[N]) {
    return takeText(problems, option, value, text, N);
}

// A folder argument in full, which must exist unless it is the disc's.
bool takeFolder(Problems& problems, const char* option, const wchar_t* value, wchar_t (&folder)[kPathSize],
                bool mustExist) {
    const DWORD length = GetFullPathNameW(value, kPathSize, folder, nullptr);
    if (length == 0 || length >= kPathSize) {
        problem(problems, option, {"フォルダのパスが長すぎます"});
        return false;
    }
    // No trailing backslash: paths are composed below it.
    const size_t end = std::wcslen(folder);
    if (end > 3 && folder[end - 1] == L'\\') folder[end - 1] = L'\0';
    const DWORD attributes = GetFileAttributesW(folder);
    if (mustExist && (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)) {
        problem(problems, option, {"フォルダがないか、読めません"});
        return false;
    }
    return true;
}

bool isEmptyOrMissingFolder(const wchar_t* folder) {
    const DWORD attributes = GetFileAttributesW(folder);
    // Not there: it is made when the disc is written, which says so when it cannot be.
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    const std::wstring pattern = std::wstring(folder) + L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    bool empty = true;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more && empty; more = FindNextFileW(search, &found)) {
        empty = lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return empty;
}

// An installed file named by an option, relative to the install folder.
int takeInstalledFile(Problems& problems, const char* option, const wchar_t* value, const std::vector<TreeItem>& game) {
    char name[kPathSize];
    if (!takeText(problems, option, value, name)) return -1;
    const int item = findItem(game, name);
    if (item < 0 || game[static_cast<size_t>(item)].folder) {
        problem(problems, option, {name, " はゲームのフォルダにあるファイルではありません"});
        return -1;
    }
    return item;
}

void takeShortcuts(Problems& problems, const Arguments& a, const std::vector<TreeItem>& game, int exe,
                   MakerOptions& options) {
    for (int i = 0; i < a.shortcutArgumentCount; ++i) {
        const wchar_t* option = a.shortcutArguments[i][0];
        const wchar_t* value = a.shortcutArguments[i][1];
        if (lstrcmpW(option, L"--shortcut") == 0) {
            ShortcutOption shortcut = {};
            const wchar_t* equals = std::wcschr(value, L'=');
            // Whole: a name too long for the program is refused as such, never cut.
            const std::wstring name(value, equals != nullptr ? equals : value);
            const int target = equals != nullptr ? takeInstalledFile(problems, "--shortcut", equals + 1, game) : -1;
            if (equals == nullptr) problem(problems, "--shortcut", {"名前=ファイル の形で指定してください"});
            if (takeText(problems, "--shortcut", name.c_str(), shortcut.name) && !isPlainName(shortcut.name)) {
                problem(problems, "--shortcut", {shortcut.name, " はショートカットの名前に使えません"});
            }
            if (target >= 0) copyText(shortcut.target, game[static_cast<size_t>(target)].name);
            options.shortcuts.push_back(shortcut);
        } else if (lstrcmpW(option, L"--description") == 0) {
            takeText(problems, "--description", value, options.shortcuts.back().description);
        } else {
            std::wstring file(value);
            const size_t comma = file.rfind(L',');
            if (comma != std::wstring::npos) {
                options.shortcuts.back().iconNumber =
                    static_cast<int>(std::wcstol(file.c_str() + comma + 1, nullptr, 10));
                file.resize(comma);
            }
            ShortcutOption& shortcut = options.shortcuts.back();
            const int icon = takeInstalledFile(problems, "--icon", file.c_str(), game);
            if (icon < 0) continue;
            copyText(shortcut.icon, game[static_cast<size_t>(icon)].name);
            // SHORTCATICON is read from the target's folder.
            const char* targetName = findLastBackslash(shortcut.target);
            const size_t folderLength =
                targetName != nullptr ? static_cast<size_t>(targetName - shortcut.target + 1) : 0;
            if (shortcut.target[0] != '\0' &&
                (std::strlen(shortcut.icon) <= folderLength ||
                 CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, shortcut.icon, static_cast<int>(folderLength),
                                shortcut.target, static_cast<int>(folderLength)) != CSTR_EQUAL)) {
                problem(problems, "--icon",
                        {shortcut.icon, " がショートカットの対象と同じフォルダかその下にありません"});
            }
        }
    }
    if (options.shortcuts.empty()) {
        ShortcutOption shortcut = {};
        copyText(shortcut.name, options.gameName);
        copyText(shortcut.target, game[static_cast<size_t>(exe)].name);
        if (!isPlainName(shortcut.name)) {
            problem(problems, "--shortcut",
                    {"ゲーム名はショートカットの名前に使えません。--shortcut で名前を指定してください"});
        }
        options.shortcuts.push_back(shortcut);
    }
}

void takeNames(Problems& problems, const Arguments& a, MakerOptions& options) {
    // Longer than the program reads GAME_NAME (255 bytes) does not fit and is told so.
    (void)takeText(problems, "--name", a.name, options.gameName);
    // The install folder's last level: the game folder's own name by default.
    const wchar_t* lastSlash = std::wcsrchr(options.gameFolder, L'\\');
    if (takeText(problems, "--dir",
                 a.dir != nullptr       ? a.dir
                 : lastSlash != nullptr ? lastSlash + 1
                                        : options.gameFolder,
                 options.defaultDir) &&
        !isPlainName(options.defaultDir)) {
        problem(problems, "--dir", {options.defaultDir, " はインストール先のフォルダ名に使えません (一段の名前のみ)"});
    }
    if (a.reg != nullptr ? takeText(problems, "--reg", a.reg, options.regName)
                         : copyText(options.regName, options.defaultDir)) {
        if (!isAcceptableRelativePath(options.regName) || std::strlen(options.regName) > kMaxRegName ||
            namesSharedRegistryKey(options.regName)) {
            problem(
                problems, "--reg",
                {options.regName, " は記録のキー名に使えません (Microsoft などの既存のキー、250 バイト超、空の段)"});
        }
    }
    if (a.shortcutFolder != nullptr ? takeText(problems, "--shortcut-folder", a.shortcutFolder, options.shortcutFolder)
                                    : copyText(options.shortcutFolder, options.gameName)) {
        if (!isAcceptableRelativePath(options.shortcutFolder)) {
            problem(problems, "--shortcut-folder", {options.shortcutFolder, " はショートカットのフォルダに使えません"});
        }
    }
}

void takeSplashFiles(Problems& problems, const Arguments& a, MakerOptions& options) {
    for (int slot = 0; slot < kSplashSlots; ++slot) {
        if (a.splash[slot] == nullptr) continue;
        char path[kPathSize];
        void* block = nullptr;
        const DWORD length = GetFullPathNameW(a.splash[slot], kPathSize, options.splash[slot], nullptr);
        const bool named = length > 0 && length < kPathSize && toAnsiText(options.splash[slot], path);
        const SplashProblem why = named ? loadSplashFile(path, block) : SplashProblem::unreadable;
        if (block != nullptr) GlobalFree(block);
        if (why != SplashProblem::none)
            problem(problems, "--splash", {"SETUP.EXE はこのビットマップを表示しません: ", splashProblemText(why)});
    }
}

// The folders, programs, names and pictures the options give; whether the
// game folder is there to read. discFolder gets the disc's folder as the
// report names it.
bool takeOptions(Problems& problems, const Arguments& a, MakerOptions& options, char (&discFolder)[kPathSize]) {
    takeFolder(problems, "DISC_FOLDER", a.discFolder, options.discFolder, false);
    toAnsiText(options.discFolder, discFolder);
    beginReport(problems.report, discFolder);
    if (!problems.any && !isEmptyOrMissingFolder(options.discFolder)) {
        problem(problems, "DISC_FOLDER", {"空のフォルダではありません。SETUPMK は何かのあるフォルダには書きません"});
    }
    const bool haveGame = takeFolder(problems, "GAME_FOLDER", a.gameFolder, options.gameFolder, true);
    if (a.program != nullptr) {
        takeFolder(problems, "--program", a.program, options.programFolder, true);
    } else {
        // SETUPMK's own folder.
        const DWORD length = GetModuleFileNameW(nullptr, options.programFolder, kPathSize);
        wchar_t* slash = length > 0 && length < kPathSize ? std::wcsrchr(options.programFolder, L'\\') : nullptr;
        if (slash != nullptr) *slash = L'\0';
    }
    const struct {
        const char* name;
        const wchar_t* wide;
    } programs[] = {{kSetupProgramName, kSetupProgramNameW.text}, {kDsetupLibrary, kDsetupLibraryW.text}};
    for (const auto& program : programs) {
        const std::wstring path = std::wstring(options.programFolder) + L"\\" + program.wide;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            problem(problems, "--program", {program.name, " がありません"});
        }
    }
    if (a.directx != nullptr) takeFolder(problems, "--directx", a.directx, options.directxFolder, true);
    takeNames(problems, a, options);
    options.autorun = !a.noAutorun;
    takeSplashFiles(problems, a, options);
    return haveGame;
}

// The file the copy list begins with, which marks an installed copy: the
// installed-copy check looks for it in the install folder itself, so the game
// program when it lies there, else the first file there; -1 when none does.
int chooseFirstFile(const std::vector<TreeItem>& game, int exe) {
    int first = exe >= 0 && game[static_cast<size_t>(exe)].parent < 0 ? exe : -1;
    for (size_t i = 0; first < 0 && i < game.size(); ++i) {
        if (!game[i].folder && game[i].parent < 0) first = static_cast<int>(i);
    }
    return first;
}

// The game tree, the game program in it, its shortcuts and its size; returns
// the first file of the copy list. Names that cannot go on the disc are
// errors of the disc.
int takeGame(Problems& problems, const Arguments& a, bool haveGame, MakerOptions& options,
             std::vector<TreeItem>& game) {
    Report& report = problems.report;
    const TreeRead gameRead = haveGame ? readTree(options.gameFolder, game, printFinding, &report) : TreeRead::read;
    if (gameRead == TreeRead::unreadable) problem(problems, "GAME_FOLDER", {"フォルダを読めません"});
    // Its finding is told: nothing is written.
    if (gameRead == TreeRead::tooLarge) problems.any = true;
    for (const wchar_t* unlisted : a.leftOut) {
        // What the system does not list (a dangling link under Wine), told by the caller.
        printFinding(makeFinding(Severity::error, "not-a-file", unlisted, {kNotAFile}), &report);
    }
    const int exe = haveGame ? takeInstalledFile(problems, "--exe", a.exe, game) : -1;
    if (exe >= 0) copyText(options.exeName, game[static_cast<size_t>(exe)].name);
    const int first = chooseFirstFile(game, exe);
    if (exe >= 0 && first < 0) {
        problem(problems, "GAME_FOLDER",
                {"直下にファイルがありません。インストール済みの判定にはインストール先直下のファイルが要ります"});
    }
    if (exe >= 0) takeShortcuts(problems, a, game, exe, options);
    ULONGLONG total = 0;
    for (const TreeItem& item : game) total += item.size;
    if (total >= (1ull << 32))
        problem(problems, "GAME_FOLDER", {"4 GiB 以上あり、SETUP.EXE は必要な容量を数えられません"});
    return first;
}

// The runtime's files go into the source folder as they are; any name that
// cannot is the input's fault. Then whether the whole layout can be written.
void takeRuntime(Problems& problems, const MakerOptions& options, const std::vector<TreeItem>& game,
                 std::vector<TreeItem>& directx) {
    Report& report = problems.report;
    if (options.directxFolder[0] != L'\0') {
        const unsigned before = report.errors;
        if (readTree(options.directxFolder, directx, printFinding, &report) != TreeRead::read ||
            report.errors != before) {
            problem(problems, "--directx", {"フォルダを読めないか、ディスクに入れられない名前があります"});
        }
    }
    Finding layout;
    if (!problems.any && layoutProblem(options, game, directx, layout)) {
        printFinding(layout, &report);
        problems.any = true;
    }
}

}  // namespace

int main() {
    Report report = openReport("SETUPMK");
    int argc = 0;
    wchar_t** argv = readArguments(argc);
    static Arguments a;
    bool help = false;
    if (argv == nullptr || !parseArguments(argv, argc, a, report, help) || help) {
        printUsage(report, kUsage, !help);
        return help ? kExitClean : kExitUnusable;
    }

    static MakerOptions options;
    Problems problems = {report, false};
    // The program's calls read every name in the ANSI code page.
    if (GetACP() != kTextCodePage) {
        problem(problems, "ANSI", {"コードページが 932 ではありません。日本語のロケールで実行してください"});
        return finishReport(report, true);
    }
    char discFolder[kPathSize] = "";
    const bool haveGame = takeOptions(problems, a, options, discFolder);
    std::vector<TreeItem> game;
    const int first = takeGame(problems, a, haveGame, options, game);
    std::vector<TreeItem> directx;
    takeRuntime(problems, options, game, directx);
    LocalFree(argv);
    if (problems.any) return finishReport(report, true);

    const std::vector<ListEntry> list = planCopyList(game, first);
    wchar_t failedPath[kPathSize];
    if (!writeDisc(options, game, directx, list, failedPath)) {
        printFinding(makeFinding(Severity::error, "argument", failedPath[0] != L'\0' ? failedPath : L"DISC_FOLDER",
                                 {"書き込めません。ディスクのフォルダには何も残していません"}),
                     &report);
        return finishReport(report, true);
    }
    checkDisc(discFolder, printFinding, &report);
    return finishReport(report, false);
}
