#include "install/diskspace.h"

#include <shlwapi.h>

#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"

namespace {

constexpr char kInsertDiscText[] = "ＣＤ－ＲＯＭを入れて下さい";
constexpr char kInsertDiscCaption[] = "ディスクの交換";

struct SizeWalk {
    HWND owner;
    DWORD total;
};

// Asks for the disc while path is not there; false when the user cancels.
bool askForDiscWhileMissing(HWND owner, const char* path) {
    while (!PathFileExistsA(path)) {
        if (MessageBoxA(owner, kInsertDiscText, kInsertDiscCaption, MB_OKCANCEL) == IDCANCEL) return false;
    }
    return true;
}

bool addSourceSize(const CopyEntry& entry, void* context) {
    auto& walk = *static_cast<SizeWalk*>(context);
    // Markers add nothing; an entry the walker refuses, or whose source path
    // does not fit, counts nothing here, is not asked for, and fails the copy.
    if (entry.kind != CopyEntryKind::file || entry.sourcePath == nullptr) return true;
    if (!askForDiscWhileMissing(walk.owner, entry.sourcePath)) return false;
    HANDLE file =
        CreateFileA(entry.sourcePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;  // there but not readable: adds nothing
    const DWORD size = GetFileSize(file, nullptr);  // the low 32 bits
    CloseHandle(file);
    // The sum stops at the largest 32-bit value rather than wrap round to a
    // small one that any drive has room for.
    walk.total = size > 0xFFFFFFFFu - walk.total ? 0xFFFFFFFFu : walk.total + size;
    return true;
}

}  // namespace

bool sumCopyListSizes(HWND owner, DWORD& totalBytes) {
    // The description file lies on the disc too: with the disc out the list
    // would read as empty, and nothing would be copied.
    if (!askForDiscWhileMissing(owner, programState.descriptionPath)) return false;
    SizeWalk walk = {owner, 0};
    if (!walkCopyList(nullptr, addSourceSize, &walk)) return false;
    totalBytes = walk.total;
    return true;
}

bool queryFreeSpace(const char* folder, ULONGLONG& freeBytes) {
    if (folder[0] == '\0' || folder[1] != ':' || folder[2] != '\\') return false;
    const char root[4] = {folder[0], ':', '\\', '\0'};

    // Looked up at run time: systems before the extended call have only the
    // cluster-based one.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    const auto freeSpaceEx = reinterpret_cast<FreeSpaceEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
    if (freeSpaceEx != nullptr) {
        ULARGE_INTEGER available;
        ULARGE_INTEGER total;
        if (!freeSpaceEx(root, &available, &total, nullptr)) return false;
        freeBytes = available.QuadPart;
        return true;
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD clusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return false;
    freeBytes = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters;
    return true;
}
