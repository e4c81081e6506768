// The DirectSound runtime offer at the end of an install whose description file
// sets DXOPTION=1. Runs on the copy worker's thread; never fails the install.
#pragma once

#include <windows.h>

// Asks whether to install DirectSound when the installed runtime's minor
// version is below 3, and on yes runs the disc's runtime setup from the source
// folder. owner: the progress dialog.
void offerDirectSound(HWND owner);
