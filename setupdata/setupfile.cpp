#include "setupdata/setupfile.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/text.h"

namespace {

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
    GetPrivateProfileStringA(kSetupSection, key, kNoData, value, limit, programState.descriptionPath);
}

int readSetupInt(const char* key) {
    if (programState.descriptionPath[0] == '\0') return 0;
    return static_cast<int>(GetPrivateProfileIntA(kSetupSection, key, 0, programState.descriptionPath));
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

bool getProgramFolderOf(const char* programPath, char (&folder)[kPathSize]) {
    char* backslash = copyText(folder, programPath) ? findLastBackslash(folder) : nullptr;
    if (backslash == nullptr) {
        folder[0] = '\0';
        return false;
    }
    backslash[1] = '\0';
    return true;
}

bool getModulePath(char (&path)[kPathSize]) {
    const DWORD length = GetModuleFileNameA(nullptr, path, kPathSize);
    // A path that fills the buffer may have been cut.
    if (length == 0 || length >= kPathSize) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool getProgramFolder(char (&folder)[kPathSize]) {
    char modulePath[kPathSize];
    folder[0] = '\0';
    return getModulePath(modulePath) && getProgramFolderOf(modulePath, folder);
}

bool getSourceFolderOf(const char* programFolder, char (&folder)[kPathSize]) {
    char copyDir[kPathSize];
    readSetupStringOrEmpty(kCopyDirKey, copyDir);
    return joinText(folder, {programFolder, copyDir});
}

bool getSourceFolder(char (&folder)[kPathSize]) {
    char programFolder[kPathSize];
    folder[0] = '\0';
    return getProgramFolder(programFolder) && getSourceFolderOf(programFolder, folder);
}

void formatNumberedKey(NumberedKey kind, unsigned index, char (&key)[kKeySize]) {
    wsprintfA(key, kNumberedKeyFormats[static_cast<int>(kind)], index);
}

bool walkSetupKeys(SetupKeyVisitor visit, void* context) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (programState.descriptionPath[0] == '\0' ||
        !GetFileAttributesExA(programState.descriptionPath, GetFileExInfoStandard, &data) || data.nFileSizeHigh != 0 ||
        data.nFileSizeLow > 0x1000000) {
        return false;
    }
    // The names together, each with its terminator, never outgrow the file.
    std::vector<char> names(data.nFileSizeLow + 2);
    GetPrivateProfileStringA(kSetupSection, nullptr, "", names.data(), static_cast<DWORD>(names.size()),
                             programState.descriptionPath);
    for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) visit(name, context);
    return true;
}

bool composeSubfolderMarker(const char* folder, char (&entry)[kPathSize]) {
    if (folder[0] != '\0' && joinText(entry, {kResetMarker, folder})) return true;
    entry[0] = '\0';
    return false;
}

bool walkCopyList(const char* targetFolder, CopyEntryVisitor visit, void* context) {
    char programFolder[kPathSize];
    const bool haveProgramFolder = getProgramFolder(programFolder);
    return walkCopyListFrom(haveProgramFolder ? programFolder : nullptr, targetFolder, visit, context);
}

bool walkCopyListFrom(const char* programFolder, const char* targetFolder, CopyEntryVisitor visit, void* context) {
    char sourceFolder[kPathSize];
    char subfolder[kPathSize] = "";
    // False after a marker that was refused or did not fit: the entries up to
    // the next reset marker have no place inside the target then.
    bool subfolderUsable = true;
    const bool haveSourceFolder = programFolder != nullptr && getSourceFolderOf(programFolder, sourceFolder);

    for (unsigned index = 0;; ++index) {
        char key[kKeySize];
        formatNumberedKey(NumberedKey::copyFile, index, key);
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
        // An entry that would reach outside the target folder or name a device
        // gets no path at all: nothing is read from it, written to it or counted.
        const bool refused = !staysInsideFolder(value);
        const bool confined = targetFolder != nullptr && !refused;
        if (value[0] != kResetMarker[0]) {
            entry.kind = CopyEntryKind::file;
            sourceFits = haveSourceFolder && !refused && joinText(source, {sourceFolder, value});
            targetFits = confined && subfolderUsable && joinText(target, {targetFolder, subfolder, "\\", value});
        } else if (lstrcmpA(value, kResetMarker) != 0) {
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
        char key[kKeySize];
        ShortcutEntry entry = {};
        entry.index = index;
        formatNumberedKey(NumberedKey::shortcutFolder, index, key);
        readSetupString(key, entry.folder);
        formatNumberedKey(NumberedKey::shortcutName, index, key);
        readSetupString(key, entry.name);
        formatNumberedKey(NumberedKey::shortcutTarget, index, key);
        readSetupString(key, entry.target);
        if (isNoData(entry.folder) || isNoData(entry.name) || isNoData(entry.target)) return true;

        formatNumberedKey(NumberedKey::shortcutDescription, index, key);
        readSetupStringOrEmpty(key, entry.description);
        formatNumberedKey(NumberedKey::shortcutIcon, index, key);
        readSetupString(key, entry.iconFile);
        entry.hasIconFile = !isNoData(entry.iconFile);
        if (!entry.hasIconFile) entry.iconFile[0] = '\0';
        formatNumberedKey(NumberedKey::shortcutIconNumber, index, key);
        entry.iconNumber = readSetupInt(key);
        if (!visit(entry, context)) return false;
    }
}
