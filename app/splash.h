// Splash bitmaps: up to four files beside the program, one per corner of the
// backdrop, loaded into the splash slots and drawn into the back buffer.
#pragma once

#include <windows.h>

// Loads basePath + "0.BMP" ... "3.BMP" into slots 0 to 3. A file that is
// missing, cannot be opened exclusively or is not a drawable bitmap leaves its
// slot empty.
void loadSplashBitmaps(const char* basePath);

// Draws the loaded slots into the corners of the back buffer, then repaints the
// launcher's owner, the backdrop window.
void drawSplashBitmaps(HWND launcher);
