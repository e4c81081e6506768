// A bare Win32 program that shows one empty dialog, to compare the start of
// SETUP.EXE's launcher with. Ends when the dialog is cancelled or closed.
#include <windows.h>

namespace {

INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {{WS_POPUP | WS_CAPTION | DS_CENTER | WS_VISIBLE, 0, 0, 0, 0, 160, 80}, 0, 0, 0};
    DialogBoxIndirectParamA(instance, &dialogTemplate.header, nullptr, dialogProc, 0);
    return 0;
}
