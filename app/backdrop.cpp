#include "app/backdrop.h"

#include "res/resource.h"
#include "setupdata/programstate.h"

#ifndef _WIN64
static_assert(sizeof(WNDCLASSEXA) == 48, "the 32-bit window class record");
#endif

namespace {

constexpr DWORD kBackdropStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
static_assert(kBackdropStyle == 0x10CA0000, "caption, system menu, minimise box, fixed frame");

// The GDI creation calls are not examined: without a back buffer the backdrop
// paints nothing, and the launcher works all the same.
void createBackBuffer(HWND window) {
    HDC windowDc = GetDC(window);
    programState.backBufferDc = CreateCompatibleDC(windowDc);
    programState.backBufferBitmap =
        CreateCompatibleBitmap(windowDc, programState.screenWidth, programState.screenHeight);
    // The memory context's own one-pixel bitmap needs no release.
    SelectObject(programState.backBufferDc, programState.backBufferBitmap);
    ReleaseDC(window, windowDc);

    const LOGBRUSH white = {BS_SOLID, RGB(255, 255, 255), 0};
    HBRUSH brush = CreateBrushIndirect(&white);
    RECT all;
    SetRect(&all, 0, 0, programState.screenWidth, programState.screenHeight);
    FillRect(programState.backBufferDc, &all, brush);
    DeleteObject(brush);
}

struct OwnedWindowSearch {
    HWND backdrop;
    bool found;
};

BOOL CALLBACK findOwnedWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<OwnedWindowSearch*>(context);
    search.found = window != search.backdrop && GetAncestor(window, GA_ROOTOWNER) == search.backdrop;
    return search.found ? FALSE : TRUE;  // FALSE ends the enumeration
}

// Whether a window other than backdrop has it at the root of its owners: a
// dialog or message box of the program, on either thread.
bool ownsOpenWindow(HWND backdrop) {
    OwnedWindowSearch search = {backdrop, false};
    // The result says only whether the callback ended the enumeration.
    (void)EnumWindows(findOwnedWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

bool registerBackdropClass() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = backdropWindowProc;
    windowClass.hInstance = programState.instance;
    windowClass.hIcon = LoadIconA(programState.instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hIconSm = LoadIconA(programState.instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kBackdropClassName;
    return RegisterClassExA(&windowClass) != 0;
}

HWND createBackdropWindow(int showCommand) {
    programState.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    programState.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, kBackdropClassName, "SETUP", kBackdropStyle, 0, 0, programState.screenWidth,
                                  programState.screenHeight, nullptr, nullptr, programState.instance, nullptr);
    if (window == nullptr) return nullptr;
    createBackBuffer(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

void releaseBackdrop() {
    // The bitmap is still selected into the context when the context goes.
    DeleteDC(programState.backBufferDc);
    DeleteObject(programState.backBufferBitmap);
    programState.backBufferDc = nullptr;
    programState.backBufferBitmap = nullptr;
    for (void*& splash : programState.splashBitmaps) {
        if (splash != nullptr) GlobalFree(splash);
        splash = nullptr;
    }
}

LRESULT CALLBACK backdropWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        // A repaint copies just the invalid rectangle; nothing else is drawn.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const RECT& r = paint.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, programState.backBufferDc, r.left, r.top,
               SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        // Closing the backdrop (the taskbar, another program; SC_CLOSE comes
        // here too) would destroy the dialogs over it mid-work, an install
        // mid-file: while one is open, the dialogs decide when the program ends.
        if (ownsOpenWindow(window)) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
