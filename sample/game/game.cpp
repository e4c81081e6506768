// GAME.EXE of the sample disc: one window with the game's name and a line of
// text, gone when the window is closed. It gives the installer a real program
// to copy, make shortcuts to and start.
#include <windows.h>

namespace {

constexpr char kWindowClass[] = "SampleAdventureMain";
constexpr char kTitle[] = "サンプルアドベンチャー";
constexpr char kGreeting[] = "冒険の旅はここから始まります。";
constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
constexpr int kGameIcon = 1;
constexpr int kClientWidth = 480;
constexpr int kClientHeight = 200;

HFONT textFont = nullptr;

LRESULT CALLBACK gameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HGDIOBJ oldFont = textFont != nullptr ? SelectObject(dc, textFont) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(32, 48, 96));
        DrawTextA(dc, kGreeting, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (oldFont != nullptr) SelectObject(dc, oldFont);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;  // the text stays centred on resize
    windowClass.lpfnWndProc = gameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kGameIcon));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kGameIcon), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExA(&windowClass) == 0) return 1;

    // The client area gets the planned size; the frame comes on top of it.
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window =
        CreateWindowExA(0, kWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;

    // A Japanese face and charset: the default GUI font may have no kana or
    // kanji at all.
    textFont = CreateFontA(-20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace);

    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (textFont != nullptr) DeleteObject(textFont);
    return static_cast<int>(message.wParam);
}
