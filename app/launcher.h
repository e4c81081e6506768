// The launcher dialog (resource 101): install mode, or run/uninstall mode when
// a valid installed copy is found.
#pragma once

#include <windows.h>

INT_PTR CALLBACK launcherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Description path, game name, both titles, splash files and mode; false when
// GAME_NAME is missing.
bool prepareLauncher(HWND dialog);

// Runs the installed-copy check and sets the texts, buttons, focus and
// installedMode to match.
void selectLauncherMode(HWND dialog);

// Whether the install record names a safe folder that holds the first listed
// file. Shows the unsafe-folder warning when the recorded folder is refused.
bool checkInstalledCopy();
