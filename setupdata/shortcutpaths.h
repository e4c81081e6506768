// Which shortcut groups make a link, and where the link goes and what it
// points at. The installer makes links, the uninstaller removes them and the
// disc checker checks them by these rules alone.
#pragma once

#include "setupdata/setupfile.h"
#include "setupdata/text.h"

// A group makes a link only when its folder is a relative path of plain names
// and its name one plain name. A folder such as "", "." or ".." would put links
// into the Programs folder itself or elsewhere, a name such as "..\X" would
// replace someone else's file, which the uninstaller would then delete. Nor
// may the folder below programsFolder be a Startup folder (isStartupFolder).
bool isAcceptedShortcutGroup(const ShortcutEntry& group, const char* programsFolder);

// Whether folder is the user's or all users' Startup folder, compared with the
// shell's own path for it (whatever the system's language calls it), without
// regard to case, and by its long form when it exists: a link there would
// start the game at every logon, and the uninstaller would delete another
// program's link of that name there.
bool isStartupFolder(const char* folder);

// folder + "\" + name + ".lnk". False, and link empty, when it does not fit.
bool composeShortcutLink(const char* folder, const char* name, char (&link)[kPathSize]);

// The paths of one group's link.
struct ShortcutPaths {
    char folder[kPathSize];  // programs folder + "\" + SHORTCATDIR
    char link[kPathSize];    // folder + "\" + SHORTCATNAME + ".lnk"
    char target[kPathSize];  // install folder + "\" + SHORTCATFILE
    char icon[kPathSize];    // the target's folder + SHORTCATICON; empty without one
};

// Composes the paths of group below programsFolder and installFolder; false
// when any of them does not fit.
bool composeShortcutPaths(const ShortcutEntry& group, const char* programsFolder, const char* installFolder,
                          ShortcutPaths& paths);
