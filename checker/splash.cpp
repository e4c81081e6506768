// The splash files beside SETUP.EXE: whether SETUP.EXE shows each, and how.
#include <windows.h>

#include <iterator>

#include "checker/check.h"
#include "report/disccheck.h"
#include "setupdata/pathrules.h"
#include "setupdata/splashfile.h"

namespace {

// Each corner image should fit a quarter of the smallest screen.
constexpr LONG kCornerWidth = 640 / 2;
constexpr LONG kCornerHeight = 480 / 2;

// GIMP's options are named in English as well: their translations differ between versions.
constexpr char kTo24BitHow[] =
    "ImageMagick なら convert 元の画像 -background white -flatten -type TrueColor BMP3:SETUP0.BMP、"
    "GIMP なら画像を平坦化 (Flatten Image) し、BMP でエクスポートして 24 ビット (24 bits: R8 G8 B8) を選び、"
    "色空間の情報を書かない設定 (Do not write color space information) にします";

}  // namespace

void checkSplashFiles(Check& check) {
    char basePath[kSplashPathSize];
    if (!splashBasePath(check.programPath, basePath)) return;
    for (int index = 0; index < kSplashSlots; ++index) {
        char path[kSplashPathSize];
        if (!splashFilePath(basePath, index, path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) continue;
        const char* name = lastPathComponent(path);
        void* block = nullptr;
        const SplashProblem problem = loadSplashFile(path, block);
        if (problem != SplashProblem::none) {
            error(check, "splash", name, {"SETUP.EXE はこのビットマップを表示しません: ", splashProblemText(problem)});
            continue;
        }
        const auto& info = *static_cast<const BITMAPINFOHEADER*>(block);
        if (info.biWidth > kCornerWidth || info.biHeight > kCornerHeight) {
            warning(check, "splash-size", name,
                    {number(static_cast<unsigned long>(info.biWidth)).text, " × ",
                     number(static_cast<unsigned long>(info.biHeight)).text,
                     " ピクセルで、640 × 480 の画面の 4 分の 1 (320 × 240) を超え、隅の画像が重なります"});
        }
        // The program draws the colour bytes and never the alpha: a transparent
        // pixel shows whatever colour it holds, mostly black.
        if (info.biBitCount == 32) {
            warning(check, "splash-32-bit", name,
                    {"32 ビットのビットマップです。SETUP.EXE は透明度 (アルファ) "
                     "を使わないため、透明な部分は黒く表示されます。"
                     "白の背景に重ねて 24 ビットで保存し直してください: ",
                     kTo24BitHow});
        }
        GlobalFree(block);
    }
}

const char* splashProblemText(SplashProblem problem) {
    // In the order of SplashProblem.
    static constexpr const char* kTexts[] = {
        "",
        "開けないか、読めません",
        "BMP ファイルではありません (「BM」で始まるファイルヘッダがありません)",
        "ファイルヘッダのサイズ欄がファイルの大きさと合いません",
        "情報ヘッダが 40 バイトの BITMAPINFOHEADER (1 プレーン) ではありません。40 バイトのヘッダで書くには、"
        "ImageMagick なら出力名に BMP3: を付け (convert 元の画像 BMP3:SETUP0.BMP)、"
        "GIMP なら BMP でエクスポートして色空間の情報を書かない設定 "
        "(Do not write color space information。GIMP 3 では Write color space information をオフ) にします",
        "幅と高さが正ではありません (下から上へ並ぶ行が必要です)",
        "圧縮されています (無圧縮 BI_RGB のみ表示します)",
        "16、24、32 ビットのいずれでもないか、カラーテーブルがあります。24 ビットで保存し直してください",
        "画素データがファイルに収まっていません",
    };
    static_assert(std::size(kTexts) == static_cast<size_t>(SplashProblem::truncated) + 1, "a text for each problem");
    return kTexts[static_cast<size_t>(problem)];
}
