// The one process-wide program-state record. Every field starts zeroed; each
// is written only by the module that owns it and read by the others.
#pragma once

#include <windows.h>

constexpr int kPathSize = 260;  // a path with its terminator

struct ProgramState {
    // entry and backdrop
    HINSTANCE instance;
    HANDLE instanceMutex;
    int screenWidth;
    int screenHeight;
    HDC backBufferDc;
    HBITMAP backBufferBitmap;
    // splash files less their 14-byte file header; filled by the launcher,
    // freed at shut-down
    void* splashBitmaps[4];

    // launcher
    char descriptionPath[kPathSize];
    char gameName[256];
    int installedMode;  // 1 run/uninstall mode, 0 install mode

    // install record key: "Software\" + REG_NAME, formed by the installed-copy check
    char registrySubKey[kPathSize];
};

extern ProgramState programState;
