// The progress dialog (resource 102): checks the space, makes the install
// folder and runs the copy worker behind a progress bar. Ends with 0 when
// everything was installed, -1 otherwise.
#pragma once

#include <windows.h>

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
