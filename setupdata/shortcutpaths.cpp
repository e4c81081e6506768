#include "setupdata/shortcutpaths.h"

#include <shlobj.h>

#include "setupdata/pathrules.h"

bool isStartupFolder(const char* folder) {
    char longForm[kPathSize];
    const DWORD length = GetLongPathNameA(folder, longForm, sizeof longForm);
    const char* compared = length > 0 && length < sizeof longForm ? longForm : folder;
    for (int startup : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
        char startupFolder[MAX_PATH];
        if (SHGetSpecialFolderPathA(nullptr, startupFolder, startup, FALSE) && lstrcmpiA(compared, startupFolder) == 0)
            return true;
    }
    return false;
}

bool isAcceptedShortcutGroup(const ShortcutEntry& group, const char* programsFolder) {
    if (!isAcceptableRelativePath(group.folder) || !isPlainName(group.name)) return false;
    // A folder too long to compose makes no link anywhere.
    char folder[kPathSize];
    return !joinText(folder, {programsFolder, "\\", group.folder}) || !isStartupFolder(folder);
}

bool composeShortcutLink(const char* folder, const char* name, char (&link)[kPathSize]) {
    return joinText(link, {folder, "\\", name, ".lnk"});
}

bool composeShortcutPaths(const ShortcutEntry& group, const char* programsFolder, const char* installFolder,
                          ShortcutPaths& paths) {
    paths.icon[0] = '\0';
    if (!joinText(paths.folder, {programsFolder, "\\", group.folder}) ||
        !composeShortcutLink(paths.folder, group.name, paths.link) ||
        !joinText(paths.target, {installFolder, "\\", group.target})) {
        return false;
    }
    if (!group.hasIconFile) return true;
    // The icon file lies beside the target.
    char targetFolder[kPathSize];
    copyText(targetFolder, paths.target);
    if (char* backslash = findLastBackslash(targetFolder)) backslash[1] = '\0';
    return joinText(paths.icon, {targetFolder, group.iconFile});
}
