#include <gtest/gtest.h>

#include "tests/launcherfixture.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

void pumpMessages(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
}

TEST_F(LauncherTest, BackdropCoversTheScreenWithAWhiteBackBuffer) {
    EXPECT_EQ(programState.screenWidth, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(programState.screenHeight, GetSystemMetrics(SM_CYSCREEN));
    RECT frame;
    GetWindowRect(backdrop, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(frame.right, programState.screenWidth);
    EXPECT_EQ(frame.bottom, programState.screenHeight);
    // The system adds WS_CLIPSIBLINGS to every captioned top-level window.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(backdrop, GWL_STYLE)) & 0xFFFF0000u & ~WS_CLIPSIBLINGS, 0x10CA0000u);

    BITMAP bitmap;
    ASSERT_TRUE(GetObjectA(programState.backBufferBitmap, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmWidth, programState.screenWidth);
    EXPECT_EQ(bitmap.bmHeight, programState.screenHeight);
    EXPECT_EQ(GetCurrentObject(programState.backBufferDc, OBJ_BITMAP), programState.backBufferBitmap);
}

TEST_F(LauncherTest, BackdropRepaintsExactlyTheUncoveredAreaFromTheBackBuffer) {
    pumpMessages(100);
    HDC screen = GetDC(backdrop);
    ASSERT_EQ(GetPixel(screen, 200, 200), kWhite);

    // Changed in the back buffer only: nothing on screen yet.
    HBRUSH red = CreateSolidBrush(kRed);
    const RECT square = {100, 100, 300, 300};
    FillRect(programState.backBufferDc, &square, red);
    DeleteObject(red);
    EXPECT_EQ(GetPixel(screen, 200, 200), kWhite);

    // What uncovering part of the window does: that part becomes invalid and
    // is erased. (Wine keeps each window's own surface, so really covering it
    // with another window would not invalidate anything.)
    const RECT uncovered = {150, 150, 250, 250};
    InvalidateRect(backdrop, &uncovered, TRUE);
    UpdateWindow(backdrop);
    pumpMessages(100);

    EXPECT_EQ(GetPixel(screen, 200, 200), kRed);    // repainted from the back buffer
    EXPECT_EQ(GetPixel(screen, 151, 151), kRed);
    EXPECT_EQ(GetPixel(screen, 120, 120), kWhite);  // never covered, never repainted
    EXPECT_EQ(GetPixel(screen, 260, 260), kWhite);
    ReleaseDC(backdrop, screen);
}

}  // namespace
