#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "checker/discchecker.h"
#include "tests/harness/fixtures.h"

// The shipped disc's own check, the exit codes and the text and JSON forms are
// checked on SETUPCHK.EXE itself by checker_cli.py.

namespace {

void growGameData(TempDisc& disc, uintmax_t size) { std::filesystem::resize_file(disc.path("DATA\\GAME.DAT"), size); }

// SETUP.INI saved again as a modern editor saves it: head, then the text in
// UTF-8 (utf16 false) or UTF-16 little-endian.
void saveSetupFileAs(TempDisc& disc, const std::string& head, bool utf16) {
    std::string text;
    {
        std::ifstream in(disc.path("SETUP.INI"), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(932, 0, text.data(), int(text.size()), wide.data(), int(wide.size())));
    std::string bytes(wide.size() * 3, '\0');
    if (utf16) {
        bytes.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    } else {
        bytes.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), bytes.data(), int(bytes.size()), nullptr, nullptr));
    }
    std::ofstream(disc.path("SETUP.INI"), std::ios::binary | std::ios::trunc) << head << bytes;
}

// Each disc has one mistake and gets exactly the finding for it.
TEST(CheckerTest, EachBrokenDiscGetsExactlyItsFinding) {
    // Markers too long below C:\Program Files\SampleAdventure, and below a folder of 100 characters only for a file.
    const std::string longName(300, 'N'), longRegName(251, 'R'), deepDefaultDir(160, 'D'),
        tooLongHere = "\\" + std::string(227, 'S'), tooLongDeep = "\\" + std::string(140, 'S'),
        startup = startupShortcutFolder();
    // edits: SETUP.INI's keys set, or removed with nullptr; change: to the disc's files; says: what the problem
    // must say, or with a leading "!" must not.
    struct Case { std::vector<std::pair<const char*, const char*>> edits; const char* finding;
                  void (*change)(TempDisc&) = nullptr; const char* says = nullptr; } const cases[] = {
        {{{"GAME_NAME", nullptr}}, "error missing-key GAME_NAME"},
        {{{"GAME_NAME", longName.c_str()}}, "error too-long GAME_NAME"},
        {{{"REG_NAME", longRegName.c_str()}}, "error reg-name REG_NAME"},
        {{{"REG_NAME", "microsoft\\Windows"}}, "error reg-name-shared REG_NAME"},
        {{{"REG_NAME", "Maker\\..\\Classes"}}, "error reg-name-shared REG_NAME"},
        {{{"DEFAULT_DIR", "..\\Game"}}, "error default-dir DEFAULT_DIR"},
        {{{"DEFAULT_DIR", "common files"}}, "error default-dir-windows DEFAULT_DIR"},
        {{{"DEFAULT_DIR", "WindowsApps"}}, "error default-dir-windows DEFAULT_DIR"},
        {{{"COPYDIR", "DATA"}}, "error copydir COPYDIR"},
        {{{"COPYFILE_009", "GAME.DAT"}}, "error copy-gap COPYFILE_008"},
        {{{"COPYFILE_7", "GAME.DAT"}}, "error key-never-read COPYFILE_7"},
        {{{"SHORTCUTDIR_02", "X"}}, "warning unknown-key SHORTCUTDIR_02", nullptr, "SHORTCATDIR_02 のことですか?"},
        {{{"SHORTCATDESCRIPT_00", "X"}}, "warning unknown-key SHORTCATDESCRIPT_00", nullptr, "SHORTCATDISCRIPT_00 のことですか?"},
        {{{"shortcaticonnumbr_01", "1"}}, "warning unknown-key shortcaticonnumbr_01", nullptr, "SHORTCATICONNUMBER_01 のことですか?"},
        {{{"COPYFLIE_010", "X"}}, "warning unknown-key COPYFLIE_010", nullptr, "COPYFILE_010 のことですか?"},
        {{{"DXOPTTION", "1"}}, "warning unknown-key DXOPTTION", nullptr, "DXOPTION のことですか?"},
        {{{"GAMENAME", "X"}}, "warning unknown-key GAMENAME", nullptr, "GAME_NAME のことですか?"},
        {{{"REG_NAMR", "X"}}, "warning unknown-key REG_NAMR", nullptr, "!のことですか"},
        {{{"PUBLISHER", "X"}}, "warning unknown-key PUBLISHER", nullptr, "!のことですか"},
        {{{"COPYFILE_007", "GAME.DAT"}, {"COPYFILE_008", "\\"}}, "warning shared-source COPYFILE_007", nullptr,
         "GAME.DAT と BGM\\GAME.DAT の 2 か所"},
        {{}, "error missing-file COPYFILE_006", [](TempDisc& d) {
             d.makeFolder("DATA\\BGM");
             MoveFileA(d.path("DATA\\TRACK02.WAV").c_str(), d.path("DATA\\BGM\\TRACK02.WAV").c_str());
         }, "DATA\\BGM\\TRACK02.WAV はありますが"},
        {{}, "error encoding SETUP.INI", [](TempDisc& d) { saveSetupFileAs(d, "", false); }, "UTF-8 で書かれています"},
        {{}, "error encoding SETUP.INI", [](TempDisc& d) { saveSetupFileAs(d, "\xEF\xBB\xBF", false); }, "UTF-8 (BOM 付き)"},
        {{}, "error encoding SETUP.INI", [](TempDisc& d) { saveSetupFileAs(d, "\xFF\xFE", true); }, "UTF-16 (BOM 付き)"},
        {{{"COPYFILE_000", "\\"}, {"COPYFILE_008", "GAME.EXE"}}, "error first-entry COPYFILE_000"},
        {{{"COPYFILE_007", ""}, {"COPYFILE_008", "DXSETUP.EXE"}}, "warning empty-entry COPYFILE_007"},
        {{}, "error missing-file COPYFILE_006", [](TempDisc& d) { DeleteFileA(d.path("DATA\\TRACK02.WAV").c_str()); }},
        {{}, "warning case-mismatch COPYFILE_003", [](TempDisc& d) {
             DeleteFileA(d.path("DATA\\README.TXT").c_str());
             d.writeFile("DATA\\Readme.txt", "readme");
         }},
        {{{"COPYFILE_007", "BGM"}}, "error not-a-file COPYFILE_007", [](TempDisc& d) { d.makeFolder("DATA\\BGM"); }},
        {{{"COPYFILE_007", "..\\GAME.DAT"}}, "error escape COPYFILE_007"},
        {{{"COPYFILE_007", "\\BGM\\con.dat"}}, "error device-name COPYFILE_007"},
        {{{"COPYFILE_007", tooLongHere.c_str()}, {"COPYFILE_008", "GAME.DAT"}}, "error target-too-long COPYFILE_007"},
        {{{"COPYFILE_007", tooLongDeep.c_str()}, {"COPYFILE_008", "DXSETUP.EXE"}}, "error target-too-long COPYFILE_008"},
        {{{"DEFAULT_DIR", deepDefaultDir.c_str()}}, "error install-folder-too-long DEFAULT_DIR"},
        {{{"COPYFILE_007", "\\SE\\LOOP"}}, "error folder-not-made COPYFILE_007"},
        {{{"EXE_NAME", "START.EXE"}}, "error exe-not-installed EXE_NAME"},
        {{{"EXE_NAME", "GAME.EXE -window"}}, "warning exe-arguments EXE_NAME"},
        {{{"EXE_NAME", "GAME"}}, "warning exe-extension EXE_NAME"},
        {{{"SHORTCATNAME_01", nullptr}}, "error shortcut-incomplete SHORTCATNAME_01"},
        {{{"SHORTCATDIR_03", "X"}}, "error shortcut-gap SHORTCATDIR_02"},
        {{{"SHORTCATDIR_00", "."}}, "error shortcut-folder SHORTCATDIR_00"},
        {{{"SHORTCATNAME_00", "..\\Mine"}}, "error shortcut-name SHORTCATNAME_00"},
        {{{"SHORTCATDIR_00", startup.c_str()}}, "error shortcut-startup SHORTCATDIR_00"},
        {{{"SHORTCATFILE_01", "MANUAL.TXT"}}, "error shortcut-target SHORTCATFILE_01"},
        {{{"SHORTCATICON_01", "GAME.ICO"}}, "error shortcut-icon SHORTCATICON_01"},
        {{{"SHORTCATDIR_01", nullptr}, {"SHORTCATNAME_01", nullptr}, {"SHORTCATFILE_01", nullptr}},
         "error uninstall-folder SHORTCATDIR_01"},
        {{{"SHORTCATDIR_00", "Other"}}, "warning uninstall-folder-differs SHORTCATDIR_00"},
        {{}, "error dxsetup DXOPTION", [](TempDisc& d) { DeleteFileA(d.path("DATA\\DXSETUP.EXE").c_str()); }},
        {{}, "error splash SETUP1.BMP", [](TempDisc& d) { d.writeFile("SETUP1.BMP", "BM"); }},
        {{}, "warning splash-size SETUP3.BMP", [](TempDisc& d) { d.writeFile("SETUP3.BMP", makeBitmapFile(321, 10, 0)); }},
        {{}, "error cd-capacity COPYFILE_*", [](TempDisc& d) { growGameData(d, 651ull << 20); }},
        {{}, "error size-limit COPYFILE_*", [](TempDisc& d) { growGameData(d, 4ull << 30); }},
        // ソ ends in the byte of a backslash.
        {{{"COPYFILE_001", "ソフト.DAT"}}, "warning iso-name COPYFILE_*",
         [](TempDisc& d) { MoveFileA(d.path("DATA\\GAME.DAT").c_str(), d.path("DATA\\ソフト.DAT").c_str()); }},
        {{{"COPYDIR", "A\\B\\C\\D\\E\\F\\G\\DATA\\"}}, "warning iso-depth COPYDIR", [](TempDisc& d) {
             std::filesystem::create_directories(d.path("A\\B\\C\\D\\E\\F\\G"));
             MoveFileA(d.path("DATA").c_str(), d.path("A\\B\\C\\D\\E\\F\\G\\DATA").c_str());
         }}};
    for (const Case& c : cases) {
        // A copy of the shipped disc (the one the 32-bit build laid out) in a folder of its own: Wine caches
        // description files by their path.
        TempDisc disc;
        std::filesystem::copy("Z:" SHIPPED_DISC_DIR, disc.folder(), std::filesystem::copy_options::recursive);
        for (const auto& [key, value] : c.edits)
            WritePrivateProfileStringA("InstallInfo", key, value, disc.path("SETUP.INI").c_str());
        if (c.change != nullptr) c.change(disc);
        std::vector<std::string> found;  // each as "error missing-key GAME_NAME", then its problem
        checkDisc(disc.folder().c_str(), [](const Finding& f, void* found) {
            auto& all = *static_cast<std::vector<std::string>*>(found);
            all.push_back((f.severity == Severity::error ? "error " : "warning ") + std::string(f.check) + " " + f.key);
            all.push_back(f.problem);
        }, &found);
        if (found.size() != 2) {
            ADD_FAILURE() << c.finding << ": " << found.size() / 2 << " findings" << (found.empty() ? "" : ", " + found[0]);
            continue;
        }
        EXPECT_EQ(found[0], c.finding);
        if (c.says != nullptr && c.says[0] == '!') {
            EXPECT_EQ(found[1].find(c.says + 1), std::string::npos) << c.finding;
        } else if (c.says != nullptr) {
            EXPECT_NE(found[1].find(c.says), std::string::npos) << c.finding << " says " << found[1];
        }
    }
}

}  // namespace
