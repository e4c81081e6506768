// The launcher's run action: the colour-depth check and the game's start.
#pragma once

#include <windows.h>

// Starts recorded folder + "\" + EXE_NAME and ends the launcher at 24 bits per
// pixel or more (after a note at exactly 16); below that offers the display
// switch instead. Keeps the launcher open when the install record is missing
// or the game's path does not fit.
void runInstalledGame(HWND launcher);
