// The sample disc's stand-in for the DirectX runtime's setup program, which
// the stand-in DSETUP.dll runs from the source folder. It says what it is and
// installs nothing.
#include <windows.h>

namespace {

constexpr char kText[] =
    "このサンプルディスクには DirectX ランタイムは入っていません。\n"
    "製品のディスクでは、発売元がこのフォルダにプラットフォームの DirectX 再頒布パッケージを置きます。";
constexpr char kCaption[] = "DXSETUP";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, kText, kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
