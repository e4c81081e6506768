// The one process-wide program-state record. Every field starts zeroed; each
// is written only by the module that owns it and read by the others.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "setupdata/setupfile.h"
#include "setupdata/splashfile.h"
#include "setupdata/text.h"

// What the progress dialog hands to the copy worker.
struct CopyJob {
    HWND dialog;  // the progress dialog, set before the worker starts
    // 1 once the user asked to cancel. One writer (the dialog's thread) and one
    // reader (the worker), which only needs to see the store eventually.
    std::atomic<std::int32_t> cancel;
    // After a failed copy: the path or list entry it concerns, empty when the
    // copy buffer could not be had. Written by the worker before its last
    // message, read by the dialog when that message arrives.
    char failedPath[kPathSize];
    // True once the dialog has had the worker's WM_COPY_DONE for a finished
    // copy: the install record stands for nothing less. The dialog's thread only.
    bool finished;
};
static_assert(sizeof(std::atomic<std::int32_t>) == 4, "the cancel flag is one 32-bit word");

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
    void* splashBitmaps[kSplashSlots];

    // launcher
    char descriptionPath[kPathSize];
    char gameName[kValueSize];
    int installedMode;  // 1 run/uninstall mode, 0 install mode

    // install record key: "Software\" + REG_NAME, formed by the installed-copy check
    char registrySubKey[kPathSize];

    // installer: written by the folder dialog only, read by the copy worker
    char installFolder[kPathSize];
    char defaultDirName[kFolderSize];
    DWORD totalBytes;  // the copy list's size as the folder dialog shows it
    CopyJob copyJob;

    // progress dialog: its bar, on the dialog's thread only
    struct {
        HWND window;      // looked up once when the copy starts
        DWORD total;      // the copy set's size, by which positions are scaled
        DWORD paintedAt;  // tick count of the last repaint
    } progressBar;

    // uninstaller: the folder read from the install record when its dialog opens
    char recordedFolder[kPathSize];

    // game launch: the display settings captured by the run action
    DEVMODEA currentDisplayMode;
};

extern ProgramState programState;
