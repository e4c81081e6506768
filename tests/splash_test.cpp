#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/splash.h"
#include "tests/launcherfixture.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

struct Corner {
    int x, y;  // top left of the image in the back buffer
};

Corner cornerOf(int slot, int width, int height) {
    const int right = programState.screenWidth - 2 * GetSystemMetrics(SM_CXDLGFRAME) - width;
    const int bottom = programState.screenHeight - 2 * GetSystemMetrics(SM_CYDLGFRAME) -
                       GetSystemMetrics(SM_CYCAPTION) - height;
    return {slot % 2 == 0 ? 0 : right, slot < 2 ? 0 : bottom};
}

COLORREF bufferPixel(int x, int y) { return GetPixel(programState.backBufferDc, x, y); }

class SplashTest : public LauncherTest {
protected:
    // Runs the launcher until it is up, then cancels it.
    void showLauncher() {
        DialogDriver driver;
        driver.when(kStatusText, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
        runLauncher();
    }
};

TEST_F(SplashTest, EachFileIsDrawnInItsCornerAndShownOnTheBackdrop) {
    writeGame();
    const struct {
        int width, height;
        COLORREF colour;
    } images[] = {{40, 30, RGB(255, 0, 0)}, {50, 20, RGB(0, 160, 0)}, {30, 45, RGB(0, 0, 255)},
                  {21, 21, RGB(200, 200, 0)}};
    for (int slot = 0; slot < 4; ++slot) {
        disc->writeSplash(slot, makeBitmapFile(images[slot].width, images[slot].height, images[slot].colour));
    }
    showLauncher();

    HDC screen = GetDC(backdrop);
    for (int slot = 0; slot < 4; ++slot) {
        const auto& image = images[slot];
        const Corner at = cornerOf(slot, image.width, image.height);
        SCOPED_TRACE(slot);
        EXPECT_EQ(bufferPixel(at.x, at.y), image.colour);
        EXPECT_EQ(bufferPixel(at.x + image.width - 1, at.y + image.height - 1), image.colour);
        EXPECT_EQ(bufferPixel(at.x + image.width, at.y + image.height), kWhite);
        if (slot % 2 == 1) {
            EXPECT_EQ(bufferPixel(at.x - 1, at.y), kWhite);
        }
        if (slot >= 2) {
            EXPECT_EQ(bufferPixel(at.x, at.y - 1), kWhite);
        }
        EXPECT_EQ(GetPixel(screen, at.x + 1, at.y + 1), image.colour);  // the backdrop was repainted
    }
    ReleaseDC(backdrop, screen);
}

TEST_F(SplashTest, MissingFilesLeaveTheirCornersWhite) {
    writeGame();
    disc->writeSplash(2, makeBitmapFile(30, 30, RGB(0, 0, 255)));
    // Slot 1 is wider than the backdrop: placed at a negative x and clipped.
    disc->writeSplash(1, makeBitmapFile(programState.screenWidth + 100, 10, RGB(255, 0, 0)));
    showLauncher();

    EXPECT_EQ(programState.splashBitmaps[0], nullptr);
    EXPECT_EQ(programState.splashBitmaps[3], nullptr);
    const Corner bottomLeft = cornerOf(2, 30, 30);
    EXPECT_EQ(bufferPixel(bottomLeft.x + 5, bottomLeft.y + 5), RGB(0, 0, 255));
    const Corner bottomRight = cornerOf(3, 30, 30);
    EXPECT_EQ(bufferPixel(bottomRight.x + 5, bottomRight.y + 5), kWhite);
    EXPECT_EQ(bufferPixel(0, 5), RGB(255, 0, 0));
    EXPECT_EQ(bufferPixel(0, 15), kWhite);
}

// Patches little-endian fields of a bitmap file.
std::string patched(std::string file, size_t offset, uint32_t value, size_t size = 4) {
    std::memcpy(&file[offset], &value, size);
    return file;
}

TEST_F(SplashTest, MalformedFilesAreNeitherKeptNorDrawn) {
    const std::string good = makeBitmapFile(8, 8, RGB(255, 0, 0));  // 14 + 40 + 8 rows of 24 bytes
    const uint32_t size = static_cast<uint32_t>(good.size());
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"not BM", "XY" + good.substr(2)},
        {"shorter than a file header", good.substr(0, 10)},
        {"total size below both headers", patched(good, 2, 14 + 39)},
        {"claims more than it holds", patched(good, 2, size + 1)},
        {"claims 4 GiB", patched(good, 2, 0xFFFFFFFFu)},
        {"core header", patched(good, 14, 12)},
        {"zero width", patched(good, 18, 0)},
        {"zero height", patched(good, 22, 0)},
        {"top-down", patched(good, 22, static_cast<uint32_t>(-8))},
        {"run-length compressed", patched(good, 30, BI_RLE8)},
        {"palette image", patched(good, 28, 8, 2)},
        {"more rows than the block", patched(good, 22, 9)},
        {"row wider than the block", patched(good, 18, 0x7FFFFFFF)},
    };
    for (const auto& c : cases) {
        writeGame();
        disc->writeSplash(0, c.bytes);
        loadSplashBitmaps(disc->programPath().substr(0, disc->programPath().size() - 4).c_str());
        EXPECT_EQ(programState.splashBitmaps[0], nullptr) << c.what;
    }

    // A well-formed file with bytes after its bitmap is kept; one held open by
    // another program is not read.
    writeGame();
    disc->writeSplash(0, good + "trailing");
    const std::string base = disc->programPath().substr(0, disc->programPath().size() - 4);
    loadSplashBitmaps(base.c_str());
    ASSERT_NE(programState.splashBitmaps[0], nullptr);
    EXPECT_EQ(GlobalSize(programState.splashBitmaps[0]), good.size() - 14);
    GlobalFree(programState.splashBitmaps[0]);
    programState.splashBitmaps[0] = nullptr;

    HANDLE held = CreateFileA(disc->splashPath(0).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    loadSplashBitmaps(base.c_str());
    EXPECT_EQ(programState.splashBitmaps[0], nullptr);
    CloseHandle(held);
}

}  // namespace
