// The floor of an install: only what the copy algorithm mandates beyond moving
// bytes. A dialog with a real progress bar; a worker that waits 500 ms, reads
// each COPYFILE_nnn entry from the description file, makes the folders of the
// subfolder markers, and copies each file in 128 KiB chunks with its times set
// first, sending the running count to the dialog after every chunk.
//
//   floor.exe SETUP.INI SOURCE_FOLDER TARGET_FOLDER TOTAL_BYTES
//
// The bar's range is the copy set's size, so that its position moves across
// its whole width as the installer's does; how often the bar is repainted is
// not mandated, so the floor never repaints it (its redraw is off). Prints the
// seconds from the dialog's start to the last file's end.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "copylist.h"

namespace {

constexpr DWORD kChunk = 0x20000;
constexpr UINT kProgress = WM_APP + 1;
constexpr UINT kDone = WM_APP + 2;
constexpr int kBar = 100;

std::string setupFile, sourceFolder, targetFolder;
LPARAM totalBytes = 0;
HWND dialog = nullptr;
LARGE_INTEGER started, finished;

DWORD WINAPI copyAll(void*) {
    Sleep(500);
    BYTE* buffer = static_cast<BYTE*>(GlobalAlloc(GPTR, kChunk));
    DWORD copied = 0;
    forEachCopiedFile(setupFile, sourceFolder, targetFolder, [&](const std::string& from, const std::string& to) {
        HANDLE source =
            CreateFileA(from.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE target =
            CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        FILETIME created, written;
        GetFileTime(source, &created, nullptr, &written);
        SetFileTime(target, &created, nullptr, &written);
        for (;;) {
            DWORD read = 0, wrote = 0;
            ReadFile(source, buffer, kChunk, &read, nullptr);
            WriteFile(target, buffer, read, &wrote, nullptr);
            copied += read;
            SendMessageA(dialog, kProgress, copied, 0);
            if (read != kChunk) break;
        }
        CloseHandle(target);
        CloseHandle(source);
        return true;
    });
    GlobalFree(buffer);
    QueryPerformanceCounter(&finished);
    PostMessageA(dialog, kDone, 0, 0);
    return 0;
}

INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        dialog = window;
        QueryPerformanceCounter(&started);
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 10, 10, 300, 20, window,
                        reinterpret_cast<HMENU>(kBar), nullptr, nullptr);
        SendDlgItemMessageA(window, kBar, PBM_SETRANGE32, 0, totalBytes);
        SendDlgItemMessageA(window, kBar, WM_SETREDRAW, FALSE, 0);
        CloseHandle(CreateThread(nullptr, 0, copyAll, nullptr, 0, nullptr));
        return TRUE;
    case kProgress:
        SendDlgItemMessageA(window, kBar, PBM_SETPOS, wParam, 0);
        return TRUE;
    case kDone:
        EndDialog(window, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    setupFile = argv[1];
    sourceFolder = argv[2];
    targetFolder = argv[3];
    totalBytes = static_cast<LPARAM>(std::strtoul(argv[4], nullptr, 10));
    InitCommonControls();
    // A dialog template of no controls: the bar is made at its start.
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {{WS_POPUP | WS_CAPTION | DS_CENTER | WS_VISIBLE, 0, 0, 0, 0, 220, 40}, 0, 0, 0};
    DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.header, nullptr, dialogProc, 0);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::printf("%.3f\n", static_cast<double>(finished.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}
