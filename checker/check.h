// What the disc checker's checks share: the record of one check under way,
// the helpers that report its findings, and the checks that checkDisc runs.
// Private to the checker.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "report/finding.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

// A user may pick a deep parent folder in the browser; paths must fit below
// one of this many characters too.
constexpr unsigned kDeepParentLength = 100;

// Paths as the file system compares them: in any case.
struct Caseless {
    bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};
using PathSet = std::set<std::string, Caseless>;

// The first entry that copies a source, and where it puts it.
struct SourceUse {
    std::string key;
    std::string destination;  // relative to the install folder; the entry itself without one
};

struct Check {
    FindingSink sink;
    void* context;
    char programPath[kPathSize];    // the disc's SETUP.EXE
    char programFolder[kPathSize];  // with its trailing backslash
    char sourceFolder[kPathSize];
    bool sourcesCheckable;  // COPYDIR is sound and its folder exists
    char defaultDirName[sizeof programState.defaultDirName];
    char installFolder[kPathSize];  // the default one; empty when it does not fit
    char deepInstallFolder[kPathSize];
    // What the copy list installs (files) and makes (folders), from the walk
    // with the default install folder.
    PathSet installedFiles;
    PathSet madeFolders;
    std::vector<unsigned> entriesWithoutTarget;          // refused or too long for the default folder, ascending
    std::map<std::string, SourceUse, Caseless> sources;  // relative to the program folder
    // The names a pressing without Joliet or Rock Ridge names may change, each once, in list order.
    std::vector<std::string> isoNames;
    std::set<std::string> isoNamesSeen;
    // Files in the source folder's subfolders by name, relative to the program
    // folder: read once, at the first missing source.
    std::map<std::string, std::string, Caseless> nestedSources;
    bool nestedSourcesRead;
    ULONGLONG copyBytes;
    unsigned copyEnd;      // the first COPYFILE index that ends the list
    unsigned shortcutEnd;  // the first incomplete shortcut group
    unsigned copyKeysAfterEnd;
    unsigned shortcutKeysAfterEnd;
    CopyEntryKind firstEntryKind;  // of COPYFILE_000, when the walk saw it
    bool sawFirstEntry;
    char exeName[kPathSize];
    char gameSource[kPathSize];  // the source of the entry that installs EXE_NAME; empty when none
};

inline void report(Check& check, Severity severity, const char* id, const char* key,
                   std::initializer_list<const char*> parts) {
    check.sink(makeFinding(severity, id, key, parts), check.context);
}

inline void error(Check& check, const char* id, const char* key, std::initializer_list<const char*> parts) {
    report(check, Severity::error, id, key, parts);
}

inline void warning(Check& check, const char* id, const char* key, std::initializer_list<const char*> parts) {
    report(check, Severity::warning, id, key, parts);
}

inline bool holds(const PathSet& paths, const char* relativePath) { return paths.count(relativePath) > 0; }

// Whether every name of path after its first `from` bytes is spelled on the
// disc as written; onDisc gets the disc's spelling of those names.
bool spelledAsListed(const char* listedPath, size_t from, char (&onDisc)[kPathSize]);

// The checks, each in the file of its area; checkDisc runs them in order.
// keys.cpp
void checkSingleKeys(Check& check);
void checkSourceFolder(Check& check);
void checkInstallFolders(Check& check);
void checkGameProgram(Check& check);
// A SetupKeyVisitor; context is the Check.
void scanKey(const char* key, void* context);
// copylist.cpp
void checkCopyList(Check& check);
void checkCopyListEnd(Check& check);
// shortcuts.cpp
void checkShortcuts(Check& check);
void checkShortcutListEnd(Check& check);
// programs.cpp
void checkPrograms(Check& check);
void checkSignatures(Check& check);
// splash.cpp, autorun.cpp
void checkSplashFiles(Check& check);
void checkAutorun(Check& check);
// encoding.cpp
// Whether bytes are UTF-8 with at least one character beyond ASCII: text in
// code page 932 almost never is, as its double-byte characters' second bytes
// are mostly ASCII or lead bytes.
bool isUtf8BeyondAscii(const std::string& bytes);
// SETUP.EXE reads its description file as text in code page 932: says so when
// it is in another encoding. Returns whether it said so.
bool checkEncoding(Check& check);
