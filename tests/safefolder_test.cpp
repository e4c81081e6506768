#include "setupdata/safefolder.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

constexpr DWORD kBrowse = kBrowseRefusedAttributes, kInstalled = kInstalledRefusedAttributes;

DWORD WINAPI readOnly(LPCSTR) { return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY; }

// The rule step by step, on real folders below a disc on drive C:, which Wine reports as fixed.
TEST(SafeFolderTest, EachStepOfTheRuleAndThePathHelpers) {
    TempDisc disc;
    for (const char* name : {"Games", "W", "W2", "Games\\W", "ア", "ヂ", "管理ツール", "管理ツール\\Game"}) disc.makeFolder(name);
    const std::string games = disc.path("Games");
    for (const char* path : {"", "C:", "1:\\Games", "\\\\server\\share\\Games", "Games", "ゲ:\\Games", "CC:\\Games"})
        EXPECT_FALSE(isSafeFolder(path, kBrowse)) << readable(path);
    // Nothing that begins like the Windows directory, whatever the ASCII case;
    // double-byte characters compare exactly: ア (83 41) is not ヂ (83 61).
    const struct { const char *windows, *path; bool safe; } cases[] = {
        {"W", "w", false}, {"W", "W2", false}, {"W", "Games\\W", true}, {"ア", "ア", false}, {"ア", "ヂ", true}};
    for (const auto& c : cases) {
        FakeWindowsDirectory fake(disc.path(c.windows));
        EXPECT_EQ(isSafeFolder(disc.path(c.path).c_str(), kBrowse), c.safe) << readable(c.path);
    }
    for (UINT type = DRIVE_UNKNOWN; type <= DRIVE_RAMDISK; ++type) {  // removable, remote, CD-ROM and RAM refused
        FakeDriveTypes fake({{games[0], type}});
        EXPECT_EQ(isSafeFolder(games.c_str(), kBrowse), type <= DRIVE_NO_ROOT_DIR || type == DRIVE_FIXED) << type;
    }
    EXPECT_FALSE(isSafeFolder(disc.path("管理ツール").c_str(), kBrowse));  // named like the Administrative Tools
    EXPECT_TRUE(isSafeFolder(disc.path("管理ツール\\Game").c_str(), kBrowse));
    // Hidden and system are refused by both masks, read-only (faked: Wine
    // keeps no such flag on folders) by the installed copy's only.
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        ASSERT_TRUE(SetFileAttributesA(games.c_str(), attribute));
        EXPECT_FALSE(isSafeFolder(games.c_str(), kBrowse) || isSafeFolder(games.c_str(), kInstalled)) << attribute;
    }
    ImportPatch patch("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(readOnly));
    EXPECT_TRUE(isSafeFolder(games.c_str(), kBrowse) && !isSafeFolder(games.c_str(), kInstalled));

    // Trail bytes 5C (表, ソ) are no separators.
    const std::pair<const char*, const char*> components[] = {
        {"C:\\Games/Foo", "Foo"}, {"C:Foo", "Foo"}, {"Foo", "Foo"}, {"C:\\Games\\", ""}, {"C:\\表\\ソ表", "ソ表"}};
    for (const auto& [path, component] : components) EXPECT_STREQ(lastPathComponent(path), component) << readable(path);

    // Copy-list entries and shortcut folders stay below their folder.
    for (const char* inside : {"BIN\\GAME.EXE", "\\BGM", "..GAME", "GAME..", "a.b\\.\\c", "表\\..x", "ソ.."})
        EXPECT_TRUE(staysInsideFolder(inside) && isSafeShortcutFolder(inside)) << readable(inside);
    for (const char* outside : {"..", "\\..\\X", "BIN/../../X", "BIN\\...\\X", "BIN\\.. \\X", "C:X", "表\\.."})
        EXPECT_FALSE(staysInsideFolder(outside) || isSafeShortcutFolder(outside)) << readable(outside);
    EXPECT_TRUE(staysInsideFolder("") && !isSafeShortcutFolder(""));  // that would be the Programs folder itself
}

}  // namespace
