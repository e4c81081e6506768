#include <algorithm>

#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"
#include "tests/harness/fixtures.h"
#include "tests/harness/messagebox.h"

#include <gtest/gtest.h>

namespace {

using Visits = std::vector<std::string>;

struct SetupFileTest : ::testing::Test {
    void SetUp() override { resetProgramState(); }
    // A new disc for every file: Wine caches description files by name.
    void write(const std::vector<std::string>& lines) {
        disc.reset();  // its fakes go before the next disc's come
        disc = std::make_unique<TempDisc>();
        disc->writeSetupFile(lines);
        lstrcpynA(programState.descriptionPath, disc->setupFilePath().c_str(), kPathSize);
    }
    // The copy list walked with the program folder Q:\, every entry as
    // "<f|s|r> <source> <target>", with "-" for a path withheld.
    Visits walk(const std::vector<std::string>& lines, const char* target) {
        write(lines);
        Visits visits;
        walkCopyListFrom(
            "Q:\\", target,
            [](const CopyEntry& e, void* v) {
                const auto path = [](const char* p) { return std::string(" ") + (p != nullptr ? p : "-"); };
                static_cast<Visits*>(v)->push_back("fsr"[int(e.kind)] + path(e.sourcePath) + path(e.targetPath));
                return true;
            },
            &visits);
        return visits;
    }
    std::unique_ptr<TempDisc> disc;
};

TEST_F(SetupFileTest, ListWalksComposePathsWithholdWhatDoesNotFitOrReachesOutsideAndEndWhereTheyShould) {
    const std::string n254(254, 'N');  // "C:\T\" and 254 bytes make 259
    // Markers make and close subfolders beside each other; an empty entry is
    // skipped; the literal sentinel ends the list like a missing key.
    EXPECT_EQ(walk({"COPYDIR=DATA\\", "COPYFILE_000=A", "COPYFILE_001=\\B", "COPYFILE_002=", "COPYFILE_003=音\\A",
                    "COPYFILE_004=\\V", "COPYFILE_005=\\", "COPYFILE_006=\\", "COPYFILE_007=NoData"},
                   "C:\\T"),
              (Visits{"f Q:\\DATA\\A C:\\T\\A", "s - C:\\T\\B", "f Q:\\DATA\\音\\A C:\\T\\B\\音\\A", "s - C:\\T\\V",
                      "r - C:\\T\\V", "r - C:\\T"}));
    // Entries reaching outside have no paths, markers that do not fit no
    // target, nor have the entries up to the next reset; a gap ends the list.
    EXPECT_EQ(walk({"COPYFILE_000=..\\E", "COPYFILE_001=\\..\\O", "COPYFILE_002=I", "COPYFILE_003=\\",
                    "COPYFILE_004=C:\\E", "COPYFILE_005=\\" + n254 + "N", "COPYFILE_006=I", "COPYFILE_007=\\",
                    "COPYFILE_008=" + n254 + "N", "COPYFILE_009=" + n254, "COPYFILE_011=Z"},
                   "C:\\T"),
              (Visits{"f - -", "s - -", "f Q:\\I -", "r - -", "f - -", "s - -", "f Q:\\I -", "r - -",
                      "f Q:\\" + n254 + "N -", "f Q:\\" + n254 + " C:\\T\\" + n254}));
    // COPYDIR goes in front as it stands; a walk without a target composes
    // sources only, and none for a device.
    EXPECT_EQ(walk({"COPYDIR=DATA", "COPYFILE_000=A", "COPYFILE_001=" + n254, "COPYFILE_002=nul.wav"}, nullptr),
              (Visits{"f Q:\\DATAA -", "f - -", "f - -"}));
    // A subfolder marker as the disc maker composes it walks as one; none for
    // an empty folder (the reset marker) or one that does not fit.
    char marker[kPathSize];
    EXPECT_TRUE(composeSubfolderMarker(std::string(kPathSize - 2, 'N').c_str(), marker));
    ASSERT_TRUE(composeSubfolderMarker("B", marker));
    EXPECT_EQ(walk({"COPYFILE_000=" + std::string(marker), "COPYFILE_001=" + std::string(kResetMarker)}, "C:\\T"),
              (Visits{"s - C:\\T\\B", "r - C:\\T\\B"}));
    for (const std::string& folder : {std::string(), std::string(kPathSize - 1, 'N')})
        EXPECT_FALSE(composeSubfolderMarker(folder.c_str(), marker) || marker[0] != '\0') << folder.size();

    // A program path that gives no description path leaves none: every key is missing then.
    EXPECT_FALSE(deriveDescriptionPath("Q:\\SETUP"));  // no "." to put ".INI" over
    char value[kPathSize];
    readSetupString("COPYDIR", value);
    EXPECT_STREQ(value, kNoData);
    EXPECT_FALSE(deriveDescriptionPath(("Q:\\" + std::string(253, 'A') + ".E").c_str()));  // 260 with ".INI"

    // The shortcut list ends at the first group that lacks its folder, name or
    // target, even when later groups are complete. (A missing name: the disc
    // checker's tests.)
    const auto groups = [this](const std::vector<std::string>& lines) {
        write(lines);
        unsigned count = 0;
        // Counts every group and never stops the walk.
        walkShortcutList([](const ShortcutEntry&, void* n) { return ++*static_cast<unsigned*>(n) != 0; }, &count);
        return count;
    };
    EXPECT_EQ(
        groups({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATDIR_01=A", "SHORTCATNAME_01=B", "SHORTCATFILE_01=C"}),
        0u);
    EXPECT_EQ(groups({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATFILE_00=C", "SHORTCATNAME_01=B",
                      "SHORTCATFILE_01=C"}),
              1u);
}

using InstallRecordTest = SetupFileTest;

// Refuses every deletion; after a few it gives in, so that a deletion that asks
// again and again ends and is counted rather than hanging the test.
int refusals = 0;
const ImportPatch* deletionPatch = nullptr;
LONG WINAPI refuseDeletion(HKEY key, LPCSTR name) {
    if (++refusals <= 3) return ERROR_ACCESS_DENIED;
    return deletionPatch->original<decltype(&RegDeleteValueA)>()(key, name);
}

TEST_F(InstallRecordTest, NeedsAUsableRegNameReadsOnlyTerminatedValuesAndStopsADeletionThatFails) {
    // REG_NAME missing, empty, too long or a shared key: nothing directly below the user's root is touched, nor
    // the key formed before, nor the shared one. The longest accepted name just fits below Software.
    const struct {
        std::string regName;
        bool accepted;
    } cases[] = {{"NoData", false},
                 {"", false},
                 {std::string(kMaxRegName + 1, 'R'), false},
                 {"Microsoft\\Windows\\CurrentVersion\\Run", false},
                 {std::string(kMaxRegName, 'R'), true}};
    for (const auto& c : cases) {
        write({"REG_NAME=" + c.regName});
        copyText(programState.registrySubKey, "Software\\Formed before");
        EXPECT_EQ(buildRegistrySubKey(), c.accepted) << c.regName;
        EXPECT_EQ(programState.registrySubKey, c.accepted ? "Software\\" + c.regName : "") << c.regName;
    }
    RegSetKeyValueA(HKEY_CURRENT_USER, nullptr, "CDSetupTestMarker", REG_SZ, "x", 2);
    writeInstallRecord("C:\\Games");
    deleteInstallRecord();
    EXPECT_NE(RegDeleteValueA(HKEY_CURRENT_USER, "InstallFolder"), ERROR_SUCCESS);      // never written there
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "CDSetupTestMarker"), ERROR_SUCCESS);  // nor deleted

    TempRegistryKey key;
    lstrcpynA(programState.registrySubKey, key.subKey().c_str(), kPathSize);
    key.setValue("InstallFolder", REG_BINARY, std::string(260, 'F').c_str(), 260);  // full, with no terminator
    readInstallRecord(programState.recordedFolder);
    EXPECT_STREQ(programState.recordedFolder, "NoData");

    // A value that cannot be deleted ends the deletion rather than being asked for again.
    {
        ImportPatch refuse("advapi32.dll", "RegDeleteValueA", reinterpret_cast<void*>(refuseDeletion));
        deletionPatch = &refuse;
        deleteInstallRecord();
    }
    EXPECT_EQ(refusals, 1);
}

DWORD WINAPI readOnly(LPCSTR) { return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY; }

std::string windowsDirectory;  // what the Windows-directory fake answers
UINT WINAPI fakeWindowsDirectory(LPSTR buffer, UINT size) {
    if (windowsDirectory.size() >= size) return static_cast<UINT>(windowsDirectory.size() + 1);
    lstrcpyA(buffer, windowsDirectory.c_str());
    return static_cast<UINT>(windowsDirectory.size());
}

DWORD attributeError;  // what the failing attribute fake leaves as the last error
DWORD WINAPI unreadable(LPCSTR) {
    SetLastError(attributeError);
    return INVALID_FILE_ATTRIBUTES;
}

UINT driveType;  // what the drive-type fake answers for every root
UINT WINAPI fakeDriveType(LPCSTR) { return driveType; }

// The rule step by step, on real folders below a disc on drive C:, which Wine reports as fixed.
TEST(SafeFolderTest, EachStepOfTheRuleAndThePathHelpers) {
    constexpr DWORD kBrowse = kBrowseRefusedAttributes, kInstalled = kInstalledRefusedAttributes;
    TempDisc disc;
    for (const char* name : {"Games", "W", "W\\Game", "W2", "Games\\W", "ア", "ヂ", "管理ツール", "管理ツール\\Game"})
        disc.makeFolder(name);
    const std::string games = disc.path("Games");
    for (const char* path : {"", "C:", "1:\\Games", "\\\\server\\share\\Games", "Games", "ゲ:\\Games", "CC:\\Games"})
        EXPECT_FALSE(isSafeFolder(path, kBrowse)) << readable(path);
    // Nothing that begins like the Windows directory, whatever the ASCII case;
    // double-byte characters compare exactly: ア (83 41) is not ヂ (83 61).
    // Nothing named like the Administrative Tools, but what lies below it.
    const struct {
        const char *windows, *path;
        bool safe;
    } cases[] = {{"W", "w", false},  {"W", "W2", false},         {"W", "Games\\W", true},        {"ア", "ア", false},
                 {"ア", "ヂ", true}, {"W", "管理ツール", false}, {"W", "管理ツール\\Game", true}};
    {
        ImportPatch fake("kernel32.dll", "GetWindowsDirectoryA", reinterpret_cast<void*>(fakeWindowsDirectory));
        for (const auto& c : cases) {
            windowsDirectory = disc.path(c.windows);
            EXPECT_EQ(isSafeFolder(disc.path(c.path).c_str(), kBrowse), c.safe) << readable(c.path);
        }
        // Nor a folder below it spelt another way.
        std::string slashes = disc.path("W\\Game"), doubled = slashes;
        std::replace(slashes.begin(), slashes.end(), '\\', '/');
        doubled.insert(3, "\\");
        windowsDirectory = disc.path("W");
        for (const std::string& path : {slashes, doubled, disc.path("Games\\..\\W\\Game")})
            EXPECT_FALSE(isSafeFolder(path.c_str(), kBrowse)) << path;
    }
    {
        ImportPatch fake("kernel32.dll", "GetDriveTypeA", reinterpret_cast<void*>(fakeDriveType));
        for (driveType = DRIVE_UNKNOWN; driveType <= DRIVE_RAMDISK;
             ++driveType)  // removable, remote, CD-ROM, RAM refused
            EXPECT_EQ(isSafeFolder(games.c_str(), kBrowse), driveType <= DRIVE_NO_ROOT_DIR || driveType == DRIVE_FIXED)
                << driveType;
    }
    // No level may be a link, read on the file system: not the link, nor what lies below it. A level that does
    // not exist yet ends the walk, one that cannot be read for another reason refuses.
    {
        const std::string link = disc.path("L");
        const UnixLink planted(link, games);
        EXPECT_FALSE(isSafeFolder(link.c_str(), kBrowse) || isSafeFolder((link + "\\W").c_str(), kInstalled));
        const struct {
            std::string path;
            bool follows;
        } rows[] = {{link + "\\New", false},
                    {link, false},
                    {games + "\\W\\New\\Newer", true},
                    {disc.path("ヂ\\New"), true},
                    {"C:\\", true}};
        for (const auto& row : rows) EXPECT_EQ(followsNoLink(row.path.c_str()), row.follows) << readable(row.path);
        // Below a folder that passed, its own levels are not read again.
        EXPECT_TRUE(followsNoLinkBelow(link.c_str(), (link + "\\W").c_str()) &&
                    !followsNoLinkBelow(games.c_str(), link.c_str()));
        ImportPatch fake("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(unreadable));
        for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
            attributeError = error;
            EXPECT_EQ(followsNoLink(games.c_str()), error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                << error;
        }
    }
    // Hidden and system are refused by both masks, read-only (faked: Wine
    // keeps no such flag on folders) by the installed copy's only.
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        ASSERT_TRUE(SetFileAttributesA(games.c_str(), attribute));
        EXPECT_FALSE(isSafeFolder(games.c_str(), kBrowse) || isSafeFolder(games.c_str(), kInstalled)) << attribute;
    }
    ImportPatch patch("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(readOnly));
    EXPECT_TRUE(isSafeFolder(games.c_str(), kBrowse) && !isSafeFolder(games.c_str(), kInstalled));

    // Copy-list entries stay below their folder and open no device.
    for (const char* inside : {"BIN\\GAME.EXE", "\\BGM", "..GAME", "GAME..", "a.b\\.\\c", "表\\..x", "ソ..", "",
                               "CONSOLE.DAT", "NULL", "COM10"})
        EXPECT_TRUE(staysInsideFolder(inside)) << readable(inside);
    for (const char* outside : {"..", "\\..\\X", "BIN/../../X", "BIN\\...\\X", "BIN\\.. \\X", "C:X", "表\\..", "NUL",
                                "\\SE\\con.dat", "LPT1.TXT", "aux . wav", "COM9", "BIN/PRN"})
        EXPECT_FALSE(staysInsideFolder(outside)) << readable(outside);

    // One level of a path (DEFAULT_DIR, SHORTCATNAME), and a path of such levels
    // (SHORTCATDIR). ソ and 表 end in 0x5C, which is no separator.
    struct NameRow {
        const char* text;
        bool plain;
        bool path;
    };
    const NameRow rows[] = {
        {"Game", true, true},
        {"..GAME", true, true},
        {"ソ", true, true},
        {"表示", true, true},
        {"CONSOLE", true, true},
        {"LPT", true, true},
        {"COM10.DAT", true, true},
        {"Maker\\Game", false, true},
        {"ソ\\表", false, true},
        {"Game.", false, false},
        {"Maker \\Game", false, false},
        {"", false, false},
        {".", false, false},
        {" ", false, false},
        {". .", false, false},
        {"..", false, false},
        {"\\", false, false},
        {".\\", false, false},
        {"/", false, false},
        {"\\Game", false, false},
        {"Game\\", false, false},
        {"Maker\\\\Game", false, false},
        {"..\\Mine", false, false},
        {"Maker/Game", false, false},
        {"C:Game", false, false},
        {"Ga*me", false, false},
        {"Game?", false, false},
        {"a|b", false, false},
        {"NUL", false, false},
        {"nul.txt", false, false},
        {"Con ", false, false},
        {"LPT1.", false, false},
        {"AUX .DAT", false, false},
        {"com9", false, false},
        {"Maker\\CON", false, false},
    };
    for (const NameRow& row : rows) {
        EXPECT_EQ(isPlainName(row.text), row.plain) << readable(row.text);
        EXPECT_EQ(isAcceptableRelativePath(row.text), row.path) << readable(row.text);
    }
}

}  // namespace
