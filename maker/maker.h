// The disc maker: reads a game folder as it must stand after the install and
// lays out a disc whose SETUP.INI installs exactly that tree and whose removal
// walk takes all of it away again.
#pragma once

#include <windows.h>

#include <vector>

#include "report/finding.h"
#include "setupdata/setupfile.h"
#include "setupdata/splashfile.h"
#include "setupdata/text.h"

// One file or folder of a tree read from disk.
struct TreeItem {
    wchar_t path[kPathSize];  // relative to the tree's root, "\"-separated
    char name[kPathSize];     // the same in code page 932
    int parent;               // index of its folder; -1 in the root
    bool folder;
    // A file whose name (in any case) another file or folder of the tree has
    // too: it cannot lie in the flat source folder under its own name.
    bool shared;
    ULONGLONG size;
};

struct ShortcutOption {
    char name[kPathSize];
    char target[kPathSize];       // relative to the install folder
    char description[kPathSize];  // empty: none
    char icon[kPathSize];         // relative to the install folder; empty: none
    int iconNumber;
};

struct MakerOptions {
    wchar_t gameFolder[kPathSize];
    wchar_t discFolder[kPathSize];            // full path
    wchar_t programFolder[kPathSize];         // holds SETUP.EXE and DSETUP.dll
    wchar_t directxFolder[kPathSize];         // empty: no runtime offer
    wchar_t splash[kSplashSlots][kPathSize];  // empty: no such splash file
    char gameName[kValueSize];
    char exeName[kPathSize];
    char defaultDir[kFolderSize];
    char regName[kPathSize];
    char shortcutFolder[kPathSize];
    std::vector<ShortcutOption> shortcuts;
    bool autorun;  // AUTORUN.INF at the disc's root
};

// One copy-list entry and the file it copies (-1 for a marker).
struct ListEntry {
    char value[kPathSize];
    int item;
};

// What a disc made by SETUPMK holds at most. Folders: an ISO 9660 path table
// numbers them in 16 bits. Files: every walk of SETUP.EXE looks each entry up
// in the description file, and the profile reader searches the section's keys
// one by one, so a walk costs the square of the list's length.
constexpr unsigned kMaxTreeFiles = 10000;
constexpr unsigned kMaxTreeFolders = 65535;
extern const char kTooManyFiles[];
extern const char kTooManyFolders[];

enum class TreeRead { read, unreadable, tooLarge };

// Reads the tree below root. Names that code page 932 cannot hold, that the
// program's name rule refuses or that would not fit an entry, and files that
// cannot be opened as plain files (a dangling link, a device, a pipe), are
// reported as errors to sink and left out with everything below them.
// unreadable when root cannot be listed; tooLarge, after one finding, when
// the tree holds more files or folders than a disc may.
TreeRead readTree(const wchar_t* root, std::vector<TreeItem>& items, FindingSink sink, void* context);

// The item whose code-page path is relativePath ("/" taken for "\"), or -1.
int findItem(const std::vector<TreeItem>& items, const char* relativePath);

// Where a file lies below the source folder: its own name when that is
// unique in the tree, else its whole relative path.
const char* sourceName(const TreeItem& item);

// The copy list for the tree, first the file that marks an installed copy.
std::vector<ListEntry> planCopyList(const std::vector<TreeItem>& items, int firstFile);

// Whether something keeps the layout from being written (a source path that
// does not fit, a runtime file colliding with a game file); problem says what.
bool layoutProblem(const MakerOptions& options, const std::vector<TreeItem>& game, const std::vector<TreeItem>& directx,
                   Finding& problem);

// Why a file the game folder holds cannot go on the disc as a file.
extern const char kNotAFile[];

// Writes the disc. On failure removes everything it wrote (and the disc folder
// when it made it), sets failedPath and returns false.
bool writeDisc(const MakerOptions& options, const std::vector<TreeItem>& game, const std::vector<TreeItem>& directx,
               const std::vector<ListEntry>& list, wchar_t (&failedPath)[kPathSize]);

// Whether a text stays the same through the profile reader as a value: no
// blank at either end, not enclosed in quotation marks, no line break.
bool survivesAsValue(const char* value);
