#include "uninstall/uninstall.h"

#include <shlobj.h>

#include <cstring>

#include "app/state.h"
#include "res/resource.h"
#include "setupdata/installrecord.h"
#include "setupdata/safefolder.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

constexpr char kNotInstalledCaption[] = "SETUP";
constexpr char kDeleteSavesText[] = "セーブファイルを削除しますか？";
constexpr char kDeleteSavesCaption[] = "確認";
constexpr char kLeftoversText[] =
    "インストールフォルダ内の全てのファイルを削除できませんでした\n"
    "残っているファイルの削除はエクスプローラなどから手作業で削除してください";
constexpr char kLeftoversCaption[] = "お知らせ";
constexpr char kUninstalledText[] = "アンインストールしました。";

constexpr unsigned kSaveFileCount = 100;  // SAVE00.DAT to SAVE99.DAT

// Deletes every file directly in the Programs folder's shortcut folder named by
// SHORTCATDIR_01, whoever made it, and then the folder if that left it empty.
// Subfolders and their contents stay.
void removeShortcutFolder() {
    char programs[MAX_PATH];
    // Made when missing: a fresh Programs folder simply holds no shortcut folder.
    if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE)) return;

    char name[kPathSize];
    readSetupString("SHORTCATDIR_01", name);
    // An empty name, "..", or a drive would point at the Programs folder
    // itself or outside it.
    if (isNoData(name) || !isAcceptableRelativePath(name)) return;

    char folder[kPathSize];
    char pattern[kPathSize];
    if (!joinText(folder, {programs, "\\", name}) || !joinText(pattern, {folder, "\\*.*"})) return;

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            char file[kPathSize];
            // A file that cannot be named in full is left alone.
            if (!joinText(file, {folder, "\\", found.cFileName})) continue;
            (void)DeleteFileA(file);  // a file that will not go is simply left
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    (void)RemoveDirectoryA(folder);  // goes only when now empty
}

// The removal walk: each listed file is deleted, each reset marker removes the
// folder it closes. The walker hands no path for an entry that would reach
// outside the folder or does not fit, and such entries are passed over.
bool removeCopyEntry(const CopyEntry& entry, void*) {
    if (entry.targetPath == nullptr) return true;
    // Files already gone and folders not yet empty are no error.
    if (entry.kind == CopyEntryKind::file) {
        (void)DeleteFileA(entry.targetPath);
    } else if (entry.kind == CopyEntryKind::resetMarker) {
        (void)RemoveDirectoryA(entry.targetPath);
    }
    return true;
}

// SAVE00.DAT to SAVE99.DAT and then the folder; the user hears of it only when
// the folder stays.
void removeSaveFilesAndFolder(HWND owner, const char* folder) {
    for (unsigned number = 0; number < kSaveFileCount; ++number) {
        char name[16];
        wsprintfA(name, "SAVE%02u.DAT", number);
        char path[kPathSize];
        if (!joinText(path, {folder, "\\", name})) continue;
        (void)DeleteFileA(path);  // most save slots were never used
    }
    if (!RemoveDirectoryA(folder)) {
        MessageBoxA(owner, kLeftoversText, kLeftoversCaption, MB_OK);
    }
}

// Reads the install record into recordedFolder; false when it is missing or
// its folder no longer passes the safety rule the launcher applied (the
// record may have changed since).
bool readRecordedFolder() {
    readInstallRecord(programState.recordedFolder);
    return !isNoData(programState.recordedFolder) &&
           isSafeFolder(programState.recordedFolder, kInstalledRefusedAttributes);
}

}  // namespace

void removeInstalledCopy(HWND owner, const char* folder) {
    removeShortcutFolder();
    (void)walkCopyList(folder, removeCopyEntry, nullptr);  // the visitor never stops it

    if (MessageBoxA(owner, kDeleteSavesText, kDeleteSavesCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
        IDYES) {
        removeSaveFilesAndFolder(owner, folder);
    }
    // Whatever was left, the launcher must not offer this copy again.
    deleteInstallRecord();
}

INT_PTR CALLBACK uninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!readRecordedFolder()) {
            MessageBoxA(dialog, kNotInstalledText, kNotInstalledCaption, MB_OK);
            EndDialog(dialog, -1);
            return FALSE;
        }
        // Without the text the user still sees the dialog and may cancel.
        (void)SetDlgItemTextA(dialog, kUninstallFolderText, programState.recordedFolder);
        return TRUE;  // the dialog manager places the focus
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            removeInstalledCopy(dialog, programState.recordedFolder);
            char gameName[256];
            readSetupString("GAME_NAME", gameName);
            MessageBoxA(dialog, kUninstalledText, gameName, MB_OK);
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
