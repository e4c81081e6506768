#include <shlobj.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <set>

#include "install/progressdialog.h"
#include "setupdata/installrecord.h"
#include "tests/launcherfixture.h"
#include "uninstall/uninstall.h"

#include <gtest/gtest.h>

namespace {

// A game tree: paths below the game folder, folders ending in "\", with the bytes of each file.
using Tree = std::map<std::wstring, std::string>;

// Nested and empty folders, names in two folders (one in a folder without
// subfolders), an empty file, and double-byte names whose second byte is 0x5C.
const Tree kGame = {{L"GAME.EXE", "MZ game"},
                    {L"README.TXT", "top"},
                    {L"DOCS\\", ""},
                    {L"DOCS\\README.TXT", "docs"},
                    {L"DOCS\\EMPTY.DAT", ""},
                    {L"DOCS\\ソ\\", ""},
                    {L"DOCS\\ソ\\表.TXT", "so"},
                    {L"EMPTY\\", ""},
                    {L"EMPTY\\SUB\\", ""},
                    {L"BGM\\", ""},
                    {L"BGM\\TRACK01.WAV", "one"},
                    {L"BGM\\LOOP\\", ""},
                    {L"BGM\\LOOP\\TRACK01.WAV", "loop"}};

// A game of real size: 2,000 small files in 40 folders three deep (4, 12 and
// 24), each folder holding the same 40 lower-case names beside 10 of its own.
Tree largeGame() {
    std::vector<std::wstring> folders;
    for (int a = 0; a < 4; ++a) {
        const std::wstring top = L"A" + std::to_wstring(a) + L"\\";
        folders.push_back(top);
        for (int b = 0; b < 3; ++b) {
            const std::wstring middle = top + L"B" + std::to_wstring(b) + L"\\";
            folders.push_back(middle);
            for (int c = 0; c < 2; ++c) folders.push_back(middle + L"C" + std::to_wstring(c) + L"\\");
        }
    }
    Tree tree;
    for (size_t f = 0; f < folders.size(); ++f) {
        const std::wstring& folder = folders[f];
        tree[folder] = "";
        for (int i = 0; i < 50; ++i) {
            const std::wstring name = i < 40 ? L"file" + std::to_wstring(100 + i).substr(1) + L".txt"
                                             : L"U" + std::to_wstring(f * 100 + i) + L".DAT";
            tree[folder + name] = std::string(folder.begin(), folder.end()) + std::to_string(i);
        }
    }
    return tree;
}

std::wstring tempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return temp + std::wstring(L"cdsetup-mk-") + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

void makeTree(const std::wstring& root, const Tree& tree) {
    CreateDirectoryW(root.c_str(), nullptr);
    for (const auto& [path, bytes] : tree) {  // a folder sorts before what lies in it
        const std::wstring full = root + L"\\" + path;
        if (path.back() == L'\\') {
            EXPECT_TRUE(CreateDirectoryW(full.c_str(), nullptr)) << full.size();
            continue;
        }
        HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }
}

std::string readFileW(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(file != INVALID_HANDLE_VALUE ? GetFileSize(file, nullptr) : 0, '\0');
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return bytes;
}

// What lies below root, as makeTree takes it.
Tree readTree(const std::wstring& root, const std::wstring& below = L"") {
    Tree tree;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + L"\\" + below + L"*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        const std::wstring name = found.cFileName, path = below + name;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[path + L"\\"] = "";
            tree.merge(readTree(root, path + L"\\"));
            continue;
        }
        tree[path] = readFileW(root + L"\\" + path);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return tree;
}

void removeTree(const std::wstring& root) {
    const Tree tree = readTree(root);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)  // what lies in a folder before the folder
        it->first.back() == L'\\' ? RemoveDirectoryW((root + L"\\" + it->first).c_str())
                                  : DeleteFileW((root + L"\\" + it->first).c_str());
    RemoveDirectoryW(root.c_str());
}

struct Made {
    DWORD exitCode;
    std::set<std::string> findings;   // "error name-code-page", ..., from the JSON report
    std::set<std::string> errorKeys;  // "name-code-page LOGS\☃", ..., in UTF-8 as the JSON has them unescaped
    std::string json;
};

std::string utf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), int(bytes.size()),
                                     nullptr, nullptr));
    return bytes;
}

// SETUPMK.EXE with the shipped 32-bit programs, its JSON report read.
Made runMaker(const std::wstring& arguments) {
    const std::wstring out = tempFolder(L"report.json");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE report = CreateFileW(out.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = report;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"SETUPMK.EXE --json --program \"Z:" SHIPPED_PROGRAM_DIR "\" " + arguments;
    Made made = {9999, {}, {}, {}};
    if (CreateProcessW(L"Z:" SETUPMK_EXE_PATH, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &made.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "SETUPMK did not start: error " << GetLastError();
    }
    CloseHandle(report);
    made.json = readFileW(out);
    const std::string& json = made.json;
    DeleteFileW(out.c_str());
    const std::regex finding(
        "\"severity\": \"(\\w+)\", \"check\": \"([a-z0-9-]+)\", \"key\": \"((?:[^\"\\\\]|\\\\.)*)\"");
    for (std::sregex_iterator it(json.begin(), json.end(), finding), end; it != end; ++it) {
        made.findings.insert((*it)[1].str() + " " + (*it)[2].str());
        if ((*it)[1].str() == "error")
            made.errorKeys.insert((*it)[2].str() + " " +
                                  std::regex_replace((*it)[3].str(), std::regex("\\\\(.)"), "$1"));
    }
    return made;
}

// The names of the JSON report's iso-name summary, and its problem text.
std::pair<size_t, std::string> isoNameSummary(const std::string& json) {
    std::smatch summary;
    const std::regex finding(
        "\"check\": \"iso-name\", \"key\": \"[^\"]*\", \"problem\": (\"[^\"]*\"), \"names\": \\[([^\\]]*)\\]");
    if (!std::regex_search(json, summary, finding)) return {0, ""};
    const std::string names = summary[2].str();
    return {static_cast<size_t>(std::count(names.begin(), names.end(), '"') / 2), summary[1].str()};
}

TEST(MakerTest, EachGameTreeGivesADiscThatTheCheckerPassesOrTheReasonWhyNot) {
    // Five levels of 40 characters below an install folder of 77: the markers fit an entry, the installed paths not.
    std::wstring deep;
    for (int level = 0; level < 5; ++level) deep += std::wstring(40, L'A' + level) + L"\\";
    const std::wstring dir(60, L'D');
    // Below the game folder, one byte longer than an entry takes; its folder fits below a deep parent folder too.
    const std::wstring overLong = std::wstring(90, L'P') + L"\\" + std::wstring(168, L'Q');
    // extraFiles: how many of the extra files the disc carries; isoNames: how many names the summary has,
    // 表.TXT of the game and the large tree's 40 lower-case ones.
    // options: before the required ones; a file the caller names as left out (a dangling link under Wine) is told.
    // exe: the game's program; icon: AUTORUN.INF's icon, nullptr for no AUTORUN.INF.
    // link: the game folder holds PRIVATE, a link to a folder elsewhere, which must stay off the disc.
    // errorKeys: where given, every error's check and key exactly, the name as the game folder has it.
    const std::string gameWithIcons = readFileW(L"Z:" SHIPPED_PROGRAM_DIR L"\\disc\\DATA\\GAME.EXE");
    const struct {
        Tree extra;
        DWORD exitCode;
        std::set<std::string> findings;
        size_t extraFiles, isoNames;
        const wchar_t* options = L"";
        std::set<std::wstring> errorKeys = {};
        const wchar_t* exe = L"GAME.EXE";
        const wchar_t* icon = L"SETUP.EXE";
        bool link = false;
    } cases[] = {
        {{}, 0, {"note iso-name", "warning unsigned"}, 0, 1},
        // Names that best-fit would show as Cafe.txt, a\b.txt and ??: the real ones are told.
        {{{L"説明書\\", ""},
          {L"説明書\\Café.txt", "x"},
          {L"a¥b.txt", "x"},
          {L"🎮.txt", "x"},
          {L"LOGS\\", ""},
          {L"LOGS\\\u2603\\", ""},
          {L"LOGS\\\u2603\\IN.TXT", "x"}},
         1,
         {"error name-code-page", "note iso-name", "warning unsigned"},
         0,
         1,
         L"",
         {L"name-code-page 説明書\\Café.txt", L"name-code-page a¥b.txt", L"name-code-page 🎮.txt",
          L"name-code-page LOGS\\\u2603"}},
        {{{overLong.substr(0, 91), ""}, {overLong, "x"}},
         1,
         {"error path-too-long", "note iso-name", "warning unsigned"},
         0,
         1,
         L"",
         {L"path-too-long " + overLong}},
        {{{deep.substr(0, 41), ""},
          {deep.substr(0, 82), ""},
          {deep.substr(0, 123), ""},
          {deep.substr(0, 164), ""},
          {deep, ""},
          {deep + L"X.DAT", "x"}},
         1,
         {"error target-too-long", "note iso-name", "warning unsigned"},
         1,
         1},
        {largeGame(), 0, {"note iso-name", "warning unsigned"}, 2000, 41},
        {{},
         1,
         {"error not-a-file", "note iso-name", "warning unsigned"},
         0,
         1,
         L"--left-out DOCS\\GONE.TXT ",
         {L"not-a-file DOCS\\GONE.TXT"}},
        // The drive's icon is the game's own where its program has one.
        {{{L"BIN\\", ""}, {L"BIN\\PLAY.EXE", gameWithIcons}},
         0,
         {"note iso-name", "warning unsigned"},
         1,
         1,
         L"",
         {},
         L"BIN\\PLAY.EXE",
         L"DATA\\PLAY.EXE"},
        {{}, 0, {"note iso-name", "warning unsigned"}, 0, 1, L"--no-autorun ", {}, L"GAME.EXE", nullptr},
        {{},
         1,
         {"error link", "note iso-name", "warning unsigned"},
         0,
         1,
         L"",
         {L"link PRIVATE"},
         L"GAME.EXE",
         L"SETUP.EXE",
         true},
    };
    const std::wstring elsewhere = tempFolder(L"private");
    makeTree(elsewhere, {{L"SECRET.TXT", "private"}});
    for (const auto& c : cases) {
        const std::wstring game = tempFolder(L"game"), disc = tempFolder(L"disc");
        Tree tree = kGame;
        tree.insert(c.extra.begin(), c.extra.end());
        makeTree(game, tree);
        std::optional<UnixLink> link;
        if (c.link)
            link.emplace(std::string(game.begin(), game.end()) + "\\PRIVATE",
                         std::string(elsewhere.begin(), elsewhere.end()));
        const Made made = runMaker(c.options + (L"--name ゲーム --exe " + std::wstring(c.exe) + L" --dir " + dir +
                                                L" \"" + game + L"\" \"" + disc + L"\""));
        EXPECT_EQ(made.exitCode, c.exitCode) << c.extra.size();
        EXPECT_EQ(made.findings, c.findings) << c.extra.size();
        std::set<std::string> errorKeys;
        for (const std::wstring& key : c.errorKeys) errorKeys.insert(utf8(key));
        if (!c.errorKeys.empty()) {
            EXPECT_EQ(made.errorKeys, errorKeys) << made.json;
        }
        // One summary, every name kept in the JSON, the first few in its text.
        const auto [isoNames, isoProblem] = isoNameSummary(made.json);
        EXPECT_EQ(isoNames, c.isoNames) << c.extra.size();
        EXPECT_NE(isoProblem.find(std::to_string(c.isoNames) + " "), std::string::npos) << isoProblem;
        // Every file of the game lies in DATA byte for byte, under its own name or, where that is shared, its path.
        const Tree onDisc = readTree(disc);
        size_t files = c.extraFiles;
        for (const auto& [path, bytes] : kGame) {
            const std::wstring byPath = L"DATA\\" + path, byName = L"DATA\\" + path.substr(path.rfind(L'\\') + 1);
            if (path.back() == L'\\') continue;
            ++files;
            EXPECT_EQ(onDisc.count(byPath) ? onDisc.at(byPath) : onDisc.count(byName) ? onDisc.at(byName) : "-", bytes);
        }
        for (const auto& [path, bytes] : onDisc) files -= path.rfind(L"DATA\\", 0) == 0 && path.back() != L'\\';
        EXPECT_EQ(files, 0u) << "more or fewer files on the disc than in the game";
        EXPECT_EQ(onDisc.count(L"SETUP.EXE") + onDisc.count(L"DSETUP.dll") + onDisc.count(L"SETUP.INI"), 3u);
        // AUTORUN.INF in UTF-16 LE with its byte-order mark: SETUP.EXE, the icon, the game's name as the label.
        const std::wstring autorun = c.icon == nullptr ? L"-"
                                                       : std::wstring(L"\xFEFF[autorun]\r\nopen=SETUP.EXE\r\nicon=") +
                                                             c.icon + L"\r\nlabel=ゲーム\r\n";
        EXPECT_EQ(
            onDisc.count(L"AUTORUN.INF") ? onDisc.at(L"AUTORUN.INF") : "-",
            c.icon == nullptr ? "-" : std::string(reinterpret_cast<const char*>(autorun.data()), autorun.size() * 2));
        // The link is named, and where it leads.
        if (c.link) {
            EXPECT_TRUE(
                std::regex_search(made.json, std::regex("\"key\": \"PRIVATE\", \"problem\": \"[^\"]*cdsetup-mk-" +
                                                        std::to_string(GetCurrentProcessId()) + "-private")))
                << made.json;
        }
        link.reset();
        removeTree(game);
        removeTree(disc);
    }
    removeTree(elsewhere);
}

TEST(MakerTest, BadArgumentsWriteNothing) {
    const std::wstring game = tempFolder(L"game"), disc = tempFolder(L"disc"),
                       quoted = L" \"" + game + L"\" \"" + disc + L"\"";
    makeTree(game, kGame);
    // holding: a file in the disc folder before; arguments: before the two folders.
    const struct {
        bool holding;
        const wchar_t* arguments;
    } cases[] = {{true, L"--name Game --exe GAME.EXE"},
                 {false, L"--name Game"},
                 {false, L"--name Game --exe GAME.EXE --strict"},
                 {false, L"--name Game --exe MISSING.EXE"},
                 {false, L"--name Game --exe GAME.EXE --dir .."},
                 {false, L"--name Game --exe GAME.EXE --shortcut X=NONE.EXE"},
                 {false, L"--name Game --exe GAME.EXE --reg Microsoft"}};
    for (const auto& c : cases) {
        if (c.holding) makeTree(disc, {{L"OTHER.TXT", "other"}});
        EXPECT_EQ(runMaker(c.arguments + quoted).exitCode, 2u) << c.arguments;
        const Tree holding = {{L"OTHER.TXT", "other"}};
        EXPECT_EQ(readTree(disc), c.holding ? holding : Tree()) << c.arguments;
        EXPECT_EQ(GetFileAttributesW(disc.c_str()) != INVALID_FILE_ATTRIBUTES, c.holding) << c.arguments;
        removeTree(disc);
    }
    // One file more than a disc may list: told as such, and nothing is written.
    Tree many;
    for (int i = 0; i <= 10000; ++i) many[L"MANY\\F" + std::to_wstring(i) + L".DAT"] = "x";
    many[L"MANY\\"] = "";
    makeTree(game, many);
    const Made made = runMaker(L"--name Game --exe GAME.EXE" + quoted);
    EXPECT_EQ(made.exitCode, 2u);
    EXPECT_EQ(made.findings.count("error file-limit"), 1u);
    EXPECT_EQ(GetFileAttributesW(disc.c_str()), INVALID_FILE_ATTRIBUTES);
    for (auto it = many.rbegin(); it != many.rend(); ++it)  // the files before their folder, none read
        it->first.back() == L'\\' ? RemoveDirectoryW((game + L"\\" + it->first).c_str())
                                  : DeleteFileW((game + L"\\" + it->first).c_str());
    removeTree(game);
}

using MakerInstallTest = LauncherTest;

// A made disc installed and uninstalled by the program's own dialogs: the game's
// tree comes out exactly, and an uninstall with Yes to the save files leaves nothing.
TEST_F(MakerInstallTest, InstallsTheGameTreeExactlyAndUninstallRemovesAllOfIt) {
    Tree tree = largeGame();
    tree.insert(kGame.begin(), kGame.end());
    const std::wstring game = tempFolder(L"game");
    makeTree(game, tree);
    disc = std::make_unique<TempDisc>();  // an empty folder, the program's path faked in it
    const std::string discFolder = disc->folder();
    const std::wstring name(key.name().begin(), key.name().end()), folder(discFolder.begin(), discFolder.end());
    DWORD start = GetTickCount();
    const Made made = runMaker(L"--name Game --exe GAME.EXE --reg " + name + L" --dir " + name +
                               L" --shortcut-folder " + name + L" \"" + game + L"\" \"" + folder + L"\"");
    ASSERT_EQ(made.exitCode, 0u);
    RecordProperty("make_ms", static_cast<int>(GetTickCount() - start));
    // The program reads the description file named after its faked path.
    ASSERT_TRUE(CopyFileA(disc->path("SETUP.INI").c_str(), disc->setupFilePath().c_str(), FALSE));
    copyText(programState.descriptionPath, disc->setupFilePath().c_str());
    ASSERT_TRUE(buildRegistrySubKey());
    const std::string target = disc->folder() + "-installed";
    copyText(programState.installFolder, target.c_str());
    start = GetTickCount();
    EXPECT_EQ(runDialog(IDD_PROGRESS, progressDialogProc), 0);
    RecordProperty("install_ms", static_cast<int>(GetTickCount() - start));
    EXPECT_TRUE(readTree(std::wstring(target.begin(), target.end())) == tree);
    char programs[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    const std::string links = std::string(programs) + "\\" + key.name();
    EXPECT_NE(GetFileAttributesA((links + "\\Game.lnk").c_str()), INVALID_FILE_ATTRIBUTES);

    boxes.answer({IDYES});  // delete the save files, and the folder with them
    start = GetTickCount();
    removeInstalledCopy(backdrop, target.c_str());
    RecordProperty("uninstall_ms", static_cast<int>(GetTickCount() - start));
    EXPECT_EQ(GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(links.c_str()), INVALID_FILE_ATTRIBUTES);
    removeFolderTree(target);
    removeFolderTree(links);
    removeTree(game);
}

}  // namespace
