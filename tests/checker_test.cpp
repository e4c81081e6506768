#include <gtest/gtest.h>

#include <shlobj.h>

#include "checker/discchecker.h"
#include "tests/bench/fixtures.h"

// The shipped disc's own check, the exit codes and the text and JSON forms are
// checked on SETUPCHK.EXE itself by checker_cli.py.

namespace {

void growGameData(TempDisc& disc, LONGLONG size) {
    HANDLE file = CreateFileA(disc.path("DATA\\GAME.DAT").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end = {};
    end.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
}

// Each disc has one mistake and gets exactly the finding for it.
TEST(CheckerTest, EachBrokenDiscGetsExactlyItsFinding) {
    const std::string longName(300, 'N'), longRegName(251, 'R'), deepDefaultDir(160, 'D');
    const std::string markerTooLongHere = "\\" + std::string(227, 'S');  // C:\Program Files\SampleAdventure + 228
    const std::string markerTooLongDeep = "\\" + std::string(140, 'S');  // fits; a file below it does not
    // edits: SETUP.INI's keys set, or removed with nullptr; change: to the disc's files.
    struct Case { std::vector<std::pair<const char*, const char*>> edits; void (*change)(TempDisc&); const char* finding; };
    for (const Case& c : std::initializer_list<Case>{
             {{{"GAME_NAME", nullptr}}, nullptr, "error missing-key GAME_NAME"},
             {{{"GAME_NAME", longName.c_str()}}, nullptr, "error too-long GAME_NAME"},
             {{{"REG_NAME", longRegName.c_str()}}, nullptr, "error reg-name REG_NAME"},
             {{{"COPYDIR", "DATA"}}, nullptr, "error copydir COPYDIR"},
             {{{"COPYDIR", "CD\\"}}, nullptr, "error copydir COPYDIR"},
             {{{"COPYFILE_009", "GAME.DAT"}}, nullptr, "error copy-gap COPYFILE_008"},
             {{{"COPYFILE_7", "GAME.DAT"}}, nullptr, "error key-never-read COPYFILE_7"},
             {{{"SHORTCUTDIR_02", "X"}}, nullptr, "warning unknown-key SHORTCUTDIR_02"},
             {{{"COPYFILE_000", "\\"}, {"COPYFILE_007", "GAME.EXE"}}, nullptr, "error first-entry COPYFILE_000"},
             {{{"COPYFILE_007", ""}, {"COPYFILE_008", "GAME.DAT"}}, nullptr, "warning empty-entry COPYFILE_007"},
             {{}, [](TempDisc& d) { DeleteFileA(d.path("DATA\\TRACK02.WAV").c_str()); }, "error missing-file COPYFILE_004"},
             {{}, [](TempDisc& d) {
                  DeleteFileA(d.path("DATA\\README.TXT").c_str());
                  d.writeFile("DATA\\Readme.txt", "readme");
              }, "warning case-mismatch COPYFILE_006"},
             {{{"COPYFILE_007", "BGM"}}, [](TempDisc& d) { d.makeFolder("DATA\\BGM"); }, "error not-a-file COPYFILE_007"},
             {{{"COPYFILE_007", "..\\GAME.DAT"}}, nullptr, "error escape COPYFILE_007"},
             {{{"COPYFILE_007", markerTooLongHere.c_str()}, {"COPYFILE_008", "GAME.DAT"}}, nullptr,
              "error target-too-long COPYFILE_007"},
             {{{"COPYFILE_007", markerTooLongDeep.c_str()}, {"COPYFILE_008", "GAME.DAT"}}, nullptr,
              "error target-too-long COPYFILE_008"},
             {{{"DEFAULT_DIR", deepDefaultDir.c_str()}}, nullptr, "error install-folder-too-long DEFAULT_DIR"},
             {{{"COPYFILE_007", "\\SE\\LOOP"}}, nullptr, "error folder-not-made COPYFILE_007"},
             {{{"EXE_NAME", "START.EXE"}}, nullptr, "error exe-not-installed EXE_NAME"},
             {{{"SHORTCATNAME_01", nullptr}}, nullptr, "error shortcut-incomplete SHORTCATNAME_01"},
             {{{"SHORTCATDIR_03", "X"}, {"SHORTCATNAME_03", "X"}, {"SHORTCATFILE_03", "GAME.EXE"}}, nullptr,
              "error shortcut-gap SHORTCATDIR_02"},
             {{{"SHORTCATDIR_00", "..\\Startup"}}, nullptr, "error shortcut-folder SHORTCATDIR_00"},
             {{{"SHORTCATFILE_01", "MANUAL.TXT"}}, nullptr, "error shortcut-target SHORTCATFILE_01"},
             {{{"SHORTCATICON_01", "GAME.ICO"}}, nullptr, "error shortcut-icon SHORTCATICON_01"},
             {{{"SHORTCATDIR_01", nullptr}, {"SHORTCATNAME_01", nullptr}, {"SHORTCATFILE_01", nullptr}}, nullptr,
              "error uninstall-folder SHORTCATDIR_01"},
             {{{"SHORTCATDIR_00", "Other"}}, nullptr, "warning uninstall-folder-differs SHORTCATDIR_00"},
             {{}, [](TempDisc& d) { DeleteFileA(d.path("SETUP.EXE").c_str()); }, "error setup-exe SETUP.EXE"},
             {{}, [](TempDisc& d) { DeleteFileA(d.path("DSETUP.dll").c_str()); }, "error dsetup DSETUP.dll"},
             {{}, [](TempDisc& d) { DeleteFileA(d.path("DATA\\DXSETUP.EXE").c_str()); }, "error dxsetup DXOPTION"},
             {{}, [](TempDisc& d) { d.writeFile("SETUP1.BMP", "BM"); }, "error splash SETUP1.BMP"},
             {{}, [](TempDisc& d) { d.writeFile("SETUP3.BMP", makeBitmapFile(321, 10, 0)); },
              "warning splash-size SETUP3.BMP"},
             {{}, [](TempDisc& d) { growGameData(d, 651ll << 20); }, "error cd-capacity COPYFILE_*"},
             {{}, [](TempDisc& d) { growGameData(d, 4ll << 30); }, "error size-limit COPYFILE_*"},
             // ソ ends in the byte of a backslash.
             {{{"COPYFILE_001", "ソフト.DAT"}},
              [](TempDisc& d) { MoveFileA(d.path("DATA\\GAME.DAT").c_str(), d.path("DATA\\ソフト.DAT").c_str()); },
              "warning iso-name COPYFILE_001"},
             {{{"COPYDIR", "A\\B\\C\\D\\E\\F\\G\\DATA\\"}}, [](TempDisc& d) {
                  SHCreateDirectoryExA(nullptr, d.path("A\\B\\C\\D\\E\\F\\G").c_str(), nullptr);
                  MoveFileA(d.path("DATA").c_str(), d.path("A\\B\\C\\D\\E\\F\\G\\DATA").c_str());
              }, "warning iso-depth COPYDIR"}}) {
        // A copy of the shipped disc (the one the 32-bit build laid out) in a folder of its own: Wine caches
        // description files by their path. Both names are lists that end in an empty name.
        TempDisc disc;
        const std::string to = disc.folder() + '\0';
        SHFILEOPSTRUCTA copy = {nullptr, FO_COPY, "Z:" SHIPPED_DISC_DIR "/*\0", to.c_str(), FOF_NO_UI, FALSE, nullptr, nullptr};
        ASSERT_EQ(SHFileOperationA(&copy), 0);
        for (const auto& [key, value] : c.edits)
            WritePrivateProfileStringA("InstallInfo", key, value, disc.path("SETUP.INI").c_str());
        if (c.change != nullptr) c.change(disc);
        std::vector<std::string> found;  // each as "error missing-key GAME_NAME"
        resetProgramState();
        checkDisc(disc.folder().c_str(), [](const Finding& f, void* found) {
            static_cast<std::vector<std::string>*>(found)->push_back(
                (f.severity == Severity::error ? "error " : "warning ") + std::string(f.check) + " " + f.key);
        }, &found);
        EXPECT_EQ(found, std::vector<std::string>{c.finding});
    }
}

}  // namespace
