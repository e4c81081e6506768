// Splash bitmap files: where the program looks for them and which it accepts.
// Read by the launcher and by the disc tools alike.
#pragma once

#include <windows.h>

// A splash block is the file less its 14-byte header; its pixels begin right
// after the 40-byte information header.
constexpr DWORD kSplashInfoHeaderSize = 40;

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

// The splash slots: files basePath + "0.BMP" up to basePath + "3.BMP".
constexpr int kSplashSlots = 4;
// The splash base path and a splash file's path, each with its terminator.
constexpr int kSplashPathSize = 256;

// The splash base path of the program at modulePath: its path without the
// extension (SETUP.EXE gives SETUP). False when it has no "." or does not fit.
bool splashBasePath(const char* modulePath, char (&basePath)[kSplashPathSize]);

// Splash file index (0 to kSplashSlots - 1): basePath + index + ".BMP". False
// when it does not fit.
bool splashFilePath(const char* basePath, int index, char (&path)[kSplashPathSize]);

// Reads the splash file at path into a new fixed block (the file less its
// 14-byte header) when it is drawable; block is nullptr otherwise.
SplashProblem loadSplashFile(const char* path, void*& block);
