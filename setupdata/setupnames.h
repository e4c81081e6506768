// The names a disc and the program share: the description file's keys and the
// files that lie beside the program. Everything that reads, writes or checks a
// disc takes them from here.
#pragma once

#include <windows.h>

#include <cstddef>
#include <iterator>

// The one section of the description file that the program reads.
constexpr char kSetupSection[] = "InstallInfo";

// Single keys of section kSetupSection.
constexpr char kGameNameKey[] = "GAME_NAME";
constexpr char kExeNameKey[] = "EXE_NAME";
constexpr char kDefaultDirKey[] = "DEFAULT_DIR";
constexpr char kRegNameKey[] = "REG_NAME";
constexpr char kCopyDirKey[] = "COPYDIR";
constexpr char kDxOptionKey[] = "DXOPTION";
constexpr const char* kSingleKeys[] = {kGameNameKey,   kRegNameKey, kExeNameKey,
                                       kDefaultDirKey, kCopyDirKey, kDxOptionKey};

// The numbered keys, formed as the walks form them (formatNumberedKey):
// COPYFILE_000, ..., COPYFILE_1000; SHORTCATDIR_00, ..., SHORTCATDIR_100 and
// their sisters. SHORTCAT and DISCRIPT are spelt as discs have always spelt them.
enum class NumberedKey {
    copyFile,
    shortcutFolder,
    shortcutName,
    shortcutTarget,
    shortcutDescription,
    shortcutIcon,
    shortcutIconNumber,
};
constexpr NumberedKey kNumberedKeys[] = {
    NumberedKey::copyFile,           NumberedKey::shortcutFolder,      NumberedKey::shortcutName,
    NumberedKey::shortcutTarget,     NumberedKey::shortcutDescription, NumberedKey::shortcutIcon,
    NumberedKey::shortcutIconNumber,
};
// By NumberedKey: the family's name and the index's least digits.
constexpr const char* kNumberedKeyFormats[] = {
    "COPYFILE_%03u",         "SHORTCATDIR_%02u",  "SHORTCATNAME_%02u",       "SHORTCATFILE_%02u",
    "SHORTCATDISCRIPT_%02u", "SHORTCATICON_%02u", "SHORTCATICONNUMBER_%02u",
};
static_assert(std::size(kNumberedKeyFormats) == std::size(kNumberedKeys), "one format for each numbered key");
constexpr size_t kKeySize = 32;
// The longest: 19 letters and the ten digits of an unsigned 32-bit index.
static_assert(kKeySize > 19 + 10, "room for every index");

// Files of a disc. The description file and the splash files are named after
// the running program's own path; these are the names a pressed disc uses.
constexpr char kSetupProgramName[] = "SETUP.EXE";
constexpr char kDescriptionFileName[] = "SETUP.INI";
// The DirectX setup library, bound when the program loads, and the runtime's
// setup program that the sample disc's stand-in runs from the source folder.
constexpr char kDsetupLibrary[] = "DSETUP.dll";
constexpr char kDxSetupProgram[] = "DXSETUP.EXE";

// The same names for the disc tools, which name files with the wide calls.
template <size_t N>
struct WideName {
    wchar_t text[N];
};
template <size_t N>
constexpr WideName<N> widen(const char (&name)[N]) {
    WideName<N> wide = {};
    for (size_t i = 0; i < N; ++i) wide.text[i] = static_cast<wchar_t>(name[i]);  // ASCII names only
    return wide;
}
constexpr auto kSetupProgramNameW = widen(kSetupProgramName);
constexpr auto kDescriptionFileNameW = widen(kDescriptionFileName);
constexpr auto kDsetupLibraryW = widen(kDsetupLibrary);
// The disc's AutoPlay entry at its root, which the disc tools write and check;
// the program itself never reads it.
constexpr char kAutorunFileName[] = "AUTORUN.INF";
constexpr auto kAutorunFileNameW = widen(kAutorunFileName);

constexpr WORD kDsetupGetVersionOrdinal = 11;
constexpr WORD kDsetupRunOrdinal = 5;
