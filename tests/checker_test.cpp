#include <filesystem>
#include <fstream>
#include <iterator>

#include "report/console.h"
#include "report/disccheck.h"
#include "setupdata/setupnames.h"
#include "tests/harness/fixtures.h"
#include "tests/harness/imports.h"

#include <gtest/gtest.h>

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
        bytes.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), bytes.data(), int(bytes.size()),
                                         nullptr, nullptr));
    }
    std::ofstream(disc.path("SETUP.INI"), std::ios::binary | std::ios::trunc) << head << bytes;
}

// A certificate table of bytes at the end of program, and its directory entry
// claiming size bytes there.
void appendCertificateTable(TempDisc& disc, const char* program, const std::string& table, DWORD size) {
    std::fstream file(disc.path(program), std::ios::binary | std::ios::in | std::ios::out);
    DWORD peHeader = 0, end = 0;
    WORD magic = 0;
    file.seekg(0x3C).read(reinterpret_cast<char*>(&peHeader), sizeof peHeader);
    file.seekg(peHeader + 24).read(reinterpret_cast<char*>(&magic), sizeof magic);
    file.seekg(0, std::ios::end);
    end = DWORD(file.tellg());
    const DWORD entry[] = {end, size};
    const DWORD directories = magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? 96 : 112;
    file.seekp(peHeader + 24 + directories + IMAGE_DIRECTORY_ENTRY_SECURITY * 8)
        .write(reinterpret_cast<const char*>(entry), sizeof entry);
    file.seekp(0, std::ios::end) << table;
}

// AUTORUN.INF as SETUPMK writes it, in UTF-16 LE with its byte-order mark, with the lines given.
void writeAutorun(TempDisc& disc, const std::wstring& lines) {
    const std::wstring text = L"\xFEFF[autorun]\r\n" + lines;
    disc.writeFile("AUTORUN.INF",
                   std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

// Each disc has one mistake and gets exactly the finding for it. Every copy of the shipped disc is unsigned: that
// warning counts only in the cases about it. Signed programs are checked on a disc signed for real by
// tests/signing_test.sh.
// edits: SETUP.INI's keys set, or removed with nullptr; change: to the disc's files; says: what the problem must
// say, or with a leading "!" must not; folderLength: the disc's folder is this long instead of the temporary one.
struct Case {
    std::vector<std::pair<const char*, const char*>> edits;
    const char* finding;
    void (*change)(TempDisc&) = nullptr;
    const char* says = nullptr;
    size_t folderLength = 0;
};

void expectEachFinding(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        // A copy of the shipped disc (the one the 32-bit build laid out) in a folder of its own: Wine caches
        // description files by their path.
        TempDisc disc;
        std::string folder = disc.folder();
        if (c.folderLength > folder.size()) folder += "\\" + std::string(c.folderLength - folder.size() - 1, 'F');
        std::filesystem::copy("Z:" SHIPPED_DISC_DIR, folder, std::filesystem::copy_options::recursive);
        for (const auto& [key, value] : c.edits)
            WritePrivateProfileStringA(kSetupSection, key, value, (folder + "\\SETUP.INI").c_str());
        if (c.change != nullptr) c.change(disc);
        std::vector<std::string> found;  // each as "error missing-key GAME_NAME", then its problem
        checkDisc(
            folder.c_str(),
            [](const Finding& f, void* found) {
                auto& all = *static_cast<std::vector<std::string>*>(found);
                const char* const severities[] = {"error ", "warning ", "note "};
                all.push_back(severities[static_cast<int>(f.severity)] + std::string(f.check) + " " + f.key);
                all.push_back(f.problem);
            },
            &found);
        const bool aboutSignatures = std::string(c.finding).rfind("warning unsigned ", 0) == 0;
        std::vector<std::string> kept;
        for (size_t i = 0; i + 1 < found.size(); i += 2) {
            if (aboutSignatures || found[i].rfind("warning unsigned ", 0) != 0)
                kept.insert(kept.end(), {found[i], found[i + 1]});
        }
        found.swap(kept);
        if (found.size() != 2) {
            ADD_FAILURE() << c.finding << ": " << found.size() / 2 << " findings"
                          << (found.empty() ? "" : ", " + found[0]);
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

TEST(CheckerTest, EachKeyMistakeGetsExactlyItsFinding) {
    const std::string longName(300, 'N'), longRegName(251, 'R'), deepDefaultDir(160, 'D');
    expectEachFinding(
        {{{{"GAME_NAME", nullptr}}, "error missing-key GAME_NAME"},
         {{{"GAME_NAME", longName.c_str()}}, "error too-long GAME_NAME"},
         {{{"REG_NAME", longRegName.c_str()}}, "error reg-name REG_NAME"},
         {{{"REG_NAME", "microsoft\\Windows"}}, "error reg-name-shared REG_NAME"},
         {{{"REG_NAME", "Maker\\..\\Classes"}}, "error reg-name-shared REG_NAME"},
         {{{"DEFAULT_DIR", "..\\Game"}}, "error default-dir DEFAULT_DIR"},
         {{{"DEFAULT_DIR", "common files"}}, "error default-dir-windows DEFAULT_DIR"},
         {{{"DEFAULT_DIR", "WindowsApps"}}, "error default-dir-windows DEFAULT_DIR"},
         {{{"COPYDIR", "DATA"}}, "error copydir COPYDIR"},
         {{{"COPYFILE_7", "GAME.DAT"}}, "error key-never-read COPYFILE_7"},
         {{{"SHORTCUTDIR_02", "X"}}, "warning unknown-key SHORTCUTDIR_02", nullptr, "SHORTCATDIR_02 のことですか?"},
         {{{"SHORTCATDESCRIPT_00", "X"}},
          "warning unknown-key SHORTCATDESCRIPT_00",
          nullptr,
          "SHORTCATDISCRIPT_00 のことですか?"},
         {{{"shortcaticonnumbr_01", "1"}},
          "warning unknown-key shortcaticonnumbr_01",
          nullptr,
          "SHORTCATICONNUMBER_01 のことですか?"},
         {{{"COPYFLIE_010", "X"}}, "warning unknown-key COPYFLIE_010", nullptr, "COPYFILE_010 のことですか?"},
         {{{"DXOPTTION", "1"}}, "warning unknown-key DXOPTTION", nullptr, "DXOPTION のことですか?"},
         {{{"GAMENAME", "X"}}, "warning unknown-key GAMENAME", nullptr, "GAME_NAME のことですか?"},
         {{{"REG_NAMR", "X"}}, "warning unknown-key REG_NAMR", nullptr, "!のことですか"},
         {{{"PUBLISHER", "X"}}, "warning unknown-key PUBLISHER", nullptr, "!のことですか"},
         // Alone: not the missing file and the name note that the misread ソフト.DAT would give.
         {{{"COPYFILE_001", "ソフト.DAT"}},
          "error encoding SETUP.INI",
          [](TempDisc& d) {
              MoveFileA(d.path("DATA\\GAME.DAT").c_str(), d.path("DATA\\ソフト.DAT").c_str());
              saveSetupFileAs(d, "", false);
          },
          "UTF-8 で書かれています"},
         {{},
          "error encoding SETUP.INI",
          [](TempDisc& d) { saveSetupFileAs(d, "\xEF\xBB\xBF", false); },
          "UTF-8 (BOM 付き)"},
         {{},
          "error encoding SETUP.INI",
          [](TempDisc& d) { saveSetupFileAs(d, "\xFF\xFE", true); },
          "UTF-16 (BOM 付き)"},
         {{{"DEFAULT_DIR", deepDefaultDir.c_str()}}, "error install-folder-too-long DEFAULT_DIR"},
         {{{"EXE_NAME", "START.EXE"}}, "error exe-not-installed EXE_NAME"},
         {{{"EXE_NAME", "GAME.EXE -window"}}, "warning exe-arguments EXE_NAME"},
         {{{"EXE_NAME", "GAME"}}, "warning exe-extension EXE_NAME"}});
}

TEST(CheckerTest, EachCopyListMistakeGetsExactlyItsFinding) {
    // Markers too long below C:\Program Files\SampleAdventure, and below a folder of 100 characters only for a file.
    const std::string tooLongHere = "\\" + std::string(227, 'S'), tooLongDeep = "\\" + std::string(140, 'S'),
                      tooLongHereSays = tooLongHere.substr(1) + " のコピー先のパスが 259 バイトを超えます",
                      tooLongDeepSays = tooLongDeep.substr(1) + "\\DXSETUP.EXE のコピー先のパスが 259 バイトを超えます";
    expectEachFinding(
        {{{{"COPYFILE_009", "GAME.DAT"}}, "error copy-gap COPYFILE_008"},
         {{{"COPYFILE_007", "GAME.DAT"}, {"COPYFILE_008", "\\"}},
          "warning shared-source COPYFILE_007",
          nullptr,
          "GAME.DAT と BGM\\GAME.DAT の 2 か所"},
         {{},
          "error missing-file COPYFILE_006",
          [](TempDisc& d) {
              d.makeFolder("DATA\\BGM");
              MoveFileA(d.path("DATA\\TRACK02.WAV").c_str(), d.path("DATA\\BGM\\TRACK02.WAV").c_str());
          },
          "DATA\\BGM\\TRACK02.WAV はありますが"},
         {{{"COPYFILE_000", "\\"}, {"COPYFILE_008", "GAME.EXE"}}, "error first-entry COPYFILE_000"},
         {{{"COPYFILE_007", ""}, {"COPYFILE_008", "DXSETUP.EXE"}}, "warning empty-entry COPYFILE_007"},
         {{}, "error missing-file COPYFILE_006", [](TempDisc& d) { DeleteFileA(d.path("DATA\\TRACK02.WAV").c_str()); }},
         {{},
          "warning case-mismatch COPYFILE_003",
          [](TempDisc& d) {
              DeleteFileA(d.path("DATA\\README.TXT").c_str());
              d.writeFile("DATA\\Readme.txt", "readme");
          }},
         {{{"COPYFILE_007", "BGM"}}, "error not-a-file COPYFILE_007", [](TempDisc& d) { d.makeFolder("DATA\\BGM"); }},
         {{{"COPYFILE_007", "..\\GAME.DAT"}}, "error escape COPYFILE_007"},
         {{{"COPYFILE_007", "\\BGM\\con.dat"}}, "error device-name COPYFILE_007"},
         // One byte over: C:\Program Files\SampleAdventure and the marker's 228 make 260. Each names what it installs.
         {{{"COPYFILE_007", tooLongHere.c_str()}, {"COPYFILE_008", "GAME.DAT"}},
          "error target-too-long COPYFILE_007",
          nullptr,
          tooLongHereSays.c_str()},
         {{{"COPYFILE_007", tooLongDeep.c_str()}, {"COPYFILE_008", "DXSETUP.EXE"}},
          "error target-too-long COPYFILE_008",
          nullptr,
          tooLongDeepSays.c_str()},
         {{{"COPYFILE_007", "\\SE\\LOOP"}}, "error folder-not-made COPYFILE_007"},
         {{}, "error cd-capacity COPYFILE_*", [](TempDisc& d) { growGameData(d, 651ull << 20); }},
         {{}, "error size-limit COPYFILE_*", [](TempDisc& d) { growGameData(d, 4ull << 30); }},
         // ソ ends in the byte of a backslash.
         {{{"COPYFILE_001", "ソフト.DAT"}},
          "note iso-name COPYFILE_*",
          [](TempDisc& d) { MoveFileA(d.path("DATA\\GAME.DAT").c_str(), d.path("DATA\\ソフト.DAT").c_str()); }},
         {{{"COPYDIR", "A\\B\\C\\D\\E\\F\\G\\DATA\\"}},
          "warning iso-depth COPYDIR",
          [](TempDisc& d) {
              std::filesystem::create_directories(d.path("A\\B\\C\\D\\E\\F\\G"));
              MoveFileA(d.path("DATA").c_str(), d.path("A\\B\\C\\D\\E\\F\\G\\DATA").c_str());
              DeleteFileA(d.path("AUTORUN.INF").c_str());  // its icon was in DATA
          }},
         // In a folder of 242 bytes the longest sources (DATA\TRACK01.WAV) have 259, an 8.3 name one longer 260.
         {{{"COPYFILE_007", "TRACK001.WAV"}},
          "error source-too-long COPYFILE_007",
          nullptr,
          "259 バイトを超えます",
          242}});
}

TEST(CheckerTest, EachShortcutMistakeGetsExactlyItsFinding) {
    const std::string startup = startupShortcutFolder();
    expectEachFinding({{{{"SHORTCATNAME_01", nullptr}}, "error shortcut-incomplete SHORTCATNAME_01"},
                       {{{"SHORTCATDIR_03", "X"}}, "error shortcut-gap SHORTCATDIR_02"},
                       {{{"SHORTCATDIR_00", "."}}, "error shortcut-folder SHORTCATDIR_00"},
                       {{{"SHORTCATNAME_00", "..\\Mine"}}, "error shortcut-name SHORTCATNAME_00"},
                       {{{"SHORTCATDIR_00", startup.c_str()}}, "error shortcut-startup SHORTCATDIR_00"},
                       {{{"SHORTCATFILE_01", "MANUAL.TXT"}}, "error shortcut-target SHORTCATFILE_01"},
                       {{{"SHORTCATICON_01", "GAME.ICO"}}, "error shortcut-icon SHORTCATICON_01"},
                       {{{"SHORTCATDIR_01", nullptr}, {"SHORTCATNAME_01", nullptr}, {"SHORTCATFILE_01", nullptr}},
                        "error uninstall-folder SHORTCATDIR_01"},
                       {{{"SHORTCATDIR_00", "Other"}}, "warning uninstall-folder-differs SHORTCATDIR_00"}});
}

TEST(CheckerTest, EachProgramAndSignatureMistakeGetsExactlyItsFinding) {
    expectEachFinding(
        {{{}, "error dxsetup DXOPTION", [](TempDisc& d) { DeleteFileA(d.path("DATA\\DXSETUP.EXE").c_str()); }},
         {{},
          "warning unsigned SETUP.EXE",
          nullptr,
          "署名がありません: SETUP.EXE、DSETUP.dll、DATA\\GAME.EXE、DATA\\DXSETUP.EXE。"},
         // The game's program is the source of the entry that installs EXE_NAME, here the one DXOPTION names too.
         {{{"EXE_NAME", "BGM\\DXSETUP.EXE"}, {"COPYFILE_008", "\\BGM"}, {"COPYFILE_009", "DXSETUP.EXE"}},
          "warning unsigned SETUP.EXE",
          nullptr,
          "署名がありません: SETUP.EXE、DSETUP.dll、DATA\\DXSETUP.EXE。"},
         {{{"DXOPTION", "0"}}, "warning unsigned SETUP.EXE", nullptr, "!DXSETUP"},
         // Certificate tables that hold no signature to read: a finding, never a crash.
         {{}, "error bad-signature DSETUP.dll", [](TempDisc& d) { appendCertificateTable(d, "DSETUP.dll", "", 64); }},
         {{},
          "error bad-signature DATA\\GAME.EXE",
          [](TempDisc& d) {
              appendCertificateTable(d, "DATA\\GAME.EXE",
                                     std::string("\x18\0\0\0\0\x02\x02\0\x30\x82\xFF\xFF", 12) + std::string(12, 'x'),
                                     24);
          },
          "読めません"}});
}

TEST(CheckerTest, EachSplashMistakeGetsExactlyItsFinding) {
    expectEachFinding(
        {{{}, "error splash SETUP1.BMP", [](TempDisc& d) { d.writeFile("SETUP1.BMP", "BM"); }},
         // A newer header (a version-5 one, as editors write by default) says how to write the 40-byte one.
         {{},
          "error splash SETUP1.BMP",
          [](TempDisc& d) {
              std::string bitmap = makeBitmapFile(8, 8, 0);
              bitmap[14] = 124;
              d.writeFile("SETUP1.BMP", bitmap);
          },
          "BMP3:"},
         {{},
          "warning splash-32-bit SETUP0.BMP",
          [](TempDisc& d) { d.writeFile("SETUP0.BMP", makeBitmapFile(8, 8, 0, 32)); },
          "透明な部分は黒く表示されます"},
         {{}, "warning splash-size SETUP3.BMP", [](TempDisc& d) {
              d.writeFile("SETUP3.BMP", makeBitmapFile(321, 10, 0));
          }}});
}

TEST(CheckerTest, EachAutorunMistakeGetsExactlyItsFinding) {
    expectEachFinding(
        {// A sound AUTORUN.INF is on the shipped disc; each of these is made by hand.
         {{},
          "warning autorun-encoding AUTORUN.INF",
          [](TempDisc& d) { d.writeFile("AUTORUN.INF", "[autorun]\r\nopen=SETUP.EXE\r\nlabel=\x83\x54\x83\x93\r\n"); },
          "コードページ 932"},
         {{},
          "error autorun-encoding AUTORUN.INF",
          [](TempDisc& d) { d.writeFile("AUTORUN.INF", "\xEF\xBB\xBF[autorun]\r\nopen=SETUP.EXE\r\n"); }},
         {{},
          "error autorun-open AUTORUN.INF",
          [](TempDisc& d) { writeAutorun(d, L"open=DATA\\GAME.EXE\r\n"); },
          "DATA\\GAME.EXE"},
         {{}, "error autorun-open AUTORUN.INF", [](TempDisc& d) { writeAutorun(d, L"open=SETUP.EXE /x\r\n"); }},
         {{}, "error autorun-open AUTORUN.INF", [](TempDisc& d) { writeAutorun(d, L"icon=SETUP.EXE\r\n"); }},
         {{},
          "warning autorun-icon AUTORUN.INF",
          [](TempDisc& d) { writeAutorun(d, L"open=\\setup.exe\r\nicon=DATA\\GAME.ICO\r\n"); },
          "ありません"},
         {{},
          "warning autorun-icon AUTORUN.INF",
          [](TempDisc& d) { writeAutorun(d, L"open=SETUP.EXE\r\nicon=DATA\\GAME.EXE,2\r\n"); },
          "2 番のアイコン"},
         {{},
          "warning autorun-icon AUTORUN.INF",
          [](TempDisc& d) { writeAutorun(d, L"open=SETUP.EXE\r\nicon=DATA\\GAME.DAT\r\n"); },
          "0 番のアイコン"},
         {{},
          "warning autorun-label AUTORUN.INF",
          [](TempDisc& d) { writeAutorun(d, L"open=SETUP.EXE\r\nlabel=" + std::wstring(33, L'\x30B5') + L"\r\n"); },
          "33 文字"}});
}

// The report's way out, faked: a console, a file, and what each was given.
const HANDLE kConsole = reinterpret_cast<HANDLE>(0x5100), kFile = reinterpret_cast<HANDLE>(0x5104);
HANDLE standardOutput;
UINT consoleCodePage;
std::wstring toConsole;
std::string toFile;
decltype(&WriteFile) realWriteFile;

HANDLE WINAPI fakeStdHandle(DWORD) { return standardOutput; }
UINT WINAPI fakeConsoleOutputCP() { return consoleCodePage; }
BOOL WINAPI fakeConsoleMode(HANDLE handle, LPDWORD mode) {
    *mode = ENABLE_PROCESSED_OUTPUT;
    return handle == kConsole;
}
BOOL WINAPI fakeWriteConsoleW(HANDLE handle, const void* text, DWORD length, LPDWORD written, LPVOID) {
    toConsole.append(static_cast<const wchar_t*>(text), length);
    *written = length;
    return handle == kConsole;
}
BOOL WINAPI fakeWriteFile(HANDLE handle, LPCVOID bytes, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
    if (handle != kFile) return realWriteFile(handle, bytes, length, written, overlapped);
    toFile.append(static_cast<const char*>(bytes), length);
    *written = length;
    return TRUE;
}

// A console of any code page gets the report in UTF-16; a file gets it in the
// console's code page, with "?" for what that lacks and never a similar
// character, or in UTF-8 as JSON.
TEST(ConsoleTest, AConsoleGetsUtf16AndAFileItsCodePageOrUtf8) {
    ImportPatch stdHandle("kernel32.dll", "GetStdHandle", reinterpret_cast<void*>(fakeStdHandle));
    ImportPatch codePage("kernel32.dll", "GetConsoleOutputCP", reinterpret_cast<void*>(fakeConsoleOutputCP));
    ImportPatch mode("kernel32.dll", "GetConsoleMode", reinterpret_cast<void*>(fakeConsoleMode));
    ImportPatch console("kernel32.dll", "WriteConsoleW", reinterpret_cast<void*>(fakeWriteConsoleW));
    ImportPatch file("kernel32.dll", "WriteFile", reinterpret_cast<void*>(fakeWriteFile));
    realWriteFile = file.original<decltype(&WriteFile)>();
    // ¥ (U+00A5) is what best-fit would turn into a backslash in code page 932.
    const Finding findings[] = {makeFinding(Severity::error, "name-code-page", L"説明書\\a¥b.txt", {"表せない"}),
                                makeFinding(Severity::note, "iso-name", "COPYFILE_*", {"8.3"})};
    const std::wstring text =
        L"error: 説明書\\a¥b.txt: 表せない\r\nnote: COPYFILE_*: 8.3\r\n"
        L"SETUPCHK: エラー 1 件、警告 0 件、注記 1 件\r\n";
    const std::wstring json =
        L"{\n  \"disc\": \"D:\\\\DISC\",\n  \"findings\": [\n"
        L"    {\"severity\": \"error\", \"check\": \"name-code-page\", \"key\": \"説明書\\\\a¥b.txt\", "
        L"\"problem\": \"表せない\"},\n"
        L"    {\"severity\": \"note\", \"check\": \"iso-name\", \"key\": \"COPYFILE_*\", \"problem\": \"8.3\"}"
        L"\n  ],\n  \"errors\": 1,\n  \"warnings\": 0,\n  \"notes\": 1\n}\n";
    std::string jsonBytes(json.size() * 3, '\0');
    jsonBytes.resize(WideCharToMultiByte(CP_UTF8, 0, json.data(), int(json.size()), jsonBytes.data(),
                                         int(jsonBytes.size()), nullptr, nullptr));
    const struct {
        HANDLE handle;
        UINT codePage;
        bool json;
        std::wstring console;
        std::string file;
    } cases[] = {
        {kConsole, 437, false, text, ""},
        {kConsole, 932, true, json, ""},
        {kFile, 932, false, L"",
         "error: 説明書\\a?b.txt: 表せない\r\nnote: COPYFILE_*: 8.3\r\n"
         "SETUPCHK: エラー 1 件、警告 0 件、注記 1 件\r\n"},
        {kFile, 437, false, L"",
         "error: ???\\a\x9D"
         "b.txt: ????\r\nnote: COPYFILE_*: 8.3\r\n"
         "SETUPCHK: ??? 1 ???? 0 ???? 1 ?\r\n"},
        {kFile, 437, true, L"", jsonBytes},
    };
    for (const auto& c : cases) {
        standardOutput = c.handle;
        consoleCodePage = c.codePage;
        toConsole.clear();
        toFile.clear();
        Report report = openReport("SETUPCHK");
        report.json = c.json;
        beginReport(report, "D:\\DISC");
        for (const Finding& finding : findings) printFinding(finding, &report);
        EXPECT_EQ(finishReport(report, false), kExitErrors);
        EXPECT_TRUE(toConsole == c.console) << c.codePage << (c.json ? " json" : " text");
        EXPECT_EQ(toFile, c.file) << c.codePage << (c.json ? " json" : " text");
    }
}

}  // namespace
