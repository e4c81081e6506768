// The uninstall dialog (resource 105) and the removal of an installed copy.
#pragma once

#include <windows.h>

// Shows the recorded folder and removes the installed copy on confirmation.
// Ends with -1 when the install record cannot be read or its folder is no
// longer safe, and with 0 after a removal or a cancel.
INT_PTR CALLBACK uninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Removes the links the shortcut list makes in SHORTCATDIR_01's folder (and the
// folder when that empties it), the listed files and the folders that the copy
// list's reset markers close, on request the save files and folder itself, and
// always the install record; message boxes are owned by owner. Nothing outside
// folder and that shortcut folder is touched.
void removeInstalledCopy(HWND owner, const char* folder);
