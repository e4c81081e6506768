// The Start-menu shortcuts of an install: one shell link per complete group of
// SHORTCAT... keys, in a folder below the Start menu's Programs folder. Made on
// the copy worker's thread; nothing here is reported to the user.
#pragma once

#include <windows.h>

#include "setupdata/text.h"
#include "setupdata/setupfile.h"

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

// Makes the link of every group up to the first incomplete one. Groups whose
// folder or name the rule refuses, or whose paths do not fit, are skipped.
void makeStartMenuShortcuts(HWND owner);
