#include "uninstall/uninstall.h"

#include <shlobj.h>

#include "res/messages.h"
#include "res/resource.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/shortcutpaths.h"
#include "setupdata/text.h"

namespace {

constexpr char kDeleteSavesText[] = "セーブファイルを削除しますか？";
constexpr char kDeleteSavesCaption[] = "確認";
constexpr char kLeftoversText[] =
    "インストールフォルダ内の全てのファイルを削除できませんでした\n"
    "残っているファイルの削除はエクスプローラなどから手作業で削除してください";
constexpr char kLeftoversCaption[] = "お知らせ";
constexpr char kUninstalledText[] = "アンインストールしました。";

constexpr unsigned kSaveFileCount = 100;  // SAVE00.DAT to SAVE99.DAT

struct LinkRemoval {
    const char* programsFolder;
    const char* folderName;  // SHORTCATDIR_01
    char folder[kPathSize];  // the Programs folder + "\" + folderName
};

// Deletes the link a group made in SHORTCATDIR_01's folder, as the installer
// named it: a group whose folder or name it refused made nothing.
bool removeGroupLink(const ShortcutEntry& group, void* context) {
    const auto& removal = *static_cast<const LinkRemoval*>(context);
    if (lstrcmpiA(group.folder, removal.folderName) != 0 || !isAcceptedShortcutGroup(group, removal.programsFolder))
        return true;
    char link[kPathSize];
    // A link already gone, or one that will not go, is simply left; nothing is
    // deleted through a link planted on the way.
    if (composeShortcutLink(removal.folder, group.name, link) && followsNoLink(link)) (void)DeleteFileA(link);
    return true;
}

// Deletes the links the shortcut list makes in SHORTCATDIR_01's folder, and
// then the folder if that left it empty. The folder may be shared with other
// programs or hold the user's own files: those stay, and the folder with them.
void removeShortcutFolder() {
    char programs[MAX_PATH];
    // Made when missing: a fresh Programs folder simply holds no shortcut folder.
    if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE)) return;

    // The folder of group 01, not 00: the one the uninstaller has always looked in.
    char key[kKeySize];
    formatNumberedKey(NumberedKey::shortcutFolder, 1, key);
    char name[kPathSize];
    readSetupString(key, name);
    // The installer made no link in a folder the rule refuses.
    if (isNoData(name) || !isAcceptableRelativePath(name)) return;

    LinkRemoval removal;
    removal.programsFolder = programs;
    removal.folderName = name;
    if (!joinText(removal.folder, {programs, "\\", name}) || isStartupFolder(removal.folder)) return;
    (void)walkShortcutList(removeGroupLink, &removal);                          // the visitor never stops it
    if (followsNoLink(removal.folder)) (void)RemoveDirectoryA(removal.folder);  // goes only when now empty
}

// The removal walk: each listed file is deleted, each reset marker removes the
// folder it closes. The walker hands no path for an entry that would reach
// outside the folder or does not fit, and such entries are passed over.
bool removeCopyEntry(const CopyEntry& entry, void* folder) {
    // Nothing is deleted through a link, nor a link itself: the install made none.
    if (entry.targetPath == nullptr || !followsNoLinkBelow(static_cast<const char*>(folder), entry.targetPath))
        return true;
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
        if (!joinText(path, {folder, "\\", name}) || !followsNoLinkBelow(folder, path)) continue;
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
    (void)walkCopyList(folder, removeCopyEntry, const_cast<char*>(folder));  // the visitor never stops it

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
            MessageBoxA(dialog, kNotInstalledText, kMessageCaption, MB_OK);
            EndDialog(dialog, -1);
            return FALSE;
        }
        // Without the text the user still sees the dialog and may cancel.
        (void)SetDlgItemTextA(dialog, IDC_UNINSTALL_FOLDER, programState.recordedFolder);
        // On the first tab stop, the uninstall button, one Enter would uninstall.
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            removeInstalledCopy(dialog, programState.recordedFolder);
            char gameName[kValueSize];
            readSetupString(kGameNameKey, gameName);
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
