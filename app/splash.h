// Splash bitmaps: up to four files beside the program, one per corner of the
// backdrop, loaded into the splash slots and drawn into the back buffer.
#pragma once

#include <windows.h>

// Why a splash file is not shown.
enum class SplashProblem {
    none,
    unreadable,    // cannot be opened exclusively, or read in full
    notBitmap,     // no "BM" file header
    sizeField,     // total-size field below both headers or beyond the file's end
    infoHeader,    // not a 40-byte information header with one plane
    notBottomUp,   // width or height not positive
    compressed,    // not BI_RGB
    colourFormat,  // not 16, 24 or 32 bits, or a colour table before the pixels
    truncated,     // pixel rows beyond the block
};

// The splash base path of the program at modulePath: its path without the
// extension (SETUP.EXE gives SETUP). False when it has no "." or does not fit.
bool splashBasePath(const char* modulePath, char (&basePath)[256]);

// Splash file index (0 to 3): basePath + index + ".BMP". False when it does not fit.
bool splashFilePath(const char* basePath, int index, char (&path)[256]);

// Reads the splash file at path into a new fixed block (the file less its
// 14-byte header) when it is drawable; block is nullptr otherwise.
SplashProblem loadSplashFile(const char* path, void*& block);

// Loads basePath + "0.BMP" ... "3.BMP" into slots 0 to 3. A file that is
// missing, cannot be opened exclusively or is not a drawable bitmap leaves its
// slot empty.
void loadSplashBitmaps(const char* basePath);

// What keeps a splash block (a bitmap file less its 14-byte header) from being
// drawn: it must be an uncompressed bottom-up bitmap of 16, 24 or 32 bits
// whose pixel rows, taken from offset 40, lie within its blockSize bytes.
SplashProblem splashBlockProblem(const void* block, DWORD blockSize);
inline bool isDrawableSplash(const void* block, DWORD blockSize) {
    return splashBlockProblem(block, blockSize) == SplashProblem::none;
}

// Draws the loaded slots into the corners of the back buffer, then repaints the
// launcher's owner, the backdrop window.
void drawSplashBitmaps(HWND launcher);
