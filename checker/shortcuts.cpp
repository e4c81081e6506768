// The shortcut groups: what SETUP.EXE refuses, what does not fit, what the
// uninstaller leaves behind, and where the list ends.
#include <shlobj.h>

#include <cstring>

#include "checker/check.h"
#include "setupdata/pathrules.h"
#include "setupdata/setupfile.h"
#include "setupdata/shortcutpaths.h"
#include "setupdata/text.h"

namespace {

struct ShortcutWalk {
    Check& check;
    char programsFolder[kPathSize];
    char uninstalledKey[kKeySize];      // SHORTCATDIR_01
    char uninstalledFolder[kPathSize];  // its value: the only folder the uninstaller removes
    unsigned groups;
};

bool checkShortcut(const ShortcutEntry& group, void* context) {
    auto& walk = *static_cast<ShortcutWalk*>(context);
    Check& check = walk.check;
    walk.groups = group.index + 1;
    char folderKey[kKeySize];
    formatNumberedKey(NumberedKey::shortcutFolder, group.index, folderKey);
    if (!isAcceptedShortcutGroup(group, walk.programsFolder)) {
        // Which of the three the rule refuses.
        char nameKey[kKeySize];
        formatNumberedKey(NumberedKey::shortcutName, group.index, nameKey);
        if (!isAcceptableRelativePath(group.folder)) {
            error(check, "shortcut-folder", folderKey,
                  {"SETUP.EXE はこのフォルダを拒み、このショートカットを作りません "
                   "(空、「.」「..」、ドライブ、デバイス名、"
                   "使えない文字、末尾の「.」か空白、先頭・末尾・二重の「\\」)"});
        } else if (isPlainName(group.name)) {
            error(check, "shortcut-startup", folderKey,
                  {"スタートアップ フォルダです。ログオンのたびにゲームが起動してしまうため、"
                   "SETUP.EXE はこのショートカットを作りません"});
        } else {
            error(check, "shortcut-name", nameKey,
                  {"1 つのファイル名ではないため "
                   "(「\\」「/」「:」、「.」「..」、デバイス名、使えない文字、末尾の「.」か空白)、"
                   "SETUP.EXE はこのショートカットを作りません"});
        }
        return true;
    }
    if (!isNoData(walk.uninstalledFolder) && lstrcmpiA(group.folder, walk.uninstalledFolder) != 0) {
        warning(check, "uninstall-folder-differs", folderKey,
                {walk.uninstalledKey, " と違うフォルダです。アンインストールしてもこのフォルダは残ります"});
    }
    if (check.installFolder[0] == '\0') return true;

    char key[kKeySize];
    formatNumberedKey(NumberedKey::shortcutName, group.index, key);
    ShortcutPaths paths;
    if (!composeShortcutPaths(group, walk.programsFolder, check.installFolder, paths)) {
        error(check, "shortcut-too-long", key,
              {"ショートカットのパスが ", kLongestPath.text,
               " バイトを超えるため作られません (このコンピュータのプログラムフォルダ、インストール先 ",
               check.installFolder, ")"});
        return true;
    }
    ShortcutPaths deepPaths;
    if (check.deepInstallFolder[0] != '\0' &&
        !composeShortcutPaths(group, walk.programsFolder, check.deepInstallFolder, deepPaths)) {
        error(check, "shortcut-too-long", key,
              {"パスが ", number(kDeepParentLength).text,
               " バイトのフォルダの下にインストールすると、ショートカットのパスが ", kLongestPath.text,
               " バイトを超えて作られません"});
    }
    const size_t folderLength = std::strlen(check.installFolder) + 1;
    if (!holds(check.installedFiles, paths.target + folderLength)) {
        formatNumberedKey(NumberedKey::shortcutTarget, group.index, key);
        error(check, "shortcut-target", key,
              {paths.target + folderLength, " はコピー一覧がインストールするファイルにありません"});
    }
    if (group.hasIconFile && !holds(check.installedFiles, paths.icon + folderLength)) {
        formatNumberedKey(NumberedKey::shortcutIcon, group.index, key);
        error(check, "shortcut-icon", key,
              {"アイコンファイル ", paths.icon + folderLength, " はコピー一覧がインストールするファイルにありません"});
    }
    return true;
}

}  // namespace

void checkShortcuts(Check& check) {
    ShortcutWalk walk = {check, "", "", "", 0};
    // The links' length is judged by this computer's Programs folder.
    if (!SHGetSpecialFolderPathA(nullptr, walk.programsFolder, CSIDL_PROGRAMS, FALSE)) walk.programsFolder[0] = '\0';
    formatNumberedKey(NumberedKey::shortcutFolder, 1, walk.uninstalledKey);
    readSetupString(walk.uninstalledKey, walk.uninstalledFolder);
    walkShortcutList(checkShortcut, &walk);
    check.shortcutEnd = walk.groups;
    if (walk.groups > 0 && isNoData(walk.uninstalledFolder)) {
        error(check, "uninstall-folder", walk.uninstalledKey,
              {"ありません。アンインストールはこのキーのフォルダしか消さないため、ショートカットのフォルダが残ります"});
    }
}

// After the key scan: the group that ends the shortcut list, when it holds
// some of its three keys or later groups follow.
void checkShortcutListEnd(Check& check) {
    constexpr NumberedKey kGroupKeys[] = {NumberedKey::shortcutFolder, NumberedKey::shortcutName,
                                          NumberedKey::shortcutTarget};
    char missingKey[kKeySize] = "";
    unsigned present = 0;
    for (NumberedKey kind : kGroupKeys) {
        char key[kKeySize];
        char value[kPathSize];
        formatNumberedKey(kind, check.shortcutEnd, key);
        readSetupString(key, value);
        if (!isNoData(value)) {
            ++present;
        } else if (missingKey[0] == '\0') {
            copyText(missingKey, key);
        }
    }
    const char* later = check.shortcutKeysAfterEnd > 0 ? "。後の SHORTCAT キー " : "";
    const Number count = number(check.shortcutKeysAfterEnd);
    const char* laterCount = check.shortcutKeysAfterEnd > 0 ? count.text : "";
    const char* laterEnd = check.shortcutKeysAfterEnd > 0 ? " 個は読まれません" : "";
    if (present > 0) {
        error(check, "shortcut-incomplete", missingKey,
              {"ありません。フォルダ・名前・対象の 3 つが揃わないため、ショートカット一覧はここで終わります", later,
               laterCount, laterEnd});
    } else if (check.shortcutKeysAfterEnd > 0) {
        error(check, "shortcut-gap", missingKey,
              {"ありません。ショートカット一覧はここで終わります", later, laterCount, laterEnd});
    }
}
