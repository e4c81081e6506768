#include "app/splash.h"

#include "setupdata/programstate.h"
#include "setupdata/splashfile.h"

void loadSplashBitmaps(const char* basePath) {
    for (int i = 0; i < kSplashSlots; ++i) {
        char name[kSplashPathSize];
        if (!splashFilePath(basePath, i, name)) continue;
        (void)loadSplashFile(name, programState.splashBitmaps[i]);
    }
}

void drawSplashBitmaps(HWND launcher) {
    const int frameWidth = 2 * GetSystemMetrics(SM_CXDLGFRAME);
    const int frameHeight = 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
    for (int i = 0; i < kSplashSlots; ++i) {
        const void* block = programState.splashBitmaps[i];
        if (block == nullptr) continue;
        const BITMAPINFOHEADER& info = *static_cast<const BITMAPINFOHEADER*>(block);
        const int width = info.biWidth;
        const int height = info.biHeight;
        const int x = (i % 2 == 0) ? 0 : programState.screenWidth - frameWidth - width;
        const int y = (i < 2) ? 0 : programState.screenHeight - frameHeight - height;
        // Not examined: a corner that cannot be drawn stays white.
        (void)SetDIBitsToDevice(programState.backBufferDc, x, y, width, height, 0, 0, 0, height,
                                static_cast<const BYTE*>(block) + kSplashInfoHeaderSize,
                                static_cast<const BITMAPINFO*>(block), DIB_RGB_COLORS);
    }
    HWND backdrop = GetParent(launcher);
    InvalidateRect(backdrop, nullptr, FALSE);
    UpdateWindow(backdrop);
}
