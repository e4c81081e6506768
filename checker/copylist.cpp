// The copy list: every source on the disc, every target below the default
// install folder and below a deep one, the names a pressing may change, the
// sizes, and where the list begins and ends.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "checker/check.h"
#include "report/console.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"
#include "setupdata/setupnames.h"
#include "setupdata/text.h"

namespace {

constexpr ULONGLONG kCdRomBytes = 650ull << 20;
// totalBytes and the progress count are unsigned 32-bit.
constexpr ULONGLONG kCountableBytes = 1ull << 32;
// ISO 9660 allows eight directory levels, the root being the first.
constexpr unsigned kIsoFoldersBelowRoot = 7;
// The summary names this many of the names a pressing may change.
constexpr size_t kIsoNamesShown = 5;

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
    HANDLE search =
        joinText(pattern, {folder, "*"}) && MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, kPathSize) > 0
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
            {"コピー元 ", relative, " は ", first->second.key.c_str(), " でも使われ、",
             first->second.destination.c_str(), " と ", destination, " の 2 か所に同じファイルがインストールされます"});
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
              {listed, " のコピー先のフォルダ ", parent, " がまだ作られていません。先に「\\", parent,
               "」の項目が必要です"});
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
                  {entry.value,
                   " はデバイス名 (NUL、CON、AUX、COM1、LPT1 など) を含むため、SETUP.EXE はこの項目を拒みます"});
        } else {
            error(check, "escape", key,
                  {entry.value, " はインストール先フォルダの外を指すため、SETUP.EXE はこの項目を拒みます"});
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
              {listed, " のコピー先のパスが ", kLongestPath.text, " バイトを超えます (インストール先 ",
               walk.installFolder, ")"});
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
    Finding finding =
        makeFinding(Severity::note, "iso-name", "COPYFILE_*",
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

}  // namespace

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

    CopyWalk walk = {check, check.installFolder[0] != '\0' ? check.installFolder : nullptr, copyDirFolders, 0, false,
                     ""};
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
        if (check.copyKeysAfterEnd == 0)
            why = "ありません。コピーするファイルが無く、インストール済みのゲームも見つかりません";
    } else if (!check.sawFirstEntry) {
        why =
            "空です。最初の項目がインストール先に直接コピーするファイルでないと、インストール済みのゲームが見つかりませ"
            "ん";
    } else if (check.firstEntryKind != CopyEntryKind::file) {
        why =
            "フォルダの指定です。最初の項目がインストール先に直接コピーするファイルでないと、インストール済みのゲームが"
            "見つかりません";
    }
    if (why != nullptr) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, 0, key);
        error(check, "first-entry", key, {why});
    }
}
