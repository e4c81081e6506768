#include "install/folderdialog.h"

#include <shlobj.h>

#include "install/diskspace.h"
#include "install/progressdialog.h"
#include "res/resource.h"
#include "setupdata/installfolder.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

constexpr char kSpaceFormat[] = "空き容量  %lu [MB]    必要容量  %lu [MB]";
constexpr char kUnknownSpaceFormat[] = "空き容量  不明    必要容量  %lu [MB]";
constexpr char kBrowseTitleFormat[] = "指定されたフォルダに %s フォルダを作成してインストールします";
constexpr char kSucceededText[] = "正常にインストールが行われました。";

// Writes "空き容量 ... 必要容量 ..." for folder's drive and totalBytes into the
// space line.
void showSpaceText(HWND dialog, const char* folder) {
    const DWORD requiredMegabytes = programState.totalBytes >> 20;
    char text[128];
    ULONGLONG freeBytes = 0;
    if (queryFreeSpace(folder, freeBytes)) {
        wsprintfA(text, kSpaceFormat, static_cast<DWORD>(freeBytes >> 20), requiredMegabytes);
    } else {
        wsprintfA(text, kUnknownSpaceFormat, requiredMegabytes);
    }
    SetDlgItemTextA(dialog, IDC_SPACE, text);
}

// The browser's callback: opens on the caller's folder and lets OK confirm
// only a safe folder.
int CALLBACK browseCallback(HWND browser, UINT event, LPARAM value, LPARAM callerValue) {
    if (event == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, callerValue);
    } else if (event == BFFM_SELCHANGED) {
        char path[MAX_PATH];
        const bool safe = SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(value), path) &&
                          isSafeFolder(path, kBrowseRefusedAttributes);
        EnableWindow(GetDlgItem(browser, IDOK), safe ? TRUE : FALSE);
    }
    return 0;
}

// Runs the shell's folder browser from the drives, opening on installFolder.
// True when the user confirmed a folder that the safety rule accepts; it then
// stands in parent.
bool browseInstallFolder(HWND dialog, char (&parent)[kPathSize]) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return false;
    auto* path = static_cast<char*>(allocator->Alloc(kPathSize));
    if (path == nullptr) {
        allocator->Release();
        return false;
    }
    PIDLIST_ABSOLUTE drives = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(dialog, CSIDL_DRIVES, &drives))) {
        allocator->Free(path);
        allocator->Release();
        return false;
    }
    char title[256];
    formatTextCut(title, kBrowseTitleFormat, programState.defaultDirName);

    BROWSEINFOA browse = {};
    browse.hwndOwner = dialog;
    browse.pidlRoot = drives;
    browse.pszDisplayName = path;
    browse.lpszTitle = title;
    browse.ulFlags = 0;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(programState.installFolder);
    bool confirmed = false;
    if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse)) {
        confirmed = SHGetPathFromIDListA(chosen, path) != FALSE;
        allocator->Free(chosen);
    }
    // The browser may let OK confirm a folder its callback refused: the rule
    // is applied once more to what it returns.
    confirmed = confirmed && isSafeFolder(path, kBrowseRefusedAttributes) && copyText(parent, path);

    allocator->Free(drives);
    allocator->Free(path);
    allocator->Release();
    return confirmed;
}

// The folder and its space line; start is offered only with a folder to install into.
void showInstallFolder(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_INSTALL_FOLDER, programState.installFolder);
    showSpaceText(dialog, programState.installFolder);
    EnableWindow(GetDlgItem(dialog, IDOK), programState.installFolder[0] != '\0');
}

// parent + "\" (unless it ends in one) + DEFAULT_DIR becomes installFolder;
// false, and installFolder unchanged, when that does not fit.
bool takeBrowsedFolder(const char* parent) {
    char folder[kPathSize];
    // The parent passed the safety rule; the game's folder in it may be a link.
    if (!composeInstallFolder(parent, programState.defaultDirName, folder) || !followsNoLink(folder)) return false;
    return copyText(programState.installFolder, folder);
}

void install(HWND dialog) {
    if (programState.installFolder[0] == '\0') return;
    // The progress dialog has said why it stopped; this dialog stays open. Its
    // result alone proves nothing: a dialog destroyed from outside ends with 0
    // too, while the worker may still be copying.
    const INT_PTR result =
        DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), dialog, progressDialogProc, 0);
    if (result != 0 || !programState.copyJob.finished) return;
    char caption[kValueSize];
    readSetupString(kGameNameKey, caption);
    writeInstallRecord(programState.installFolder);
    MessageBoxA(dialog, kSucceededText, caption, MB_OK);
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK folderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        programState.totalBytes = 0;
        if (!sumCopyListSizes(dialog, programState.totalBytes)) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        readSetupString(kDefaultDirKey, programState.defaultDirName);
        // DEFAULT_DIR is the install folder's last level, one plain name: ".",
        // "..\X" or "NUL" would install elsewhere or nowhere. Without it, or
        // when the default does not fit, the folder stays empty and nothing
        // can be installed.
        programState.installFolder[0] = '\0';
        // Nor is a default reached through a link offered.
        if (isPlainName(programState.defaultDirName) &&
            composeDefaultInstallFolder(programState.defaultDirName, programState.installFolder) &&
            !followsNoLink(programState.installFolder)) {
            programState.installFolder[0] = '\0';
        }
        showInstallFolder(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            install(dialog);
            return FALSE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_BROWSE: {
            // No folder below the chosen one can be named then.
            if (!isPlainName(programState.defaultDirName)) return FALSE;
            char parent[kPathSize];
            if (browseInstallFolder(dialog, parent) && takeBrowsedFolder(parent)) showInstallFolder(dialog);
            return FALSE;
        }
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
