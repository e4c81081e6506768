#include "setupdata/shortcutpaths.h"

#include "setupdata/pathrules.h"

bool isAcceptedShortcutGroup(const ShortcutEntry& group) {
    return isAcceptableRelativePath(group.folder) && isPlainName(group.name);
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
