#include "tests/launcherfixture.h"

// What uncovering part of the backdrop does: that part is invalidated and
// erased, and it comes back from the back buffer; the rest is not repainted.
// (Wine keeps each window's own surface, so really covering the backdrop with
// another window would not invalidate anything.)
TEST_F(LauncherTest, BackdropCoversTheScreenAndRepaintsWhatIsUncoveredFromItsBackBuffer) {
    RECT frame;
    GetWindowRect(backdrop, &frame);
    const RECT screenRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_TRUE(EqualRect(&frame, &screenRect));
    // Caption, system menu and minimise box on a fixed frame; the system adds WS_CLIPSIBLINGS.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(backdrop, GWL_STYLE)) & 0xFFFF0000u & ~WS_CLIPSIBLINGS, 0x10CA0000u);
    const RECT square = {100, 100, 300, 300}, uncovered = {150, 150, 250, 250};
    FillRect(programState.backBufferDc, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RedrawWindow(backdrop, &uncovered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC screen = GetDC(backdrop);
    EXPECT_EQ(GetPixel(screen, 150, 150), 0u);         // the uncovered part, from the back buffer
    EXPECT_EQ(GetPixel(screen, 149, 149), 0xFFFFFFu);  // the rest, not repainted
    ReleaseDC(backdrop, screen);
}
