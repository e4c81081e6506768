// The setup description file: the program's own path with ".INI" for its
// extension, section kSetupSection. Every lookup reads the file afresh.
#pragma once

#include <cstddef>

#include "setupdata/setupnames.h"
#include "setupdata/text.h"

// A value read whole (GAME_NAME, REG_NAME), with its terminator.
constexpr int kValueSize = 256;

// What a string lookup gives for a missing key.
constexpr char kNoData[] = "NoData";

// Exact, case-sensitive: a value that is literally "NoData" counts as missing.
bool isNoData(const char* value);

// String lookup: at most limit - 1 bytes of the value of key, or "NoData".
void readSetupString(const char* key, char* value, unsigned limit);
template <size_t N>
void readSetupString(const char* key, char (&value)[N]) {
    readSetupString(key, value, static_cast<unsigned>(N));
}

// Integer lookup: the value as a decimal number, 0 when the key is missing.
int readSetupInt(const char* key);

// Sets descriptionPath from the module path by putting ".INI" over everything
// from its last "."; false (and descriptionPath empty) when the path has no "."
// or the result does not fit.
bool deriveDescriptionPath(const char* modulePath);

// The running program's own path. False, and path empty, when it cannot be
// read whole.
bool getModulePath(char (&path)[kPathSize]);

// The folder of the program at programPath: up to and including its last
// backslash. False, and folder empty, when there is none.
bool getProgramFolderOf(const char* programPath, char (&folder)[kPathSize]);
// The same for the running program's module path.
bool getProgramFolder(char (&folder)[kPathSize]);

// The source folder of the copy: programFolder + COPYDIR (empty when missing).
// False, and folder empty, when it does not fit.
bool getSourceFolderOf(const char* programFolder, char (&folder)[kPathSize]);
// The same from the running program's folder.
bool getSourceFolder(char (&folder)[kPathSize]);

// The numbered key of kind and index, as the walks form it.
void formatNumberedKey(NumberedKey kind, unsigned index, char (&key)[kKeySize]);

// Calls visit with the name of every key present in section kSetupSection, in
// file order. False when the file cannot be read.
using SetupKeyVisitor = void (*)(const char* key, void* context);
bool walkSetupKeys(SetupKeyVisitor visit, void* context);

// The copy list: COPYFILE_000, COPYFILE_001, ... up to the first missing key.
// An entry that begins with a backslash is a folder marker: "\" + folder makes
// folder below the target and the current subfolder for the files after it;
// kResetMarker alone makes the target itself current again.
constexpr char kResetMarker[] = "\\";
// entry = the subfolder marker of folder. False, and entry empty, when it does
// not fit or folder is empty (that would be the reset marker).
bool composeSubfolderMarker(const char* folder, char (&entry)[kPathSize]);

enum class CopyEntryKind { file, subfolderMarker, resetMarker };

struct CopyEntry {
    unsigned index;
    CopyEntryKind kind;
    const char* value;  // the entry as the list holds it
    // File entry: program folder + COPYDIR + entry. nullptr for a marker, when
    // the path does not fit, or when the entry is refused (staysInsideFolder).
    const char* sourcePath;
    // File entry: target + current subfolder + "\" + entry.
    // Subfolder marker: target + marker, the folder it makes.
    // Reset marker: target + current subfolder, the folder it closes (the
    // target itself when no subfolder is current).
    // nullptr when the walk has no target folder, when the path does not fit,
    // or when the entry would reach outside the target (staysInsideFolder).
    const char* targetPath;
};

// Called for every entry in list order; returns false to stop the walk.
using CopyEntryVisitor = bool (*)(const CopyEntry& entry, void* context);

// Walks the copy list with an empty current subfolder at the start; a present
// but empty entry is skipped. targetFolder may be nullptr for a walk that
// needs only source paths. Returns false when the visitor stopped the walk.
bool walkCopyList(const char* targetFolder, CopyEntryVisitor visit, void* context);
// The same with the sources below programFolder (nullptr: no source paths)
// rather than the running program's folder.
bool walkCopyListFrom(const char* programFolder, const char* targetFolder, CopyEntryVisitor visit, void* context);

// The shortcut list: groups 00, 01, ... up to the first group that lacks its
// folder, name or target.
struct ShortcutEntry {
    unsigned index;
    char folder[kPathSize];       // below the Start menu's programs folder
    char name[kPathSize];         // the link file is name + ".lnk"
    char target[kPathSize];       // relative to the install folder
    char description[kPathSize];  // empty when missing
    bool hasIconFile;
    char iconFile[kPathSize];  // relative to the target's folder
    int iconNumber;
};

using ShortcutVisitor = bool (*)(const ShortcutEntry& entry, void* context);

// Returns false when the visitor stopped the walk.
bool walkShortcutList(ShortcutVisitor visit, void* context);
