#include <gtest/gtest.h>

#include <string>

#include "setupdata/safefolder.h"
#include "tests/bench/fakes.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

constexpr DWORD kBoth[] = {kBrowseRefusedAttributes, kInstalledRefusedAttributes};

// Real folders below a temporary disc on drive C:, which Wine reports as fixed.
class SafeFolderTest : public ::testing::Test {
protected:
    std::string folder(const std::string& name) {
        disc.makeFolder(name);
        return disc.path(name);
    }
    TempDisc disc;
};

TEST_F(SafeFolderTest, AcceptsAnOrdinaryFolderAndRefusesPathsWithoutADriveLetter) {
    const std::string games = folder("Games");
    for (DWORD mask : kBoth) EXPECT_TRUE(isSafeFolder(games.c_str(), mask));

    for (const char* path : {"", "C:", "1:\\Games", "\\\\server\\share\\Games", "Games\\Sample", "C\\Games",
                             "ゲ:\\Games", "CC:\\Games"}) {
        for (DWORD mask : kBoth) EXPECT_FALSE(isSafeFolder(path, mask)) << readable(path);
    }
    for (DWORD mask : kBoth) EXPECT_FALSE(isSafeFolder(disc.path("Missing").c_str(), mask));
}

TEST_F(SafeFolderTest, RefusesTheWindowsDirectoryAndWhatBeginsLikeIt) {
    const std::string windows = folder("WINDOWS");
    const std::string kana = folder("ア");  // 83 41: its trail byte is an 'A'
    const std::string otherKana = folder("ヂ");  // 83 61: the same byte as an 'a'
    const std::string beside = folder("WINDOWS2");
    const std::string inside = folder("WINDOWS\\GAMES");
    folder("Games");
    const std::string named = folder("Games\\WINDOWS");

    FakeWindowsDirectory fake(windows);
    std::string lower = inside;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const std::string& path : {windows, inside, beside, lower}) {
        EXPECT_FALSE(isSafeFolder(path.c_str(), kBrowseRefusedAttributes)) << readable(path);
    }
    EXPECT_TRUE(isSafeFolder(named.c_str(), kBrowseRefusedAttributes));

    // Double-byte characters compare exactly, whatever their trail bytes look like.
    FakeWindowsDirectory kanaWindows(kana);
    EXPECT_FALSE(isSafeFolder(kana.c_str(), kBrowseRefusedAttributes));
    EXPECT_TRUE(isSafeFolder(otherKana.c_str(), kBrowseRefusedAttributes));
}

TEST_F(SafeFolderTest, RefusesRemovableRemoteCdromAndRamDrives) {
    const std::string games = folder("Games");
    const char drive = games[0];
    for (UINT type : {DRIVE_REMOVABLE, DRIVE_REMOTE, DRIVE_CDROM, DRIVE_RAMDISK}) {
        FakeDriveTypes fake({{drive, type}});
        for (DWORD mask : kBoth) EXPECT_FALSE(isSafeFolder(games.c_str(), mask)) << type;
    }
    for (UINT type : {DRIVE_UNKNOWN, DRIVE_NO_ROOT_DIR, DRIVE_FIXED}) {
        FakeDriveTypes fake({{drive, type}});
        for (DWORD mask : kBoth) EXPECT_TRUE(isSafeFolder(games.c_str(), mask)) << type;
    }
}

DWORD fakeAttributes = 0;
DWORD WINAPI fakeGetFileAttributesA(LPCSTR) { return fakeAttributes; }

TEST_F(SafeFolderTest, AttributeMasksOfBrowsingAndOfTheInstalledCopy) {
    const std::string games = folder("Games");
    // Hidden and system are real attributes under Wine.
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        ASSERT_TRUE(SetFileAttributesA(games.c_str(), attribute));
        for (DWORD mask : kBoth) EXPECT_FALSE(isSafeFolder(games.c_str(), mask)) << attribute;
    }
    ASSERT_TRUE(SetFileAttributesA(games.c_str(), FILE_ATTRIBUTE_NORMAL));

    // Wine keeps no read-only flag on folders: that one is faked.
    ImportPatch patch("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(fakeGetFileAttributesA));
    fakeAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
    EXPECT_TRUE(isSafeFolder(games.c_str(), kBrowseRefusedAttributes));
    EXPECT_FALSE(isSafeFolder(games.c_str(), kInstalledRefusedAttributes));
    fakeAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_TRUE(isSafeFolder(games.c_str(), kInstalledRefusedAttributes));
}

TEST_F(SafeFolderTest, RefusesTheAdministrativeToolsFolderByName) {
    const std::string tools = folder("管理ツール");
    const std::string inside = folder("管理ツール\\Game");
    EXPECT_FALSE(isSafeFolder(tools.c_str(), kBrowseRefusedAttributes));
    EXPECT_TRUE(isSafeFolder(inside.c_str(), kBrowseRefusedAttributes));
    EXPECT_TRUE(isSafeFolder((tools + "\\").c_str(), kBrowseRefusedAttributes));  // empty last component
}

TEST(LastPathComponent, StartsAfterTheLastSeparatorCharacter) {
    const struct {
        const char* path;
        const char* component;
    } cases[] = {
        {"C:\\Games\\Foo", "Foo"}, {"C:\\Games\\", ""},   {"C:Foo", "Foo"},     {"Foo", "Foo"},
        {"C:/Games/Foo", "Foo"},   {"C:\\", ""},          {"", ""},             {"C:\\ゲーム\\ソフト", "ソフト"},
        {"C:\\ソ", "ソ"},          {"C:\\表\\ソ表", "ソ表"},  // trail bytes 0x5C are no separators
    };
    for (const auto& c : cases) {
        const char* result = lastPathComponent(c.path);
        EXPECT_TRUE(sameText(result, c.component)) << readable(c.path);
        EXPECT_TRUE(result >= c.path && result <= c.path + strlen(c.path));  // always within the same string
    }
}

TEST(ConfinementRule, RefusesDrivesStreamsAndClimbingComponents) {
    for (const char* inside : {"GAME.EXE", "BIN\\GAME.EXE", "\\BGM", "..GAME", "GAME..", "a.b\\.\\c", "表\\..x",
                               "ソ..", "サンプル"}) {
        EXPECT_TRUE(staysInsideFolder(inside)) << readable(inside);
        EXPECT_TRUE(isSafeShortcutFolder(inside)) << readable(inside);
    }
    for (const char* outside : {"..", "..\\GAME.EXE", "\\..\\X", "BIN/../../X", "BIN\\...\\X", "BIN\\.. \\X",
                                "C:\\X", "C:X", "GAME.EXE:stream", "表\\.."}) {
        EXPECT_FALSE(staysInsideFolder(outside)) << readable(outside);
        EXPECT_FALSE(isSafeShortcutFolder(outside)) << readable(outside);
    }
    EXPECT_TRUE(staysInsideFolder(""));
    EXPECT_FALSE(isSafeShortcutFolder(""));  // would be the Programs folder itself
}

}  // namespace
