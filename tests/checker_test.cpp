#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "checker/discchecker.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

// The shipped disc: the one the 32-bit build laid out.
std::string shippedDisc() {
    std::string path = std::string("Z:") + SHIPPED_DISC_DIR;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

struct Seen {
    Severity severity;
    std::string check, key;
};

std::string describe(const std::vector<Seen>& findings, const std::vector<std::string>& problems) {
    std::string text;
    for (size_t i = 0; i < findings.size(); ++i) {
        text += (findings[i].severity == Severity::error ? "error " : "warning ") + findings[i].check + " " +
                readable(findings[i].key) + ": " + readable(problems[i]) + "\n";
    }
    return text;
}

struct Checked {
    DiscVerdict verdict;
    std::vector<Seen> findings;
    std::vector<std::string> problems;
};

Checked checkFolder(const std::string& folder) {
    resetProgramState();
    Checked run;
    run.verdict = checkDisc(folder.c_str(), [](const Finding& f, void* context) {
        auto& r = *static_cast<Checked*>(context);
        r.findings.push_back({f.severity, f.check, f.key});
        r.problems.push_back(f.problem);
    }, &run);
    resetProgramState();
    return run;
}

void copyTree(const std::string& from, const std::string& to) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << from;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ASSERT_TRUE(CreateDirectoryA((to + "\\" + name).c_str(), nullptr));
            copyTree(from + "\\" + name, to + "\\" + name);
        } else {
            ASSERT_TRUE(CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) << name;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A copy of the shipped disc in a folder of its own (Wine caches description
// files by their path), with SETUP.INI edited line by line.
struct Disc {
    TempDisc temp;
    Disc() { copyTree(shippedDisc(), temp.folder()); }
    // KEY=value for the line of KEY, added when missing; value nullptr drops the line.
    void edit(const std::vector<std::pair<std::string, const char*>>& edits) {
        std::ifstream in(temp.path("SETUP.INI"), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
        in.close();
        for (const auto& [key, value] : edits) {
            auto it = lines.begin();
            while (it != lines.end() && it->rfind(key + "=", 0) != 0) ++it;
            if (it != lines.end() && value == nullptr) lines.erase(it);
            if (value == nullptr) continue;
            if (it == lines.end()) it = lines.insert(it, "");
            *it = key + "=" + value;
        }
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        temp.writeFile("SETUP.INI", text);
    }
    void setSize(const std::string& file, LONGLONG size) {
        HANDLE h = CreateFileA(temp.path(file).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = size;
        EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h)) << file;
        CloseHandle(h);
    }
};

TEST(CheckerTest, TheShippedDiscHasNoFinding) {
    const Checked run = checkFolder(shippedDisc());
    EXPECT_EQ(run.verdict, DiscVerdict::checked);
    EXPECT_TRUE(run.findings.empty()) << describe(run.findings, run.problems);
}

// Each disc has one mistake and gets exactly the finding for it.
TEST(CheckerTest, EachBrokenDiscGetsExactlyItsFinding) {
    using Edits = std::vector<std::pair<std::string, const char*>>;
    using Change = void (*)(Disc&);
    const std::string longName(300, 'N');
    const std::string longRegName(251, 'R');
    const std::string deepDefaultDir(160, 'D');
    const std::string markerTooLongHere = "\\" + std::string(227, 'S');  // C:\Program Files\SampleAdventure + 228
    const std::string markerTooLongDeep = "\\" + std::string(140, 'S');  // fits; a file below it does not
    const struct {
        const char* what;
        Edits edits;
        Change change;
        Severity severity;
        const char* check;
        const char* key;
    } cases[] = {
        {"no GAME_NAME", {{"GAME_NAME", nullptr}}, nullptr, Severity::error, "missing-key", "GAME_NAME"},
        {"GAME_NAME too long", {{"GAME_NAME", longName.c_str()}}, nullptr, Severity::error, "too-long", "GAME_NAME"},
        {"no EXE_NAME", {{"EXE_NAME", nullptr}}, nullptr, Severity::error, "missing-key", "EXE_NAME"},
        {"no DEFAULT_DIR", {{"DEFAULT_DIR", nullptr}}, nullptr, Severity::error, "missing-key", "DEFAULT_DIR"},
        {"REG_NAME the program refuses", {{"REG_NAME", longRegName.c_str()}}, nullptr, Severity::error, "reg-name",
         "REG_NAME"},
        {"COPYDIR without its backslash", {{"COPYDIR", "DATA"}}, nullptr, Severity::error, "copydir", "COPYDIR"},
        {"COPYDIR not on the disc", {{"COPYDIR", "CD\\"}}, nullptr, Severity::error, "copydir", "COPYDIR"},
        {"gap in the copy list", {{"COPYFILE_009", "GAME.DAT"}}, nullptr, Severity::error, "copy-gap",
         "COPYFILE_008"},
        {"key the program never forms", {{"COPYFILE_7", "GAME.DAT"}}, nullptr, Severity::error, "key-never-read",
         "COPYFILE_7"},
        {"key the program never reads", {{"SHORTCUTDIR_02", "X"}}, nullptr, Severity::warning, "unknown-key",
         "SHORTCUTDIR_02"},
        {"marker first", {{"COPYFILE_000", "\\"}, {"COPYFILE_007", "GAME.EXE"}}, nullptr, Severity::error,
         "first-entry", "COPYFILE_000"},
        {"empty first entry", {{"COPYFILE_000", ""}, {"COPYFILE_007", "GAME.EXE"}}, nullptr, Severity::error,
         "first-entry", "COPYFILE_000"},
        {"empty entry", {{"COPYFILE_007", ""}, {"COPYFILE_008", "GAME.DAT"}}, nullptr, Severity::warning,
         "empty-entry", "COPYFILE_007"},
        {"listed file missing", {}, [](Disc& d) { DeleteFileA(d.temp.path("DATA\\TRACK02.WAV").c_str()); },
         Severity::error, "missing-file", "COPYFILE_004"},
        {"listed file in another case", {},
         [](Disc& d) {
             DeleteFileA(d.temp.path("DATA\\README.TXT").c_str());
             d.temp.writeFile("DATA\\Readme.txt", "readme");
         },
         Severity::warning, "case-mismatch", "COPYFILE_006"},
        {"entry naming a folder", {{"COPYFILE_007", "BGM"}}, [](Disc& d) { d.temp.makeFolder("DATA\\BGM"); },
         Severity::error, "not-a-file", "COPYFILE_007"},
        {"entry reaching out of the install folder", {{"COPYFILE_007", "..\\GAME.DAT"}}, nullptr, Severity::error,
         "escape", "COPYFILE_007"},
        {"subfolder too long for the default folder",
         {{"COPYFILE_007", markerTooLongHere.c_str()}, {"COPYFILE_008", "GAME.DAT"}}, nullptr, Severity::error,
         "target-too-long", "COPYFILE_007"},
        {"file too long below a deep folder",
         {{"COPYFILE_007", markerTooLongDeep.c_str()}, {"COPYFILE_008", "GAME.DAT"}}, nullptr, Severity::error,
         "target-too-long", "COPYFILE_008"},
        {"DEFAULT_DIR too long below a deep folder", {{"DEFAULT_DIR", deepDefaultDir.c_str()}}, nullptr,
         Severity::error, "install-folder-too-long", "DEFAULT_DIR"},
        {"subfolder inside one never made", {{"COPYFILE_007", "\\SE\\LOOP"}}, nullptr, Severity::error,
         "folder-not-made", "COPYFILE_007"},
        {"EXE_NAME not installed", {{"EXE_NAME", "START.EXE"}}, nullptr, Severity::error, "exe-not-installed",
         "EXE_NAME"},
        {"shortcut group lacking its name", {{"SHORTCATNAME_01", nullptr}}, nullptr, Severity::error,
         "shortcut-incomplete", "SHORTCATNAME_01"},
        {"gap in the shortcut groups",
         {{"SHORTCATDIR_03", "X"}, {"SHORTCATNAME_03", "X"}, {"SHORTCATFILE_03", "GAME.EXE"}}, nullptr,
         Severity::error, "shortcut-gap", "SHORTCATDIR_02"},
        {"shortcut folder refused", {{"SHORTCATDIR_00", "..\\Startup"}}, nullptr, Severity::error, "shortcut-folder",
         "SHORTCATDIR_00"},
        {"shortcut target not installed", {{"SHORTCATFILE_01", "MANUAL.TXT"}}, nullptr, Severity::error,
         "shortcut-target", "SHORTCATFILE_01"},
        {"shortcut icon not installed", {{"SHORTCATICON_01", "GAME.ICO"}}, nullptr, Severity::error, "shortcut-icon",
         "SHORTCATICON_01"},
        {"only shortcut group 00",
         {{"SHORTCATDIR_01", nullptr}, {"SHORTCATNAME_01", nullptr}, {"SHORTCATFILE_01", nullptr}}, nullptr,
         Severity::error, "uninstall-folder", "SHORTCATDIR_01"},
        {"shortcut folder the uninstaller leaves", {{"SHORTCATDIR_00", "Other"}}, nullptr, Severity::warning,
         "uninstall-folder-differs", "SHORTCATDIR_00"},
        {"no SETUP.EXE", {}, [](Disc& d) { DeleteFileA(d.temp.path("SETUP.EXE").c_str()); }, Severity::error,
         "setup-exe", "SETUP.EXE"},
        {"no DSETUP.dll", {}, [](Disc& d) { DeleteFileA(d.temp.path("DSETUP.dll").c_str()); }, Severity::error,
         "dsetup", "DSETUP.dll"},
        {"DSETUP.dll that is no library", {},
         [](Disc& d) { CopyFileA(d.temp.path("DATA\\DXSETUP.EXE").c_str(), d.temp.path("DSETUP.dll").c_str(), FALSE); },
         Severity::error, "dsetup", "DSETUP.dll"},
        {"DXOPTION=1 without DXSETUP.EXE", {}, [](Disc& d) { DeleteFileA(d.temp.path("DATA\\DXSETUP.EXE").c_str()); },
         Severity::error, "dxsetup", "DXOPTION"},
        {"splash with a palette", {},
         [](Disc& d) {
             std::string bitmap = makeBitmapFile(8, 8, RGB(0, 0, 0));
             bitmap[28] = 8;  // biBitCount
             d.temp.writeFile("SETUP1.BMP", bitmap);
         },
         Severity::error, "splash", "SETUP1.BMP"},
        {"splash larger than its corner", {},
         [](Disc& d) { d.temp.writeFile("SETUP3.BMP", makeBitmapFile(321, 10, RGB(0, 0, 0))); }, Severity::warning,
         "splash-size", "SETUP3.BMP"},
        {"more than a CD-ROM holds", {}, [](Disc& d) { d.setSize("DATA\\GAME.DAT", 651ll << 20); }, Severity::error,
         "cd-capacity", "COPYFILE_*"},
        {"more than the program counts", {}, [](Disc& d) { d.setSize("DATA\\GAME.DAT", 4ll << 30); }, Severity::error,
         "size-limit", "COPYFILE_*"},
        // ソ ends in the byte of a backslash.
        {"name a pressing changes", {{"COPYFILE_001", "ソフト.DAT"}},
         [](Disc& d) { MoveFileA(d.temp.path("DATA\\GAME.DAT").c_str(), d.temp.path("DATA\\ソフト.DAT").c_str()); },
         Severity::warning, "iso-name", "COPYFILE_001"},
        {"folders deeper than ISO 9660 allows", {{"COPYDIR", "A\\B\\C\\D\\E\\F\\G\\H\\"}},
         [](Disc& d) {
             std::string folder;
             for (const char* name : {"A", "B", "C", "D", "E", "F", "G", "H"}) {
                 d.temp.makeFolder(folder += name);
                 folder += "\\";
             }
             for (const char* file : {"GAME.EXE", "GAME.DAT", "TRACK01.WAV", "TRACK02.WAV", "README.TXT", "DXSETUP.EXE", "OPENING.DAT"})
                 MoveFileA(d.temp.path(std::string("DATA\\") + file).c_str(), d.temp.path(folder + file).c_str());
         },
         Severity::warning, "iso-depth", "COPYDIR"},
    };
    for (const auto& c : cases) {
        Disc disc;
        if (!c.edits.empty()) disc.edit(c.edits);
        if (c.change != nullptr) c.change(disc);
        const Checked run = checkFolder(disc.temp.folder());
        ASSERT_EQ(run.findings.size(), 1u) << c.what << "\n" << describe(run.findings, run.problems);
        EXPECT_EQ(run.findings[0].severity, c.severity) << c.what;
        EXPECT_EQ(run.findings[0].check, c.check) << c.what;
        EXPECT_EQ(run.findings[0].key, c.key) << c.what;
        EXPECT_EQ(run.verdict, DiscVerdict::checked) << c.what;
    }
}

TEST(CheckerTest, AFolderOrDescriptionFileThatCannotBeReadIsUnreadable) {
    Disc disc;
    DeleteFileA(disc.temp.path("SETUP.INI").c_str());
    const std::string folders[] = {disc.temp.folder(), disc.temp.path("NOWHERE")};
    for (const std::string& folder : folders) {
        const Checked run = checkFolder(folder);
        EXPECT_EQ(run.verdict, DiscVerdict::unreadable) << folder;
        ASSERT_EQ(run.findings.size(), 1u) << describe(run.findings, run.problems);
        EXPECT_EQ(run.findings[0].check, "unreadable");
    }
}

}  // namespace
