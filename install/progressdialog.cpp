#include "install/progressdialog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstring>

#include "install/copyworker.h"
#include "install/diskspace.h"
#include "res/resource.h"
#include "setupdata/programstate.h"
#include "setupdata/text.h"

namespace {

constexpr char kShortageText[] =
    "インストール先の空き容量が足りません。\nインストールを中止します。\n 必要な容量 : %u MB\n 現在の容量 : %u MB";
constexpr char kShortageCaption[] = "インストール";
constexpr char kCancelledText[] = "キャンセルされました。インストールを中止します。";
constexpr char kFailedText[] = "ファイルのコピーに失敗しました。インストールを中止します。\n";
constexpr char kStoppedCaption[] = "インストールの中止";

// PBM_SETRANGE32 and PBM_SETPOS take signed 32-bit values: with a total of
// 2 GiB or more the bar counts KiB. A count beyond the total (a file grown
// since the size walk) stands at the end.
int barPosition(DWORD bytes, DWORD total) {
    const DWORD shown = bytes < total ? bytes : total;
    return static_cast<int>(total > 0x7FFFFFFFu ? shown >> 10 : shown);
}

// The bar's position is set on every progress message, but Wine repaints the
// bar at once on every change, which costs several times the chunk's copy.
// So after each repaint the bar's redraw is off for kBarPaintMs, and the bar
// is repainted by the first message after that or by a timer, whichever
// comes first; the timer paints a position no later message brought. Ten
// repaints a second move the bar smoothly; more cost the copy time without
// showing anything new.
constexpr DWORD kBarPaintMs = 100;
constexpr UINT_PTR kBarTimer = 1;

void paintBar(HWND dialog) {
    (void)KillTimer(dialog, kBarTimer);  // none may be pending
    HWND bar = programState.progressBar.window;
    SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    programState.progressBar.paintedAt = GetTickCount();
}

// Sets the bar to bytes of the copy set, after every chunk.
void moveBar(HWND dialog, DWORD bytes) {
    HWND bar = programState.progressBar.window;
    // Redraw off clears WS_VISIBLE: the first message after a repaint.
    if (GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) {
        SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
        (void)SetTimer(dialog, kBarTimer, kBarPaintMs, nullptr);
    }
    SendMessageA(bar, PBM_SETPOS, barPosition(bytes, programState.progressBar.total), 0);
    if (GetTickCount() - programState.progressBar.paintedAt >= kBarPaintMs) paintBar(dialog);
}

void showCopyFailure(HWND dialog, const char* path) {
    char text[sizeof kFailedText + kPathSize];
    joinText(text, {kFailedText, path});
    MessageBoxA(dialog, text, kStoppedCaption, MB_OK | MB_ICONEXCLAMATION);
}

// Everything up to the worker's start; false when the dialog has ended.
bool startCopy(HWND dialog) {
    programState.copyJob.finished = false;
    DWORD total = 0;
    if (!sumCopyListSizes(dialog, total)) {
        EndDialog(dialog, -1);
        return false;
    }
    // A drive whose free space cannot be told is not refused here; a disk that
    // fills up fails the copy instead.
    ULONGLONG freeBytes = 0;
    if (queryFreeSpace(programState.installFolder, freeBytes)) {
        const DWORD requiredMegabytes = total >> 20;
        const ULONGLONG freeMegabytes = freeBytes >> 20;
        if (requiredMegabytes > freeMegabytes) {
            char text[256];
            wsprintfA(text, kShortageText, requiredMegabytes, static_cast<DWORD>(freeMegabytes));
            MessageBoxA(dialog, text, kShortageCaption, MB_OK);
            EndDialog(dialog, -1);
            return false;
        }
    }
    // Every position is scaled by the total; the bar is looked up once, not
    // after every chunk.
    // The first position is painted at once.
    programState.progressBar = {GetDlgItem(dialog, IDC_PROGRESS_BAR), total, GetTickCount() - kBarPaintMs};
    SendMessageA(programState.progressBar.window, PBM_SETRANGE32, 0, barPosition(total, total));

    // Only the last level is made; a folder that cannot be made fails the copy
    // of its first file.
    if (!PathIsDirectoryA(programState.installFolder)) {
        (void)CreateDirectoryA(programState.installFolder, nullptr);
    }
    programState.copyJob.dialog = dialog;
    programState.copyJob.cancel.store(0, std::memory_order_relaxed);
    programState.copyJob.failedPath[0] = '\0';
    HANDLE worker = CreateThread(nullptr, 0, copyWorker, &programState.copyJob, 0, nullptr);
    if (worker == nullptr) {
        showCopyFailure(dialog, "");
        EndDialog(dialog, -1);
        return false;
    }
    // Nobody waits for the worker: its last act is the posted WM_COPY_DONE.
    CloseHandle(worker);
    return true;
}

}  // namespace

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        startCopy(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        // The dialog ends when the worker has stopped and says so.
        programState.copyJob.cancel.store(1, std::memory_order_relaxed);
        return TRUE;
    // Both private messages are handled here, so TRUE: they share their values
    // with DM_SETDEFID and DM_REPOSITION, which the dialog manager would
    // otherwise act on (a byte count as the default button's id, after every
    // chunk).
    case WM_COPY_PROGRESS:
        moveBar(dialog, static_cast<DWORD>(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam != kBarTimer) return FALSE;
        paintBar(dialog);
        return TRUE;
    case WM_COPY_DONE:
        programState.copyJob.finished = wParam == kCopyFinished;
        // The last position is on screen before anything says the copy ended.
        paintBar(dialog);
        if (wParam == kCopyCancelled) {
            MessageBoxA(dialog, kCancelledText, kStoppedCaption, MB_OK);
        } else if (wParam == kCopyFailed) {
            showCopyFailure(dialog, programState.copyJob.failedPath);
        }
        EndDialog(dialog, wParam == kCopyFinished ? 0 : -1);
        return TRUE;
    default:
        return FALSE;
    }
}
