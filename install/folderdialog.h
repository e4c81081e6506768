// The folder dialog (resource 103): the first step of an install. Shows the
// default install folder with the free and required space, lets the user
// browse for another parent folder, and runs the progress dialog; writes the
// install record when that succeeded.
#pragma once

#include <windows.h>

#include "setupdata/text.h"

INT_PTR CALLBACK folderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Writes "空き容量 ... 必要容量 ..." for folder's drive and totalBytes into the
// space line.
void showSpaceText(HWND dialog, const char* folder);

// Runs the shell's folder browser from the drives, opening on installFolder.
// True when the user confirmed a folder that the safety rule accepts; it then
// stands in parent.
bool browseInstallFolder(HWND dialog, char (&parent)[kPathSize]);

// The browser's callback: opens on the caller's folder and lets OK confirm
// only a safe folder.
int CALLBACK browseCallback(HWND browser, UINT event, LPARAM value, LPARAM callerValue);
