// The folder dialog (resource 103): the first step of an install. Shows the
// default install folder with the free and required space, lets the user
// browse for another parent folder, and runs the progress dialog; writes the
// install record when that succeeded.
#pragma once

#include <windows.h>

INT_PTR CALLBACK folderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
