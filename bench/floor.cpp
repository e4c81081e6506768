// The floor of an install: only what the installer's algorithm mandates beyond
// moving bytes. A dialog with a real progress bar that, as it opens, sums the
// listed files' sizes the way the progress dialog must (each entry read from
// the description file; each source found, opened, sized and closed) and asks
// for the free space of the target's drive; then a worker that waits 500 ms,
// reads each COPYFILE_nnn entry from the description file again, makes the
// folders of the subfolder markers, and copies each file in 128 KiB chunks
// with its times set first, sending the running count to the dialog after
// every chunk.
//
//   floor.exe SETUP.INI SOURCE_FOLDER TARGET_FOLDER
//
// The bar's range is the summed size, so that its position moves across its
// whole width as the installer's does; how often the bar is repainted is not
// mandated, so the floor never repaints it (its redraw is off). Prints the
// seconds from the dialog's start to the last file's end, and the seconds of
// its opening (the size walk and the free-space query) among them.
#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "copylist.h"

namespace {

constexpr DWORD kChunk = 0x20000;
constexpr UINT kProgress = WM_APP + 1;
constexpr UINT kDone = WM_APP + 2;
constexpr int kBar = 100;

std::string setupFile, sourceFolder, targetFolder;
HWND dialog = nullptr;
LARGE_INTEGER started, opened, finished;

// The progress dialog's own size walk, and the free-space query after it.
DWORD sumSizes() {
    DWORD total = 0;
    if (!PathFileExistsA(setupFile.c_str())) return 0;
    forEachCopyEntry(setupFile, [&](const std::string& entry) {
        if (entry[0] == '\\') return true;
        const std::string source = sourceFolder + "\\" + entry;
        if (!PathFileExistsA(source.c_str())) return true;
        HANDLE file =
            CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return true;
        total += GetFileSize(file, nullptr);
        CloseHandle(file);
        return true;
    });
    ULARGE_INTEGER available;
    GetDiskFreeSpaceExA(targetFolder.substr(0, 3).c_str(), &available, nullptr, nullptr);
    return total;
}

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
    case WM_INITDIALOG: {
        dialog = window;
        QueryPerformanceCounter(&started);
        const DWORD total = sumSizes();
        QueryPerformanceCounter(&opened);
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 10, 10, 300, 20, window,
                        reinterpret_cast<HMENU>(kBar), nullptr, nullptr);
        SendDlgItemMessageA(window, kBar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
        SendDlgItemMessageA(window, kBar, WM_SETREDRAW, FALSE, 0);
        CloseHandle(CreateThread(nullptr, 0, copyAll, nullptr, 0, nullptr));
        return TRUE;
    }
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
    if (argc != 4) return 2;
    setupFile = argv[1];
    sourceFolder = argv[2];
    targetFolder = argv[3];
    InitCommonControls();
    // A dialog template of no controls: the bar is made at its start.
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {{WS_POPUP | WS_CAPTION | DS_CENTER | WS_VISIBLE, 0, 0, 0, 0, 220, 40}, 0, 0, 0};
    DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.header, nullptr, dialogProc, 0);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const auto seconds = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
        return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
    };
    std::printf("%.3f %.3f\n", seconds(started, finished), seconds(started, opened));
    return 0;
}
