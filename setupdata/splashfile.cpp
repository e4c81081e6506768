#include "setupdata/splashfile.h"

#include <cstdint>
#include <cstring>

#include "setupdata/text.h"

namespace {

constexpr DWORD kFileHeaderSize = 14;

const BITMAPINFOHEADER& infoHeader(const void* block) { return *static_cast<const BITMAPINFOHEADER*>(block); }

// What keeps a splash block from being drawn: it must be an uncompressed
// bottom-up bitmap of 16, 24 or 32 bits whose pixel rows lie within its
// blockSize bytes.
SplashProblem splashBlockProblem(const void* block, DWORD blockSize) {
    if (blockSize < kSplashInfoHeaderSize) return SplashProblem::infoHeader;
    const BITMAPINFOHEADER& info = infoHeader(block);
    if (info.biSize != kSplashInfoHeaderSize || info.biPlanes != 1) return SplashProblem::infoHeader;
    if (info.biWidth <= 0 || info.biHeight <= 0) return SplashProblem::notBottomUp;
    if (info.biCompression != BI_RGB) return SplashProblem::compressed;
    // The pixels start right after the header, so there is no room for a colour
    // table: palette images cannot be drawn from this layout.
    if ((info.biBitCount != 16 && info.biBitCount != 24 && info.biBitCount != 32) || info.biClrUsed != 0) {
        return SplashProblem::colourFormat;
    }
    const uint64_t rowBytes = (static_cast<uint64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4;
    if (static_cast<uint64_t>(info.biHeight) > (blockSize - kSplashInfoHeaderSize) / rowBytes)
        return SplashProblem::truncated;
    return SplashProblem::none;
}

}  // namespace

bool splashBasePath(const char* modulePath, char (&basePath)[kSplashPathSize]) {
    char* dot = copyText(basePath, modulePath) ? findLastDot(basePath) : nullptr;
    if (dot == nullptr) return false;
    *dot = '\0';
    return true;
}

bool splashFilePath(const char* basePath, int index, char (&path)[kSplashPathSize]) {
    char suffix[8];
    wsprintfA(suffix, "%d.BMP", index);
    return joinText(path, {basePath, suffix});
}

SplashProblem loadSplashFile(const char* path, void*& block) {
    block = nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return SplashProblem::unreadable;

    SplashProblem problem = SplashProblem::notBitmap;
    BYTE header[kFileHeaderSize];
    DWORD read = 0;
    if (ReadFile(file, header, sizeof header, &read, nullptr) && read == sizeof header && header[0] == 'B' &&
        header[1] == 'M') {
        DWORD totalSize;
        std::memcpy(&totalSize, header + 2, sizeof totalSize);
        // A file that claims more than it holds is refused before anything is
        // allocated for it.
        const DWORD fileSize = GetFileSize(file, nullptr);
        problem = SplashProblem::sizeField;
        if (totalSize >= kFileHeaderSize + kSplashInfoHeaderSize && fileSize != INVALID_FILE_SIZE &&
            totalSize <= fileSize) {
            const DWORD blockSize = totalSize - kFileHeaderSize;
            block = GlobalAlloc(GPTR, blockSize);
            problem = block != nullptr && ReadFile(file, block, blockSize, &read, nullptr) && read == blockSize
                          ? splashBlockProblem(block, blockSize)
                          : SplashProblem::unreadable;
            if (problem != SplashProblem::none && block != nullptr) {
                GlobalFree(block);
                block = nullptr;
            }
        }
    }
    CloseHandle(file);
    return problem;
}
