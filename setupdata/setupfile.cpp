#include "setupdata/setupfile.h"

#include <windows.h>

#include <cstring>

#include "setupdata/safefolder.h"
#include "setupdata/text.h"

namespace {

constexpr char kSection[] = "InstallInfo";

// Reads a string whose missing value means "empty".
template <size_t N>
void readSetupStringOrEmpty(const char* key, char (&value)[N]) {
    readSetupString(key, value);
    if (isNoData(value)) value[0] = '\0';
}

}  // namespace

bool isNoData(const char* value) { return lstrcmpA(value, kNoData) == 0; }

void readSetupString(const char* key, char* value, unsigned limit) {
    // Without a description path there is no file, and every key is missing.
    if (programState.descriptionPath[0] == '\0') {
        lstrcpynA(value, kNoData, static_cast<int>(limit));
        return;
    }
    GetPrivateProfileStringA(kSection, key, kNoData, value, limit, programState.descriptionPath);
}

int readSetupInt(const char* key) {
    if (programState.descriptionPath[0] == '\0') return 0;
    return static_cast<int>(GetPrivateProfileIntA(kSection, key, 0, programState.descriptionPath));
}

bool deriveDescriptionPath(const char* modulePath) {
    programState.descriptionPath[0] = '\0';
    char path[kPathSize];
    if (!copyText(path, modulePath)) return false;
    char* dot = findLastDot(path);
    if (dot == nullptr) return false;
    *dot = '\0';
    return joinText(programState.descriptionPath, {path, ".INI"});
}

bool getProgramFolder(char (&folder)[kPathSize]) {
    const DWORD length = GetModuleFileNameA(nullptr, folder, kPathSize);
    if (length == 0 || length >= kPathSize) {
        folder[0] = '\0';
        return false;
    }
    char* backslash = findLastBackslash(folder);
    if (backslash == nullptr) {
        folder[0] = '\0';
        return false;
    }
    backslash[1] = '\0';
    return true;
}

bool getSourceFolder(char (&folder)[kPathSize]) {
    char programFolder[kPathSize];
    char copyDir[kPathSize];
    readSetupStringOrEmpty("COPYDIR", copyDir);
    return getProgramFolder(programFolder) && joinText(folder, {programFolder, copyDir});
}

bool walkCopyList(const char* targetFolder, CopyEntryVisitor visit, void* context) {
    char sourceFolder[kPathSize];
    char subfolder[kPathSize] = "";
    // False after a marker that was refused or did not fit: the entries up to
    // the next reset marker have no place inside the target then.
    bool subfolderUsable = true;
    const bool haveSourceFolder = getSourceFolder(sourceFolder);

    for (unsigned index = 0;; ++index) {
        char key[32];
        wsprintfA(key, "COPYFILE_%03u", index);
        char value[kPathSize];
        readSetupString(key, value);
        if (isNoData(value)) return true;
        if (value[0] == '\0') continue;  // names neither a file nor a folder

        char source[kPathSize] = "";
        char target[kPathSize] = "";
        bool sourceFits = false;
        bool targetFits = false;
        CopyEntry entry = {};
        entry.index = index;
        entry.value = value;
        // An entry that would reach outside the target folder gets no target.
        const bool confined = targetFolder != nullptr && staysInsideFolder(value);
        if (value[0] != '\\') {
            entry.kind = CopyEntryKind::file;
            sourceFits = haveSourceFolder && joinText(source, {sourceFolder, value});
            targetFits = confined && subfolderUsable && joinText(target, {targetFolder, subfolder, "\\", value});
        } else if (value[1] != '\0') {
            entry.kind = CopyEntryKind::subfolderMarker;
            targetFits = confined && joinText(target, {targetFolder, value});
        } else {
            entry.kind = CopyEntryKind::resetMarker;
            targetFits = targetFolder != nullptr && subfolderUsable && joinText(target, {targetFolder, subfolder});
        }
        entry.sourcePath = sourceFits ? source : nullptr;
        entry.targetPath = targetFits ? target : nullptr;
        if (!visit(entry, context)) return false;

        if (entry.kind == CopyEntryKind::subfolderMarker) {
            subfolderUsable = (targetFolder == nullptr || targetFits) && copyText(subfolder, value);
        } else if (entry.kind == CopyEntryKind::resetMarker) {
            subfolder[0] = '\0';
            subfolderUsable = true;
        }
    }
}

bool walkShortcutList(ShortcutVisitor visit, void* context) {
    for (unsigned index = 0;; ++index) {
        char key[32];
        ShortcutEntry entry = {};
        entry.index = index;
        wsprintfA(key, "SHORTCATDIR_%02u", index);
        readSetupString(key, entry.folder);
        wsprintfA(key, "SHORTCATNAME_%02u", index);
        readSetupString(key, entry.name);
        wsprintfA(key, "SHORTCATFILE_%02u", index);
        readSetupString(key, entry.target);
        if (isNoData(entry.folder) || isNoData(entry.name) || isNoData(entry.target)) return true;

        wsprintfA(key, "SHORTCATDISCRIPT_%02u", index);
        readSetupStringOrEmpty(key, entry.description);
        wsprintfA(key, "SHORTCATICON_%02u", index);
        readSetupString(key, entry.iconFile);
        entry.hasIconFile = !isNoData(entry.iconFile);
        if (!entry.hasIconFile) entry.iconFile[0] = '\0';
        wsprintfA(key, "SHORTCATICONNUMBER_%02u", index);
        entry.iconNumber = readSetupInt(key);
        if (!visit(entry, context)) return false;
    }
}
