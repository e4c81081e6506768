#include "checker/discchecker.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "setupdata/splashfile.h"
#include "checker/console.h"
#include "checker/peimage.h"
#include "checker/signature.h"
#include "setupdata/setupnames.h"
#include "setupdata/installfolder.h"
#include "setupdata/shortcutpaths.h"
#include "setupdata/programstate.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

// A user may pick a deep parent folder in the browser; paths must fit below
// one of this many characters too.
constexpr unsigned kDeepParentLength = 100;
constexpr ULONGLONG kCdRomBytes = 650ull << 20;
// totalBytes and the progress count are unsigned 32-bit.
constexpr ULONGLONG kCountableBytes = 1ull << 32;
// Each corner image should fit a quarter of the smallest screen.
constexpr LONG kCornerWidth = 640 / 2;
constexpr LONG kCornerHeight = 480 / 2;
// ISO 9660 allows eight directory levels, the root being the first.
constexpr unsigned kIsoFoldersBelowRoot = 7;
// Values are read this long to tell a value that the program cuts.
constexpr unsigned kLongValue = 1024;

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

// The summary names this many of the names a pressing may change.
constexpr size_t kIsoNamesShown = 5;
// The description file is read this far to tell its encoding.
constexpr DWORD kEncodingProbeBytes = 1u << 20;

struct Check {
    FindingSink sink;
    void* context;
    char programPath[kPathSize];    // the disc's SETUP.EXE
    char programFolder[kPathSize];  // with its trailing backslash
    char sourceFolder[kPathSize];
    bool sourcesCheckable;          // COPYDIR is sound and its folder exists
    char defaultDirName[sizeof programState.defaultDirName];
    char installFolder[kPathSize];  // the default one; empty when it does not fit
    char deepInstallFolder[kPathSize];
    // What the copy list installs (files) and makes (folders), from the walk
    // with the default install folder.
    PathSet installedFiles;
    PathSet madeFolders;
    std::vector<unsigned> entriesWithoutTarget;  // refused or too long for the default folder, ascending
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

void report(Check& check, Severity severity, const char* id, const char* key,
            std::initializer_list<const char*> parts) {
    check.sink(makeFinding(severity, id, key, parts), check.context);
}

void error(Check& check, const char* id, const char* key, std::initializer_list<const char*> parts) {
    report(check, Severity::error, id, key, parts);
}

void warning(Check& check, const char* id, const char* key, std::initializer_list<const char*> parts) {
    report(check, Severity::warning, id, key, parts);
}

bool holds(const PathSet& paths, const char* relativePath) { return paths.count(relativePath) > 0; }

void stripTrailingBackslashes(char* path) {
    for (char* last = findLastBackslash(path); last != nullptr && last[1] == '\0'; last = findLastBackslash(path)) {
        *last = '\0';
    }
}

// The folder part of a path relative to the install folder: "" for a file in
// the install folder itself.
void parentOf(const char* relativePath, char (&parent)[kPathSize]) {
    copyText(parent, relativePath);
    char* backslash = findLastBackslash(parent);
    if (backslash == nullptr) backslash = parent;
    *backslash = '\0';
    stripTrailingBackslashes(parent);
}

// Whether every name of path after its first `from` bytes is spelled on the
// disc as written; onDisc gets the disc's spelling of those names.
bool spelledAsListed(const char* listedPath, size_t from, char (&onDisc)[kPathSize]) {
    char path[kPathSize];
    copyText(path, listedPath);
    onDisc[0] = '\0';
    bool same = true;
    char* component = path + from;
    for (char* p = component;; p = CharNextA(p)) {
        const char c = *p;
        if (c != '\0' && c != '\\') continue;  // CharNextA steps over double-byte characters whole
        if (p > component) {
            *p = '\0';
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA(path, &found);
            if (search == INVALID_HANDLE_VALUE) return true;
            FindClose(search);
            same = same && lstrcmpA(component, found.cFileName) == 0;
            char sofar[kPathSize];
            copyText(sofar, onDisc);
            joinText(onDisc, {sofar, sofar[0] != '\0' ? "\\" : "", found.cFileName});
            *p = c;
        }
        if (c == '\0') return same;
        component = p + 1;
    }
}

// --- the keys ------------------------------------------------------------------

// Reports a key that is missing, or longer than the program reads it.
// Returns whether it is present.
bool checkKey(Check& check, const char* key, unsigned limit, const char* whenMissing) {
    char value[kLongValue];
    readSetupString(key, value, sizeof value);
    if (isNoData(value)) {
        error(check, "missing-key", key, {"ありません。", whenMissing});
        return false;
    }
    const size_t length = std::strlen(value);
    if (length >= limit) {
        error(check, "too-long", key,
              {number(static_cast<unsigned long>(length)).text, " バイトあります。SETUP.EXE はこのキーを ",
               number(limit - 1).text, " バイトまでしか読みません"});
    }
    return true;
}

void checkSingleKeys(Check& check) {
    checkKey(check, kGameNameKey, sizeof programState.gameName, "SETUP.EXE は初期化に失敗して終わります");
    checkKey(check, kExeNameKey, kPathSize, "ゲームを起動できません");
    checkKey(check, kDefaultDirKey, sizeof programState.defaultDirName,
             "インストール先のフォルダ名が「NoData」になります");
    if (!checkKey(check, kRegNameKey, kLongValue,
                  "インストール済みのゲームが見つからず、実行もアンインストールもできません")) {
        return;
    }
    char regName[kLongValue];
    readSetupString(kRegNameKey, regName);
    if (!isNoData(regName) && std::strlen(regName) <= kMaxRegName && namesSharedRegistryKey(regName)) {
        error(check, "reg-name-shared", kRegNameKey,
              {"HKEY_CURRENT_USER\\Software\\", regName,
               " はシステムか他のプログラムのキーを指すため、SETUP.EXE は無いものとして扱います。"
               "インストールの記録は残らず、インストール済みのゲームも見つかりません"});
    } else if (!buildRegistrySubKey()) {
        error(check, "reg-name", kRegNameKey,
              {"空か ", number(kMaxRegName).text,
               " バイトを超えるため、SETUP.EXE は無いものとして扱います。インストール済みのゲームが見つかりません"});
    }
}

// COPYDIR and the source folder it names; the sources are checked one by one
// only when this holds, so that one mistake here is told once.
void checkSourceFolder(Check& check) {
    char copyDir[kPathSize];
    readSetupString(kCopyDirKey, copyDir);
    check.sourcesCheckable = false;
    if (!isNoData(copyDir) && copyDir[0] != '\0' && !endsInBackslash(copyDir)) {
        error(check, "copydir", kCopyDirKey,
              {"「\\」で終わっていません。ファイル名がそのまま続き (", copyDir,
               "GAME.EXE のように)、どのファイルも見つかりません"});
    } else if (!getSourceFolderOf(check.programFolder, check.sourceFolder)) {
        error(check, "copydir", kCopyDirKey, {"コピー元フォルダのパスが ", kLongestPath.text, " バイトを超えます"});
    } else if (!isFolder(check.sourceFolder)) {
        error(check, "copydir", kCopyDirKey, {"コピー元フォルダ ", copyDir, " がディスクにありません"});
    } else {
        check.sourcesCheckable = true;
        char onDisc[kPathSize];
        if (!spelledAsListed(check.sourceFolder, std::strlen(check.programFolder), onDisc)) {
            warning(check, "case-mismatch", kCopyDirKey, {"ディスク上の名前は ", onDisc, " で、大文字と小文字が違います"});
        }
    }
}

// The numbered families' names without their digits: "COPYFILE_", "SHORTCATDIR_", ...
void numberedKeyPrefix(NumberedKey kind, char (&prefix)[kKeySize]) {
    formatNumberedKey(kind, 0, prefix);
    char* end = prefix + std::strlen(prefix);
    while (end > prefix && end[-1] >= '0' && end[-1] <= '9') --end;
    *end = '\0';
}

// Whether typed is known spelt with one slip: two neighbouring letters
// swapped, one letter dropped or one doubled.
bool isOneSlipFrom(const std::string& typed, const std::string& known) {
    if (typed.size() == known.size()) {
        size_t i = 0;
        while (i < typed.size() && typed[i] == known[i]) ++i;
        return i + 1 < typed.size() && typed[i] == known[i + 1] && typed[i + 1] == known[i] &&
               typed.compare(i + 2, std::string::npos, known, i + 2, std::string::npos) == 0;
    }
    const std::string& longer = typed.size() > known.size() ? typed : known;
    const std::string& shorter = typed.size() > known.size() ? known : typed;
    if (longer.size() != shorter.size() + 1) return false;
    size_t i = 0;
    while (i < shorter.size() && longer[i] == shorter[i]) ++i;
    // A doubled letter repeats its neighbour; a dropped one may be any.
    const bool doubled = typed.size() > known.size();
    if (doubled && !((i > 0 && longer[i] == longer[i - 1]) || (i + 1 < longer.size() && longer[i] == longer[i + 1])))
        return false;
    return longer.compare(i + 1, std::string::npos, shorter, i, std::string::npos) == 0;
}

// Whether typed is known, or known with one slip, once the English spellings
// of the two words the file spells its own way are put back.
bool isCloseTo(const char* typedKey, const std::string& known) {
    std::string typed(typedKey);
    for (char& c : typed) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const auto& [english, own] : {std::pair<const char*, const char*>{"SHORTCUT", "SHORTCAT"}, {"DESCRIPT", "DISCRIPT"}}) {
        const size_t at = typed.find(english);
        if (at != std::string::npos) typed.replace(at, std::strlen(english), own);
    }
    return typed == known || isOneSlipFrom(typed, known);
}

// The known key that key is a slip of, or false.
bool suggestKey(const char* key, char (&suggestion)[kKeySize]) {
    for (const char* single : kSingleKeys) {
        if (isCloseTo(key, single)) return copyText(suggestion, single);
    }
    const char* digits = key + std::strlen(key);
    while (digits > key && digits[-1] >= '0' && digits[-1] <= '9') --digits;
    if (*digits == '\0' || std::strlen(digits) >= 10) return false;
    const std::string prefix(key, digits);
    for (NumberedKey kind : kNumberedKeys) {
        char familyPrefix[kKeySize];
        numberedKeyPrefix(kind, familyPrefix);
        if (isCloseTo(prefix.c_str(), familyPrefix)) {
            formatNumberedKey(kind, static_cast<unsigned>(StrToIntA(digits)), suggestion);
            return true;
        }
    }
    return false;
}

void scanKey(const char* key, void* context) {
    auto& check = *static_cast<Check*>(context);
    for (const char* single : kSingleKeys) {
        if (lstrcmpiA(key, single) == 0) return;
    }
    const char* digits = key + std::strlen(key);
    while (digits > key && digits[-1] >= '0' && digits[-1] <= '9') --digits;
    char prefix[kKeySize];
    const bool numbered = *digits != '\0' && static_cast<size_t>(digits - key) < sizeof prefix;
    if (numbered) lstrcpynA(prefix, key, static_cast<int>(digits - key) + 1);

    for (NumberedKey kind : kNumberedKeys) {
        char familyPrefix[kKeySize];
        numberedKeyPrefix(kind, familyPrefix);
        if (!numbered || lstrcmpiA(prefix, familyPrefix) != 0) continue;
        // Ten digits or more never name an index the walks reach.
        const bool reachable = std::strlen(digits) < 10;
        const unsigned index = reachable ? static_cast<unsigned>(StrToIntA(digits)) : 0;
        char canonical[kKeySize];
        formatNumberedKey(kind, index, canonical);
        if (!reachable || lstrcmpiA(key, canonical) != 0) {
            error(check, "key-never-read", key,
                  {"SETUP.EXE はこのキーを読みません。番号は ", canonical, " の形で書きます"});
        } else if (kind == NumberedKey::copyFile) {
            if (index > check.copyEnd) ++check.copyKeysAfterEnd;
        } else if (index > check.shortcutEnd) {
            ++check.shortcutKeysAfterEnd;
        }
        return;
    }
    char suggestion[kKeySize];
    if (suggestKey(key, suggestion)) {
        warning(check, "unknown-key", key, {"SETUP.EXE はこのキーを読みません。", suggestion, " のことですか?"});
    } else {
        warning(check, "unknown-key", key, {"SETUP.EXE はこのキーを読みません"});
    }
}

// --- the copy list ---------------------------------------------------------------

// ISO 9660 names: upper-case letters, digits and "_"; a file 8.3, a folder 8
// without an extension.
bool isIsoName(const char* begin, const char* end, bool isFile) {
    unsigned name = 0;
    unsigned extension = 0;
    bool dot = false;
    for (const char* p = begin; p < end; ++p) {
        const char c = *p;
        if (c == '.' && isFile && !dot) {
            dot = true;
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
            ++(dot ? extension : name);
        } else {
            return false;
        }
    }
    return name >= 1 && name <= 8 && (!dot || (extension >= 1 && extension <= 3));
}

// Notes each name in relativePath a pressing may change, for the summary;
// returns the number of folders it passes through.
unsigned checkIsoNames(Check& check, const char* relativePath, bool endsInFile) {
    unsigned folders = 0;
    const char* component = relativePath;
    for (const char* p = relativePath;; p = CharNextA(p)) {
        if (*p != '\0' && *p != '\\') continue;  // CharNextA steps over double-byte characters whole
        const bool isFile = *p == '\0' && endsInFile;
        if (p > component && !isFile) ++folders;
        if (p > component && !isIsoName(component, p, isFile)) {
            std::string name(component, p);
            if (check.isoNamesSeen.insert(name).second) check.isoNames.push_back(std::move(name));
        }
        if (*p == '\0') return folders;
        component = p + 1;
    }
}

// Notes the files in the source folder's subfolders, by name; the source
// folder's own files are the ones the list finds.
void readNestedSources(Check& check, const char* folder, unsigned depth) {
    // Listed in UTF-16: a name the code page lacks is passed over, never
    // taken for a similar one the list might name.
    char pattern[kPathSize];
    wchar_t widePattern[kPathSize];
    WIN32_FIND_DATAW found;
    HANDLE search = joinText(pattern, {folder, "*"}) &&
                            MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, kPathSize) > 0
                        ? FindFirstFileW(widePattern, &found)
                        : INVALID_HANDLE_VALUE;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        char name[kPathSize];
        char path[kPathSize];
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0 ||
            !toAnsiText(found.cFileName, name) || !joinText(path, {folder, name})) {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            if (depth > 0) check.nestedSources.emplace(name, path + std::strlen(check.programFolder));
        } else {
            char subfolder[kPathSize];
            if (joinText(subfolder, {path, "\\"})) readNestedSources(check, subfolder, depth + 1);
        }
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

void reportMissingSource(Check& check, const CopyEntry& entry, const char* key, const char* relative) {
    if (!check.nestedSourcesRead) {
        check.nestedSourcesRead = true;
        readNestedSources(check, check.sourceFolder, 0);
    }
    const auto nested = check.nestedSources.find(lastPathComponent(entry.value));
    if (nested == check.nestedSources.end()) {
        error(check, "missing-file", key,
              {relative, " がディスクにありません。インストールは「ＣＤ－ＲＯＭを入れて下さい」を繰り返します"});
        return;
    }
    const char* copyDir = check.sourceFolder + std::strlen(check.programFolder);
    error(check, "missing-file", key,
          {relative, " がディスクにありません。", nested->second.c_str(),
           " はありますが、コピー元のファイルはインストール先のフォルダ分けにかかわらず、コピー元フォルダ ",
           copyDir[0] != '\0' ? copyDir : "(SETUP.EXE と同じフォルダ)", " に直接置きます"});
}

// One source copied to two places is mostly a slip of the list: the second
// place was meant to get a file of its own.
void checkSourceUse(Check& check, const char* key, const char* relative, const char* destination) {
    const auto [first, isNew] = check.sources.emplace(relative, SourceUse{key, destination});
    if (isNew || lstrcmpiA(first->second.destination.c_str(), destination) == 0) return;
    warning(check, "shared-source", key,
            {"コピー元 ", relative, " は ", first->second.key.c_str(), " でも使われ、", first->second.destination.c_str(),
             " と ", destination, " の 2 か所に同じファイルがインストールされます"});
}

void checkSourceFile(Check& check, const CopyEntry& entry, const char* key, unsigned copyDirFolders,
                     const char* destination) {
    if (entry.sourcePath == nullptr) {
        error(check, "source-too-long", key,
              {"コピー元 ", check.sourceFolder + std::strlen(check.programFolder), entry.value, " のパスが ",
               kLongestPath.text, " バイトを超えます"});
        return;
    }
    const char* relative = entry.sourcePath + std::strlen(check.programFolder);
    // One call per source tells whether it is there and what it is.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(entry.sourcePath, GetFileExInfoStandard, &data)) {
        reportMissingSource(check, entry, key, relative);
        return;
    }
    checkSourceUse(check, key, relative, destination);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error(check, "not-a-file", key, {relative, " はファイルではありません"});
        return;
    }
    check.copyBytes += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    char onDisc[kPathSize];
    if (!spelledAsListed(entry.sourcePath, std::strlen(check.sourceFolder), onDisc)) {
        warning(check, "case-mismatch", key, {"ディスク上の名前は ", onDisc, " で、大文字と小文字が違います"});
    }
    const unsigned folders = copyDirFolders + checkIsoNames(check, entry.value, true);
    if (copyDirFolders <= kIsoFoldersBelowRoot && folders > kIsoFoldersBelowRoot) {
        warning(check, "iso-depth", key,
                {relative, " はルートから ", number(folders).text,
                 " 段下のフォルダにあり、ISO 9660 の 8 段 (ルートを含む) を超えます"});
    }
}

struct CopyWalk {
    Check& check;
    const char* installFolder;  // nullptr when it does not fit
    unsigned copyDirFolders;
    unsigned nextIndex;         // the index after the last entry seen
    bool underFailedMarker;     // the current subfolder was refused or did not fit
    char subfolder[kPathSize];  // the walker's current subfolder marker, for naming entries
};

// A path the findings name an entry by, however long: its parts fit.
using ListedPath = char[2 * kPathSize];

// What entry makes below the install folder, as the list spells it, whether
// or not the path fits: the current subfolder and a file, or a marker's folder.
void followListedPath(CopyWalk& walk, const CopyEntry& entry, ListedPath& path) {
    if (entry.kind == CopyEntryKind::subfolderMarker) copyText(walk.subfolder, entry.value);
    if (entry.kind == CopyEntryKind::resetMarker) walk.subfolder[0] = '\0';
    const bool inSubfolder = entry.kind == CopyEntryKind::file && walk.subfolder[0] != '\0';
    (void)joinText(path, {inSubfolder ? walk.subfolder + 1 : "", inSubfolder ? "\\" : "",
                          entry.value + (entry.value[0] == '\\' ? 1 : 0)});
}

void recordTarget(CopyWalk& walk, const CopyEntry& entry, const char* key, const char* listed) {
    Check& check = walk.check;
    char installed[kPathSize];  // relative to the install folder
    copyText(installed, entry.targetPath + std::strlen(walk.installFolder) + 1);
    // A marker names the folder it makes.
    if (entry.kind != CopyEntryKind::file) stripTrailingBackslashes(installed);
    char parent[kPathSize];
    parentOf(installed, parent);
    if (parent[0] != '\0' && !holds(check.madeFolders, parent)) {
        error(check, "folder-not-made", key,
              {listed, " のコピー先のフォルダ ", parent, " がまだ作られていません。先に「\\", parent, "」の項目が必要です"});
    }
    (entry.kind == CopyEntryKind::file ? check.installedFiles : check.madeFolders).insert(installed);
}

// The walker passes over present but empty entries between two it hands on;
// COPYFILE_000 empty is the first-entry finding instead.
void reportEmptyEntries(Check& check, unsigned from, unsigned to) {
    for (unsigned index = from == 0 ? 1 : from; index < to; ++index) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, index, key);
        warning(check, "empty-entry", key, {"空です。何も指さないため読み飛ばされます"});
    }
}

// Follows the walker's current subfolder: false when entry gets no target
// because it or its subfolder was refused or did not fit.
bool followSubfolder(CopyWalk& walk, const CopyEntry& entry, bool refused) {
    const bool isMarker = entry.kind == CopyEntryKind::subfolderMarker;
    if (entry.kind == CopyEntryKind::resetMarker) {
        walk.underFailedMarker = false;
    } else if (isMarker) {
        walk.underFailedMarker = refused || entry.targetPath == nullptr;
    }
    return !refused && entry.targetPath != nullptr;
}

// The walk with the default install folder: sources, names, what is made.
bool checkCopyEntry(const CopyEntry& entry, void* context) {
    auto& walk = *static_cast<CopyWalk*>(context);
    Check& check = walk.check;
    reportEmptyEntries(check, walk.nextIndex, entry.index);
    walk.nextIndex = entry.index + 1;
    if (entry.index == 0) {
        check.sawFirstEntry = true;
        check.firstEntryKind = entry.kind;
    }
    ListedPath listed;
    followListedPath(walk, entry, listed);
    if (entry.kind == CopyEntryKind::resetMarker) {
        walk.underFailedMarker = false;
        return true;
    }

    char key[kKeySize];
    formatNumberedKey(NumberedKey::copyFile, entry.index, key);
    const bool isMarker = entry.kind == CopyEntryKind::subfolderMarker;
    const bool wasUnderFailedMarker = walk.underFailedMarker;
    if (!staysInsideFolder(entry.value)) {
        if (holdsDeviceName(entry.value)) {
            error(check, "device-name", key,
                  {entry.value, " はデバイス名 (NUL、CON、AUX、COM1、LPT1 など) を含むため、SETUP.EXE はこの項目を拒みます"});
        } else {
            error(check, "escape", key, {entry.value, " はインストール先フォルダの外を指すため、SETUP.EXE はこの項目を拒みます"});
        }
        check.entriesWithoutTarget.push_back(entry.index);
        if (isMarker) walk.underFailedMarker = true;
        return true;
    }
    if (!isMarker && check.sourcesCheckable) {
        const char* destination = walk.installFolder != nullptr && entry.targetPath != nullptr
                                      ? entry.targetPath + std::strlen(walk.installFolder) + 1
                                      : entry.value;
        checkSourceFile(check, entry, key, walk.copyDirFolders, destination);
        // The last entry that installs EXE_NAME is the one the game runs as.
        if (entry.sourcePath != nullptr && lstrcmpiA(destination, check.exeName) == 0) {
            copyText(check.gameSource, entry.sourcePath);
        }
    }
    if (walk.installFolder == nullptr) return true;
    if (followSubfolder(walk, entry, false)) {
        recordTarget(walk, entry, key, listed);
    } else if (isMarker || !wasUnderFailedMarker) {
        // A file below a failed subfolder fails with it; a marker stands on its own.
        error(check, "target-too-long", key,
              {listed, " のコピー先のパスが ", kLongestPath.text, " バイトを超えます (インストール先 ", walk.installFolder, ")"});
        check.entriesWithoutTarget.push_back(entry.index);
    }
    return true;
}

// The walk below a deep parent folder: only the lengths, for entries that
// had a target with the default folder.
bool checkDeepCopyEntry(const CopyEntry& entry, void* context) {
    auto& walk = *static_cast<CopyWalk*>(context);
    ListedPath listed;
    followListedPath(walk, entry, listed);
    const bool wasUnderFailedMarker = walk.underFailedMarker;
    const bool refused = entry.kind != CopyEntryKind::resetMarker && !staysInsideFolder(entry.value);
    if (followSubfolder(walk, entry, refused) || refused || entry.kind == CopyEntryKind::resetMarker) return true;
    const std::vector<unsigned>& told = walk.check.entriesWithoutTarget;
    const bool toldAlready = (entry.kind == CopyEntryKind::file && wasUnderFailedMarker) ||
                             std::binary_search(told.begin(), told.end(), entry.index);
    if (!toldAlready) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, entry.index, key);
        error(walk.check, "target-too-long", key,
              {"パスが ", number(kDeepParentLength).text, " バイトのフォルダの下にインストールすると、", listed,
               " のコピー先のパスが ", kLongestPath.text, " バイトを超えます"});
    }
    return true;
}

// One note for every name a pressing may change: where there are many,
// one each would bury every other finding.
void reportIsoNames(Check& check) {
    if (check.isoNames.empty()) return;
    std::string shown;
    for (size_t i = 0; i < check.isoNames.size() && i < kIsoNamesShown; ++i) {
        shown += (i > 0 ? "、" : "") + check.isoNames[i];
    }
    if (check.isoNames.size() > kIsoNamesShown) shown += " ほか";
    const Number count = number(static_cast<unsigned long>(check.isoNames.size()));
    // A note: make-iso.sh, like most pressing tools, writes Joliet names, which keep them on every Windows.
    Finding finding = makeFinding(Severity::note, "iso-name", "COPYFILE_*",
                                  {count.text,
                                   " 個の名前が大文字の 8.3 形式ではありません。make-iso.sh のように Joliet か Rock Ridge "
                                   "の名前を書けばそのまま残ります。ISO 9660 の名前だけのディスクでは変わります: ",
                                   shown.c_str()});
    finding.names = &check.isoNames;
    check.sink(finding, check.context);
}

// The first index the walks do not read: the walker passes over present but
// empty entries up to it.
unsigned copyListEnd(unsigned afterLastEntry) {
    for (unsigned index = afterLastEntry;; ++index) {
        char key[kKeySize];
        char value[kPathSize];
        formatNumberedKey(NumberedKey::copyFile, index, key);
        readSetupString(key, value);
        if (isNoData(value)) return index;
    }
}

void checkCopyList(Check& check) {
    char copyDir[kPathSize];
    readSetupString(kCopyDirKey, copyDir);
    readSetupString(kExeNameKey, check.exeName);
    unsigned copyDirFolders = 0;
    if (check.sourcesCheckable && !isNoData(copyDir)) {
        copyDirFolders = checkIsoNames(check, copyDir, false);
        if (copyDirFolders > kIsoFoldersBelowRoot) {
            warning(check, "iso-depth", kCopyDirKey,
                    {copyDir, " はルートから ", number(copyDirFolders).text,
                     " 段下にあり、ISO 9660 の 8 段 (ルートを含む) を超えます"});
        }
    }

    CopyWalk walk = {check, check.installFolder[0] != '\0' ? check.installFolder : nullptr, copyDirFolders, 0, false, ""};
    walkCopyListFrom(check.programFolder, walk.installFolder, checkCopyEntry, &walk);
    check.copyEnd = copyListEnd(walk.nextIndex);
    reportEmptyEntries(check, walk.nextIndex, check.copyEnd);

    if (check.deepInstallFolder[0] != '\0') {
        CopyWalk deep = {check, check.deepInstallFolder, copyDirFolders, 0, false, ""};
        walkCopyListFrom(check.programFolder, check.deepInstallFolder, checkDeepCopyEntry, &deep);
    }

    reportIsoNames(check);
    if (check.copyBytes >= kCountableBytes) {
        error(check, "size-limit", "COPYFILE_*",
              {"コピーするファイルの合計 ", number(static_cast<unsigned long>(check.copyBytes >> 20)).text,
               " MiB が 4 GiB 以上で、SETUP.EXE は必要な容量を数えられません"});
    } else if (check.copyBytes > kCdRomBytes) {
        error(check, "cd-capacity", "COPYFILE_*",
              {"コピーするファイルの合計 ", number(static_cast<unsigned long>(check.copyBytes >> 20)).text,
               " MiB が CD-ROM の 650 MiB を超えます"});
    }
}

// Whether name is one of the folders Windows itself keeps below Program Files
// (its own programs, and the files programs share), in any case.
bool namesWindowsProgramFolder(const char* name) {
    static constexpr const char* kWindowsFolders[] = {
        "Common Files", "Internet Explorer", "Microsoft.NET", "ModifiableWindowsApps", "MSBuild",
        "Reference Assemblies", "Uninstall Information", "Windows Defender",
        "Windows Defender Advanced Threat Protection", "Windows Journal", "Windows Mail", "Windows Media Player",
        "Windows Multimedia Platform", "Windows NT", "Windows Photo Viewer", "Windows Portable Devices",
        "Windows Security", "Windows Sidebar", "WindowsApps", "WindowsPowerShell"};
    for (const char* folder : kWindowsFolders) {
        if (lstrcmpiA(name, folder) == 0) return true;
    }
    return false;
}

void checkInstallFolders(Check& check) {
    readSetupString(kDefaultDirKey, check.defaultDirName);
    if (namesWindowsProgramFolder(check.defaultDirName)) {
        error(check, "default-dir-windows", kDefaultDirKey,
              {check.defaultDirName, " は Windows が Program Files の下に持つフォルダです。"
               "インストールは他のプログラムのファイルを上書きし、アンインストールはそれを消します"});
    }
    char deepParent[kDeepParentLength + 1] = "C:\\";
    std::memset(deepParent + 3, 'D', kDeepParentLength - 3);
    deepParent[kDeepParentLength] = '\0';
    if (!isPlainName(check.defaultDirName)) {
        error(check, "default-dir", kDefaultDirKey,
              {"1 つのフォルダ名ではないため (空、「.」「..」、「\\」「/」「:」、デバイス名、使えない文字、末尾の「.」か空白)、"
               "SETUP.EXE はインストール先を空にし、インストールできません"});
        check.installFolder[0] = '\0';
        check.deepInstallFolder[0] = '\0';
    } else if (!composeDefaultInstallFolder(check.defaultDirName, check.installFolder)) {
        error(check, "install-folder-too-long", kDefaultDirKey, {"既定のインストール先が ", kLongestPath.text, " バイトを超えます"});
        check.deepInstallFolder[0] = '\0';
    } else if (!composeInstallFolder(deepParent, check.defaultDirName, check.deepInstallFolder)) {
        error(check, "install-folder-too-long", kDefaultDirKey,
              {"パスが ", number(kDeepParentLength).text, " バイトのフォルダの下に作るインストール先が ", kLongestPath.text,
               " バイトを超えます"});
    }
}

void checkGameProgram(Check& check) {
    char exeName[kPathSize];
    readSetupString(kExeNameKey, exeName);
    if (isNoData(exeName)) return;
    // The game is started with its path as the application name: the system
    // neither adds ".EXE" nor splits arguments off at a blank.
    const char* blank = std::strchr(exeName, ' ');
    const char* extension = std::strrchr(lastPathComponent(exeName), '.');
    if (blank != nullptr && blank[std::strspn(blank, " ")] != '\0') {
        warning(check, "exe-arguments", kExeNameKey,
                {"空白の後に続きがありますが、引数としては渡されず、名前の一部としてそのまま起動されます"});
        return;
    }
    if (extension == nullptr || extension[1] == '\0') {
        warning(check, "exe-extension", kExeNameKey, {"拡張子がありません。「.EXE」は補われず、起動できません"});
        return;
    }
    if (check.installFolder[0] == '\0') return;
    if (!holds(check.installedFiles, exeName)) {
        error(check, "exe-not-installed", kExeNameKey, {exeName, " はコピー一覧がインストールするファイルにありません"});
    }
}

// --- the shortcuts ----------------------------------------------------------------

struct ShortcutWalk {
    Check& check;
    char programsFolder[kPathSize];
    char uninstalledKey[kKeySize];      // SHORTCATDIR_01
    char uninstalledFolder[kPathSize];  // its value: the only folder the uninstaller removes
    unsigned groups;
};

bool checkShortcut(const ShortcutEntry& group, void* context) {
    auto& walk = *static_cast<ShortcutWalk*>(context);
    Check& check = walk.check;
    walk.groups = group.index + 1;
    char folderKey[kKeySize];
    formatNumberedKey(NumberedKey::shortcutFolder, group.index, folderKey);
    if (!isAcceptedShortcutGroup(group, walk.programsFolder)) {
        // Which of the three the rule refuses.
        char nameKey[kKeySize];
        formatNumberedKey(NumberedKey::shortcutName, group.index, nameKey);
        if (!isAcceptableRelativePath(group.folder)) {
            error(check, "shortcut-folder", folderKey,
                  {"SETUP.EXE はこのフォルダを拒み、このショートカットを作りません (空、「.」「..」、ドライブ、デバイス名、"
                   "使えない文字、末尾の「.」か空白、先頭・末尾・二重の「\\」)"});
        } else if (isPlainName(group.name)) {
            error(check, "shortcut-startup", folderKey,
                  {"スタートアップ フォルダです。ログオンのたびにゲームが起動してしまうため、"
                   "SETUP.EXE はこのショートカットを作りません"});
        } else {
            error(check, "shortcut-name", nameKey,
                  {"1 つのファイル名ではないため (「\\」「/」「:」、「.」「..」、デバイス名、使えない文字、末尾の「.」か空白)、"
                   "SETUP.EXE はこのショートカットを作りません"});
        }
        return true;
    }
    if (!isNoData(walk.uninstalledFolder) && lstrcmpiA(group.folder, walk.uninstalledFolder) != 0) {
        warning(check, "uninstall-folder-differs", folderKey,
                {walk.uninstalledKey, " と違うフォルダです。アンインストールしてもこのフォルダは残ります"});
    }
    if (check.installFolder[0] == '\0') return true;

    char key[kKeySize];
    formatNumberedKey(NumberedKey::shortcutName, group.index, key);
    ShortcutPaths paths;
    if (!composeShortcutPaths(group, walk.programsFolder, check.installFolder, paths)) {
        error(check, "shortcut-too-long", key,
              {"ショートカットのパスが ", kLongestPath.text, " バイトを超えるため作られません (このコンピュータのプログラムフォルダ、インストール先 ",
               check.installFolder, ")"});
        return true;
    }
    ShortcutPaths deepPaths;
    if (check.deepInstallFolder[0] != '\0' &&
        !composeShortcutPaths(group, walk.programsFolder, check.deepInstallFolder, deepPaths)) {
        error(check, "shortcut-too-long", key,
              {"パスが ", number(kDeepParentLength).text,
               " バイトのフォルダの下にインストールすると、ショートカットのパスが ", kLongestPath.text, " バイトを超えて作られません"});
    }
    const size_t folderLength = std::strlen(check.installFolder) + 1;
    if (!holds(check.installedFiles, paths.target + folderLength)) {
        formatNumberedKey(NumberedKey::shortcutTarget, group.index, key);
        error(check, "shortcut-target", key,
              {paths.target + folderLength, " はコピー一覧がインストールするファイルにありません"});
    }
    if (group.hasIconFile && !holds(check.installedFiles, paths.icon + folderLength)) {
        formatNumberedKey(NumberedKey::shortcutIcon, group.index, key);
        error(check, "shortcut-icon", key,
              {"アイコンファイル ", paths.icon + folderLength, " はコピー一覧がインストールするファイルにありません"});
    }
    return true;
}

void checkShortcuts(Check& check) {
    ShortcutWalk walk = {check, "", "", "", 0};
    // The links' length is judged by this computer's Programs folder.
    if (!SHGetSpecialFolderPathA(nullptr, walk.programsFolder, CSIDL_PROGRAMS, FALSE)) walk.programsFolder[0] = '\0';
    formatNumberedKey(NumberedKey::shortcutFolder, 1, walk.uninstalledKey);
    readSetupString(walk.uninstalledKey, walk.uninstalledFolder);
    walkShortcutList(checkShortcut, &walk);
    check.shortcutEnd = walk.groups;
    if (walk.groups > 0 && isNoData(walk.uninstalledFolder)) {
        error(check, "uninstall-folder", walk.uninstalledKey,
              {"ありません。アンインストールはこのキーのフォルダしか消さないため、ショートカットのフォルダが残ります"});
    }
}

// After the key scan: how the copy list begins and where it ends.
void checkCopyListEnd(Check& check) {
    if (check.copyKeysAfterEnd > 0) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, check.copyEnd, key);
        error(check, "copy-gap", key,
              {"ありません。コピー一覧はここで終わり、後の COPYFILE キー ", number(check.copyKeysAfterEnd).text,
               " 個は読まれません"});
    }
    const char* why = nullptr;
    if (check.copyEnd == 0) {
        // With later keys, the gap is the finding.
        if (check.copyKeysAfterEnd == 0) why = "ありません。コピーするファイルが無く、インストール済みのゲームも見つかりません";
    } else if (!check.sawFirstEntry) {
        why = "空です。最初の項目がインストール先に直接コピーするファイルでないと、インストール済みのゲームが見つかりません";
    } else if (check.firstEntryKind != CopyEntryKind::file) {
        why = "フォルダの指定です。最初の項目がインストール先に直接コピーするファイルでないと、インストール済みのゲームが見つかりません";
    }
    if (why != nullptr) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, 0, key);
        error(check, "first-entry", key, {why});
    }
}

// After the key scan: the group that ends the shortcut list, when it holds
// some of its three keys or later groups follow.
void checkShortcutListEnd(Check& check) {
    constexpr NumberedKey kGroupKeys[] = {NumberedKey::shortcutFolder, NumberedKey::shortcutName,
                                          NumberedKey::shortcutTarget};
    char missingKey[kKeySize] = "";
    unsigned present = 0;
    for (NumberedKey kind : kGroupKeys) {
        char key[kKeySize];
        char value[kPathSize];
        formatNumberedKey(kind, check.shortcutEnd, key);
        readSetupString(key, value);
        if (!isNoData(value)) {
            ++present;
        } else if (missingKey[0] == '\0') {
            copyText(missingKey, key);
        }
    }
    const char* later = check.shortcutKeysAfterEnd > 0 ? "。後の SHORTCAT キー " : "";
    const Number count = number(check.shortcutKeysAfterEnd);
    const char* laterCount = check.shortcutKeysAfterEnd > 0 ? count.text : "";
    const char* laterEnd = check.shortcutKeysAfterEnd > 0 ? " 個は読まれません" : "";
    if (present > 0) {
        error(check, "shortcut-incomplete", missingKey,
              {"ありません。フォルダ・名前・対象の 3 つが揃わないため、ショートカット一覧はここで終わります", later,
               laterCount, laterEnd});
    } else if (check.shortcutKeysAfterEnd > 0) {
        error(check, "shortcut-gap", missingKey, {"ありません。ショートカット一覧はここで終わります", later,
                                                 laterCount, laterEnd});
    }
}

// --- the programs and pictures beside SETUP.EXE ----------------------------------------

bool isThe32BitProgram(const char* path, bool dll) {
    PeHeaders headers;
    return readPeHeaders(path, headers) && headers.machine == IMAGE_FILE_MACHINE_I386 &&
           headers.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC && headers.isDll == dll;
}

void checkPrograms(Check& check) {
    if (!PathFileExistsA(check.programPath)) {
        error(check, "setup-exe", kSetupProgramName, {"ありません"});
    } else if (!isThe32BitProgram(check.programPath, false)) {
        error(check, "setup-exe", kSetupProgramName, {"32 ビットの Windows プログラム (PE32, i386) ではありません"});
    }

    // Bound when SETUP.EXE loads, whatever DXOPTION says.
    char library[kPathSize];
    if (joinText(library, {check.programFolder, kDsetupLibrary})) {
        if (!PathFileExistsA(library)) {
            error(check, "dsetup", kDsetupLibrary, {"ありません。SETUP.EXE はこれを読み込むため、無いと起動しません"});
        } else if (!isThe32BitProgram(library, true)) {
            error(check, "dsetup", kDsetupLibrary, {"32 ビットの DLL (PE32, i386) ではないため、SETUP.EXE が起動しません"});
        } else if (!peExportsOrdinal(library, kDsetupGetVersionOrdinal) ||
                   !peExportsOrdinal(library, kDsetupRunOrdinal)) {
            error(check, "dsetup", kDsetupLibrary, {"序数 5 と 11 を公開していないため、SETUP.EXE が起動しません"});
        }
    }

    char setupProgram[kPathSize];
    if (readSetupInt(kDxOptionKey) == 1 && check.sourcesCheckable &&
        joinText(setupProgram, {check.sourceFolder, kDxSetupProgram}) && !PathFileExistsA(setupProgram)) {
        const char* folder = check.sourceFolder + std::strlen(check.programFolder);
        error(check, "dxsetup", kDxOptionKey,
              {"1 ですが、コピー元フォルダ ", folder[0] != '\0' ? folder : "(SETUP.EXE と同じフォルダ)", " に ",
               kDxSetupProgram, " がありません"});
    }
}

// --- the signatures -----------------------------------------------------------------

const char* signatureProblemText(Signature signature) {
    switch (signature) {
    case Signature::changed:
        return "署名の後で中身が変わっています (署名されたハッシュとファイルが合いません)。Windows はこのプログラムを"
               "改ざんされたものとして扱い、起動を止めることがあります。署名し直してください";
    case Signature::broken:
        return "署名が壊れています (署名者の署名が、署名された内容と合いません)。署名し直してください";
    case Signature::malformed:
        return "証明書テーブルか署名の形が壊れていて読めません。署名し直してください";
    case Signature::none:
    case Signature::intact:
    case Signature::notImage:
        break;
    }
    return nullptr;
}

// Every program of the disc that Windows starts: an unsigned one is stopped
// by Smart App Control and shown as from an unknown publisher when it asks
// for elevation. One warning names them all; a signature that no longer
// matches is an error of its own.
void checkSignatures(Check& check) {
    char programs[4][kPathSize] = {};
    size_t count = 0;
    copyText(programs[count++], check.programPath);
    if (joinText(programs[count], {check.programFolder, kDsetupLibrary})) ++count;
    if (check.gameSource[0] != '\0') copyText(programs[count++], check.gameSource);
    if (readSetupInt(kDxOptionKey) == 1 && check.sourcesCheckable &&
        joinText(programs[count], {check.sourceFolder, kDxSetupProgram})) {
        ++count;
    }
    std::vector<std::string> unsignedNames;
    for (size_t i = 0; i < count; ++i) {
        const char* path = programs[i];
        const char* name = path + std::strlen(check.programFolder);
        const auto same = [path](const char (&other)[kPathSize]) { return lstrcmpiA(path, other) == 0; };
        if (std::any_of(programs, programs + i, same)) continue;
        const Signature signature = readSignature(path);
        if (signature == Signature::none) {
            unsignedNames.push_back(name);
        } else if (const char* problem = signatureProblemText(signature)) {
            error(check, "bad-signature", name, {problem});
        }
    }
    if (unsignedNames.empty()) return;
    std::string shown;
    for (const std::string& name : unsignedNames) shown += (shown.empty() ? "" : "、") + name;
    Finding finding = makeFinding(Severity::warning, "unsigned", unsignedNames[0].c_str(),
                                  {"署名がありません: ", shown.c_str(),
                                   "。Windows 11 のスマート アプリ コントロールは署名のないプログラムを止めることがあり、"
                                   "管理者の許可を求める画面には「不明な発行元」と出ます。scripts/sign-disc.sh か "
                                   "signtool で署名してください"});
    finding.names = &unsignedNames;
    check.sink(finding, check.context);
}

// GIMP's options are named in English as well: their translations differ between versions.
constexpr char kTo24BitHow[] =
    "ImageMagick なら convert 元の画像 -background white -flatten -type TrueColor BMP3:SETUP0.BMP、"
    "GIMP なら画像を平坦化 (Flatten Image) し、BMP でエクスポートして 24 ビット (24 bits: R8 G8 B8) を選び、"
    "色空間の情報を書かない設定 (Do not write color space information) にします";

void checkSplashFiles(Check& check) {
    char basePath[256];
    if (!splashBasePath(check.programPath, basePath)) return;
    for (int index = 0; index < 4; ++index) {
        char path[256];
        if (!splashFilePath(basePath, index, path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) continue;
        const char* name = lastPathComponent(path);
        void* block = nullptr;
        const SplashProblem problem = loadSplashFile(path, block);
        if (problem != SplashProblem::none) {
            error(check, "splash", name, {"SETUP.EXE はこのビットマップを表示しません: ", splashProblemText(problem)});
            continue;
        }
        const auto& info = *static_cast<const BITMAPINFOHEADER*>(block);
        if (info.biWidth > kCornerWidth || info.biHeight > kCornerHeight) {
            warning(check, "splash-size", name,
                    {number(static_cast<unsigned long>(info.biWidth)).text, " × ",
                     number(static_cast<unsigned long>(info.biHeight)).text,
                     " ピクセルで、640 × 480 の画面の 4 分の 1 (320 × 240) を超え、隅の画像が重なります"});
        }
        // The program draws the colour bytes and never the alpha: a transparent
        // pixel shows whatever colour it holds, mostly black.
        if (info.biBitCount == 32) {
            warning(check, "splash-32-bit", name,
                    {"32 ビットのビットマップです。SETUP.EXE は透明度 (アルファ) を使わないため、透明な部分は黒く表示されます。"
                     "白の背景に重ねて 24 ビットで保存し直してください: ", kTo24BitHow});
        }
        GlobalFree(block);
    }
}

// --- the AutoPlay entry ---------------------------------------------------------------

// What the shell shows of an AutoPlay label.
constexpr size_t kShownLabelLength = 32;
// AUTORUN.INF is read this far; one made by hand is a few lines.
constexpr DWORD kAutorunProbeBytes = 64u << 10;

bool isUtf8BeyondAscii(const std::string& bytes);

// A value of AUTORUN.INF's [autorun] section as the shell reads it; false when the key is missing.
template <size_t N>
bool readAutorunValue(const wchar_t* path, const wchar_t* key, wchar_t (&value)[N]) {
    constexpr wchar_t kMissing[] = L"\x1";
    GetPrivateProfileStringW(L"autorun", key, kMissing, value, static_cast<DWORD>(N), path);
    return lstrcmpW(value, kMissing) != 0;
}

// value in code page 932 for a finding, "?" for what it lacks.
void shownValue(const wchar_t* value, char (&shown)[kPathSize]) {
    if (WideCharToMultiByte(kTextCodePage, 0, value, -1, shown, kPathSize, "?", nullptr) == 0) copyTextCut(shown, "?");
}

// A hand-made AUTORUN.INF (SETUPMK writes a sound one): how the shell reads
// it, whether AutoPlay starts this disc's SETUP.EXE, and the drive's icon and
// label. Only what it says of the drive is judged: a wrong one never keeps the
// game from installing, but one that starts something else does.
void checkAutorun(Check& check) {
    char path[kPathSize];
    if (!joinText(path, {check.programFolder, kAutorunFileName}) || !PathFileExistsA(path)) return;
    wchar_t widePath[kPathSize];
    HANDLE file = MultiByteToWideChar(kTextCodePage, 0, path, -1, widePath, kPathSize) != 0
                      ? CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        error(check, "autorun-open", kAutorunFileName, {"読めません。自動再生は SETUP.EXE を起動しません"});
        return;
    }
    std::string bytes(kAutorunProbeBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), kAutorunProbeBytes, &read, nullptr)) read = 0;
    CloseHandle(file);
    bytes.resize(read);
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 || (!utf16 && isUtf8BeyondAscii(bytes))) {
        error(check, "autorun-encoding", kAutorunFileName,
              {"UTF-8 か UTF-16 ビッグエンディアンで書かれています。Windows はこれを読めず、ラベルは文字化けするか、"
               "自動再生の指定ごと読まれません。UTF-16 LE (BOM 付き) で保存し直してください"});
        return;
    }
    if (!utf16 && !ascii) {
        warning(check, "autorun-encoding", kAutorunFileName,
                {"BOM の無いコードページ 932 (Shift_JIS) です。日本語の Windows 以外ではラベルが文字化けします。"
                 "UTF-16 LE (BOM 付き) で保存してください"});
    }

    wchar_t value[kPathSize];
    char shown[kPathSize];
    if (!readAutorunValue(widePath, L"open", value)) {
        error(check, "autorun-open", kAutorunFileName, {"open= がありません。自動再生で SETUP.EXE が起動されません"});
    } else {
        const wchar_t* name = value + (value[0] == L'\\' ? 1 : value[0] == L'.' && value[1] == L'\\' ? 2 : 0);
        if (lstrcmpiW(name, kSetupProgramNameW.text) != 0) {
            shownValue(value, shown);
            error(check, "autorun-open", kAutorunFileName,
                  {"open= は「", shown, "」です。自動再生でこのディスクの SETUP.EXE (引数なし) が起動されません"});
        }
    }
    if (readAutorunValue(widePath, L"icon", value) && value[0] != L'\0') {
        // "FILE[,N]", relative to the disc's root.
        wchar_t* comma = std::wcsrchr(value, L',');
        const UINT index = comma != nullptr ? static_cast<UINT>(std::wcstoul(comma + 1, nullptr, 10)) : 0;
        if (comma != nullptr) *comma = L'\0';
        wchar_t iconPath[kPathSize];
        const int folderLength = MultiByteToWideChar(kTextCodePage, 0, check.programFolder, -1, iconPath, kPathSize);
        const bool fits = folderLength > 0 && folderLength - 1 + lstrlenW(value) < static_cast<int>(kPathSize);
        if (fits) lstrcatW(iconPath, value + (value[0] == L'\\' ? 1 : 0));
        shownValue(value, shown);
        if (!fits || GetFileAttributesW(iconPath) == INVALID_FILE_ATTRIBUTES) {
            warning(check, "autorun-icon", kAutorunFileName,
                    {"icon= の ", shown, " がディスクにありません。ドライブは既定のアイコンで表示されます"});
        } else if (iconCount(iconPath) <= index) {
            warning(check, "autorun-icon", kAutorunFileName,
                    {"icon= の ", shown, " に ", number(index).text, " 番のアイコンがありません。ドライブは既定のアイコンで表示されます"});
        }
    }
    if (readAutorunValue(widePath, L"label", value) && static_cast<size_t>(lstrlenW(value)) > kShownLabelLength) {
        warning(check, "autorun-label", kAutorunFileName,
                {"label= は ", number(static_cast<unsigned long>(lstrlenW(value))).text, " 文字あり、Windows は最初の ",
                 number(kShownLabelLength).text, " 文字しか表示しません"});
    }
}

// Whether the folder and its SETUP.INI can be read; says why not.
bool openDisc(Check& check, const char* discFolder) {
    if (!isFolder(discFolder) ||
        !joinText(check.programPath, {discFolder, endsInBackslash(discFolder) ? "" : "\\", kSetupProgramName}) ||
        !getProgramFolderOf(check.programPath, check.programFolder)) {
        error(check, "unreadable", discFolder, {"フォルダを読めません"});
        return false;
    }
    // SETUP.EXE reads the file named after itself.
    HANDLE file = deriveDescriptionPath(check.programPath)
                      ? CreateFileA(programState.descriptionPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        error(check, "unreadable", lastPathComponent(programState.descriptionPath),
              {"ないか、読めません。SETUP.EXE の説明ファイルです"});
        return false;
    }
    CloseHandle(file);
    return true;
}

// Whether bytes are UTF-8 with at least one character beyond ASCII: text in
// code page 932 almost never is, as its double-byte characters' second bytes
// are mostly ASCII or lead bytes.
bool isUtf8BeyondAscii(const std::string& bytes) {
    bool beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                                 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        // No overlong three- or four-byte forms.
        const auto second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90)) return false;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

// SETUP.EXE reads its description file as text in code page 932: in another
// encoding its Japanese names come out garbled, in the window titles, the
// install folder and the shortcuts. Returns whether it said so.
bool checkEncoding(Check& check) {
    HANDLE file = CreateFileA(programState.descriptionPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;  // openDisc has said so
    std::string bytes(kEncodingProbeBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), kEncodingProbeBytes, &read, nullptr)) read = 0;
    CloseHandle(file);
    bytes.resize(read);
    // A probe that ends inside a character is cut back to the last whole one.
    if (read == kEncodingProbeBytes) {
        while (!bytes.empty() && (static_cast<unsigned char>(bytes.back()) & 0x80) != 0) bytes.pop_back();
    }
    const char* encoding = nullptr;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding = "UTF-8 (BOM 付き) で書かれています";
    } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        encoding = "UTF-16 (BOM 付き) で書かれています";
    } else if (isUtf8BeyondAscii(bytes)) {
        encoding = "UTF-8 で書かれています";
    }
    if (encoding == nullptr) return false;
    error(check, "encoding", lastPathComponent(programState.descriptionPath),
          {encoding, "。SETUP.EXE はコードページ 932 (Shift_JIS) として読むため、日本語の名前が文字化けします。"
                     "エディタで文字コードを Shift_JIS (CP932)、BOM なしにして保存し直してください"});
    return true;
}

}  // namespace

const char* splashProblemText(SplashProblem problem) {
    switch (problem) {
    case SplashProblem::none:
        return "";
    case SplashProblem::unreadable:
        return "開けないか、読めません";
    case SplashProblem::notBitmap:
        return "BMP ファイルではありません (「BM」で始まるファイルヘッダがありません)";
    case SplashProblem::sizeField:
        return "ファイルヘッダのサイズ欄がファイルの大きさと合いません";
    case SplashProblem::infoHeader:
        return "情報ヘッダが 40 バイトの BITMAPINFOHEADER (1 プレーン) ではありません。40 バイトのヘッダで書くには、"
               "ImageMagick なら出力名に BMP3: を付け (convert 元の画像 BMP3:SETUP0.BMP)、GIMP なら BMP でエクスポートして"
               "色空間の情報を書かない設定 (Do not write color space information。GIMP 3 では Write color space "
               "information をオフ) にします";
    case SplashProblem::notBottomUp:
        return "幅と高さが正ではありません (下から上へ並ぶ行が必要です)";
    case SplashProblem::compressed:
        return "圧縮されています (無圧縮 BI_RGB のみ表示します)";
    case SplashProblem::colourFormat:
        return "16、24、32 ビットのいずれでもないか、カラーテーブルがあります。24 ビットで保存し直してください";
    case SplashProblem::truncated:
        return "画素データがファイルに収まっていません";
    }
    return "";
}

DiscVerdict checkDisc(const char* discFolder, FindingSink sink, void* context) {
    Check check = {};
    check.sink = sink;
    check.context = context;
    if (!openDisc(check, discFolder)) return DiscVerdict::unreadable;
    // Every other check would read names garbled by the wrong encoding and
    // report files and keys that are not what the publisher wrote.
    if (checkEncoding(check)) return DiscVerdict::checked;

    // Each step relies on those before it: the source folder decides whether
    // sources are checked; the install folders are what the copy walks
    // compose below; the copy walk gives the installed files that the game
    // program and the shortcuts must be among, and both walks give the ends
    // of their lists, which the key scan needs to count the keys past them
    // that the list-end checks report.
    checkSingleKeys(check);
    checkSourceFolder(check);
    checkInstallFolders(check);
    checkCopyList(check);
    checkGameProgram(check);
    checkShortcuts(check);
    walkSetupKeys(scanKey, &check);
    checkCopyListEnd(check);
    checkShortcutListEnd(check);
    checkPrograms(check);
    checkSignatures(check);
    checkSplashFiles(check);
    checkAutorun(check);
    return DiscVerdict::checked;
}

Finding makeFinding(Severity severity, const char* check, const char* key, std::initializer_list<const char*> parts) {
    Finding finding;
    finding.severity = severity;
    finding.check = check;
    copyTextCut(finding.key, key);
    finding.problem[0] = '\0';
    for (const char* part : parts) {
        const size_t length = std::strlen(finding.problem);
        copyTextCut(finding.problem + length, sizeof finding.problem - length, part);
    }
    return finding;
}

Finding makeFinding(Severity severity, const char* check, const wchar_t* key, std::initializer_list<const char*> parts) {
    Finding finding = makeFinding(severity, check, "", parts);
    constexpr size_t kLast = std::size(finding.wideKey) - 1;
    size_t length = std::min(static_cast<size_t>(lstrlenW(key)), kLast);
    // A surrogate pair is not split.
    if (length == kLast && IS_HIGH_SURROGATE(key[length - 1])) --length;
    std::copy(key, key + length, finding.wideKey);
    finding.wideKey[length] = L'\0';
    return finding;
}

Number number(unsigned long value) {
    Number n;
    wsprintfA(n.text, "%lu", value);
    return n;
}

const Number kLongestPath = number(kPathSize - 1);
