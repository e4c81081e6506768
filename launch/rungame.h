// The launcher's run action: the colour-depth check and the game's start.
#pragma once

#include <windows.h>

// Starts recorded folder + "\" + EXE_NAME, in that folder and through the
// desktop's shell where there is one, and ends the launcher at 24 bits per
// pixel or more (after a note at exactly 16); below that offers the display
// switch instead. Keeps the launcher open when the record no longer names a
// safe folder holding the first listed file, when EXE_NAME is no relative
// path of plain names, or when the game's path does not fit.
void runInstalledGame(HWND launcher);
