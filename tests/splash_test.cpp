#include "app/splash.h"
#include "tests/launcherfixture.h"

namespace {

using SplashTest = LauncherTest;

// The file with value put little-endian at offset.
std::string patched(std::string file, size_t offset, uint32_t value, size_t size = 4) {
    return file.replace(offset, size, reinterpret_cast<const char*>(&value), size);
}

TEST_F(SplashTest, FilesAreShownInTheirCornersUnlessUnreadableOrMalformed) {
    const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    // Slot 0 is missing; slot 3 is open in another program, which lets others
    // read it but not have it to themselves; the bytes after each bitmap are
    // not read.
    writeGame();
    for (int slot : {1, 2, 3}) disc->writeSplash(slot, makeBitmapFile(30, 20, slot == 1 ? red : blue) + "trailing");
    HANDLE held =
        CreateFileA(disc->splashPath(3).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DialogDriver driver;
    driver.when(kStatusText, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    runLauncher();
    CloseHandle(held);

    // The corners of what the launcher's frame leaves of the screen, as the backdrop shows them.
    const int right = programState.screenWidth - 2 * GetSystemMetrics(SM_CXDLGFRAME);
    const int bottom = programState.screenHeight - 2 * GetSystemMetrics(SM_CYDLGFRAME) - GetSystemMetrics(SM_CYCAPTION);
    const struct { int x, y; COLORREF colour; } pixels[] = {
        {right - 30, 19, red}, {right - 31, 19, white}, {right - 30, 20, white}, {right - 1, 0, red},
        {29, bottom - 20, blue}, {30, bottom - 20, white}, {29, bottom - 21, white}, {0, bottom - 1, blue},
        {0, 0, white}, {right - 1, bottom - 1, white}};
    HDC screen = GetDC(backdrop);
    for (const auto& p : pixels) EXPECT_EQ(GetPixel(screen, p.x, p.y), p.colour) << p.x << "," << p.y;
    ReleaseDC(backdrop, screen);

    // Refused: not "BM"; shorter than a file header; a total size below both
    // headers, beyond the file or of 4 GiB; a core header; two planes; no
    // width; no height; top-down; compressed; 8 bits; a colour table; rows
    // beyond the block.
    const std::string good = makeBitmapFile(8, 8, red);  // 14 + 40 + 8 rows of 24 bytes
    const std::string bad[] = {
        "XY" + good.substr(2), good.substr(0, 10), patched(good, 2, 53), patched(good, 2, uint32_t(good.size() + 1)),
        patched(good, 2, 0xFFFFFFFF), patched(good, 14, 12), patched(good, 26, 2, 2), patched(good, 18, 0),
        patched(good, 22, 0), patched(good, 22, uint32_t(-8)), patched(good, 30, BI_RLE8), patched(good, 28, 8, 2),
        patched(good, 46, 1), patched(good, 22, 9), patched(good, 18, 0x7FFFFFFF)};
    void* block = nullptr;
    for (const std::string& file : bad) {
        disc->writeSplash(0, file);
        EXPECT_TRUE(loadSplashFile(disc->splashPath(0).c_str(), block) != SplashProblem::none && !block) << &file - bad;
    }
}

}  // namespace
