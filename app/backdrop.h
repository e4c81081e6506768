// The full-screen white backdrop behind every dialog, painted from a
// screen-sized back buffer.
#pragma once

#include <windows.h>

constexpr char kBackdropClassName[] = "SETUP";

// Registers the window class "SETUP"; false when registration fails.
bool registerBackdropClass();

// Reads the screen size, creates the backdrop window over the whole screen and
// its white back buffer, then shows it with showCommand and paints it once.
HWND createBackdropWindow(int showCommand);

// Deletes the back buffer and frees the splash blocks.
void releaseBackdrop();

LRESULT CALLBACK backdropWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
