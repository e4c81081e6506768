// The Start-menu shortcuts of an install: one shell link per complete group of
// SHORTCAT... keys, in a folder below the Start menu's Programs folder. Made on
// the copy worker's thread; nothing here is reported to the user.
#pragma once

#include <windows.h>

// Makes the link of every group up to the first incomplete one. Groups whose
// folder or name the rule refuses, or whose paths do not fit, are skipped.
void makeStartMenuShortcuts(HWND owner);
