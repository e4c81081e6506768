#include "install/copyworker.h"

#include <cstring>

#include "install/directsound.h"
#include "install/shortcuts.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

constexpr DWORD kStartDelayMs = 500;

enum class Outcome { goOn, cancelled, failed };

struct CopyRun {
    CopyJob* job;
    HWND dialog;
    BYTE* buffer;
    DWORD bytesCopied;
    Outcome outcome;
};

bool cancelRequested(const CopyRun& run) { return run.job->cancel.load(std::memory_order_relaxed) != 0; }

bool fail(CopyRun& run, const char* path) {
    copyTextCut(run.job->failedPath, path);
    run.outcome = Outcome::failed;
    return false;
}

// Copies one file in chunks, times first. False when it failed or the user
// cancelled; run.outcome says which.
bool copyFile(CopyRun& run, const char* sourcePath, const char* targetPath) {
    HANDLE source = CreateFileA(sourcePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) return fail(run, sourcePath);
    HANDLE target = CreateFileA(targetPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        CloseHandle(source);
        return fail(run, targetPath);
    }
    // The source's times go on before any data. File systems that move the
    // last-write time on every write (Wine's, network shares) get them once
    // more after the last chunk. Times that cannot be set leave the copy as
    // good as it is.
    FILETIME created;
    FILETIME written;
    const bool haveTimes = GetFileTime(source, &created, nullptr, &written) != FALSE;
    if (haveTimes) (void)SetFileTime(target, &created, nullptr, &written);

    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, run.buffer, kCopyChunkSize, &read, nullptr)) {
            ok = fail(run, sourcePath);
            break;
        }
        DWORD wrote = 0;
        // A write of fewer bytes than were read is a full disk.
        if (!WriteFile(target, run.buffer, read, &wrote, nullptr) || wrote != read) {
            ok = fail(run, targetPath);
            break;
        }
        run.bytesCopied += read;
        SendMessageA(run.dialog, WM_COPY_PROGRESS, run.bytesCopied, 0);
        if (cancelRequested(run) || read != kCopyChunkSize) break;
    }
    if (ok && haveTimes) (void)SetFileTime(target, &created, nullptr, &written);
    CloseHandle(target);
    CloseHandle(source);
    if (ok && cancelRequested(run)) {
        run.outcome = Outcome::cancelled;
        ok = false;
    }
    return ok;
}

bool copyEntry(const CopyEntry& entry, void* context) {
    auto& run = *static_cast<CopyRun*>(context);
    switch (entry.kind) {
    case CopyEntryKind::subfolderMarker:
        if (entry.targetPath == nullptr) return fail(run, entry.value);
        // An existing folder is as good as a new one, but not a link to one,
        // nor one below a link: the copy would go wherever it leads.
        if (!followsNoLinkBelow(programState.installFolder, entry.targetPath) ||
            (!CreateDirectoryA(entry.targetPath, nullptr) && !isFolder(entry.targetPath)))
            return fail(run, entry.targetPath);
        return true;
    case CopyEntryKind::resetMarker:
        return true;  // the walker starts the next files in the install folder itself
    case CopyEntryKind::file:
        if (entry.sourcePath == nullptr || entry.targetPath == nullptr) return fail(run, entry.value);
        if (!followsNoLinkBelow(programState.installFolder, entry.targetPath)) return fail(run, entry.targetPath);
        return copyFile(run, entry.sourcePath, entry.targetPath);
    }
    return true;
}

}  // namespace

DWORD WINAPI copyWorker(void* parameter) {
    Sleep(kStartDelayMs);
    CopyRun run = {static_cast<CopyJob*>(parameter), nullptr, nullptr, 0, Outcome::goOn};
    run.dialog = run.job->dialog;
    run.job->failedPath[0] = '\0';

    // One buffer for the whole install, reused for every file and chunk.
    run.buffer = static_cast<BYTE*>(GlobalAlloc(GPTR, kCopyChunkSize));
    if (run.buffer == nullptr) {
        run.outcome = Outcome::failed;
    } else if (!followsNoLink(programState.installFolder)) {
        // Checked when it was chosen, and again now that it has been made.
        fail(run, programState.installFolder);
        GlobalFree(run.buffer);
    } else {
        walkCopyList(programState.installFolder, copyEntry, &run);
        GlobalFree(run.buffer);
    }

    if (run.outcome == Outcome::goOn) {
        makeStartMenuShortcuts(run.dialog);
        offerDirectSound(run.dialog);
        PostMessageA(run.dialog, WM_COPY_DONE, kCopyFinished, 0);
        return 0;
    }
    // Files and folders made so far stay; the shortcuts and the runtime offer
    // belong to a finished copy only.
    if (run.outcome == Outcome::cancelled) {
        PostMessageA(run.dialog, WM_COPY_DONE, kCopyCancelled, 0);
        return 0xFFFFFFFF;
    }
    PostMessageA(run.dialog, WM_COPY_DONE, kCopyFailed, 0);
    return 1;
}
