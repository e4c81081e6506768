// The description file's keys: each single key, COPYDIR and its folder,
// DEFAULT_DIR and the install folders, EXE_NAME, and every key SETUP.EXE never
// reads.
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "checker/check.h"
#include "setupdata/installfolder.h"
#include "setupdata/installrecord.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/setupnames.h"
#include "setupdata/text.h"

namespace {

// Values are read this long to tell a value that the program cuts.
constexpr unsigned kLongValue = 1024;

// Reports a key that is missing, or longer than the program reads it.
// Returns whether it is present.
bool checkKey(Check& check, const char* key, unsigned limit, const char* whenMissing) {
    char value[kLongValue];
    readSetupString(key, value, sizeof value);
    if (isNoData(value)) {
        error(check, "missing-key", key, {"ありません。", whenMissing});
        return false;
    }
    const size_t length = std::strlen(value);
    if (length >= limit) {
        error(check, "too-long", key,
              {number(static_cast<unsigned long>(length)).text, " バイトあります。SETUP.EXE はこのキーを ",
               number(limit - 1).text, " バイトまでしか読みません"});
    }
    return true;
}

}  // namespace

void checkSingleKeys(Check& check) {
    checkKey(check, kGameNameKey, sizeof programState.gameName, "SETUP.EXE は初期化に失敗して終わります");
    checkKey(check, kExeNameKey, kPathSize, "ゲームを起動できません");
    checkKey(check, kDefaultDirKey, sizeof programState.defaultDirName,
             "インストール先のフォルダ名が「NoData」になります");
    if (!checkKey(check, kRegNameKey, kLongValue,
                  "インストール済みのゲームが見つからず、実行もアンインストールもできません")) {
        return;
    }
    char regName[kLongValue];
    readSetupString(kRegNameKey, regName);
    if (!isNoData(regName) && std::strlen(regName) <= kMaxRegName && namesSharedRegistryKey(regName)) {
        error(check, "reg-name-shared", kRegNameKey,
              {"HKEY_CURRENT_USER\\Software\\", regName,
               " はシステムか他のプログラムのキーを指すため、SETUP.EXE は無いものとして扱います。"
               "インストールの記録は残らず、インストール済みのゲームも見つかりません"});
    } else if (!buildRegistrySubKey()) {
        error(check, "reg-name", kRegNameKey,
              {"空か ", number(kMaxRegName).text,
               " バイトを超えるため、SETUP.EXE は無いものとして扱います。インストール済みのゲームが見つかりません"});
    }
}

// COPYDIR and the source folder it names; the sources are checked one by one
// only when this holds, so that one mistake here is told once.
void checkSourceFolder(Check& check) {
    char copyDir[kPathSize];
    readSetupString(kCopyDirKey, copyDir);
    check.sourcesCheckable = false;
    if (!isNoData(copyDir) && copyDir[0] != '\0' && !endsInBackslash(copyDir)) {
        error(check, "copydir", kCopyDirKey,
              {"「\\」で終わっていません。ファイル名がそのまま続き (", copyDir,
               "GAME.EXE のように)、どのファイルも見つかりません"});
    } else if (!getSourceFolderOf(check.programFolder, check.sourceFolder)) {
        error(check, "copydir", kCopyDirKey, {"コピー元フォルダのパスが ", kLongestPath.text, " バイトを超えます"});
    } else if (!isFolder(check.sourceFolder)) {
        error(check, "copydir", kCopyDirKey, {"コピー元フォルダ ", copyDir, " がディスクにありません"});
    } else {
        check.sourcesCheckable = true;
        char onDisc[kPathSize];
        if (!spelledAsListed(check.sourceFolder, std::strlen(check.programFolder), onDisc)) {
            warning(check, "case-mismatch", kCopyDirKey,
                    {"ディスク上の名前は ", onDisc, " で、大文字と小文字が違います"});
        }
    }
}

namespace {

// The numbered families' names without their digits: "COPYFILE_", "SHORTCATDIR_", ...
void numberedKeyPrefix(NumberedKey kind, char (&prefix)[kKeySize]) {
    formatNumberedKey(kind, 0, prefix);
    char* end = prefix + std::strlen(prefix);
    while (end > prefix && end[-1] >= '0' && end[-1] <= '9') --end;
    *end = '\0';
}

// Whether typed is known spelt with one slip: two neighbouring letters
// swapped, one letter dropped or one doubled.
bool isOneSlipFrom(const std::string& typed, const std::string& known) {
    if (typed.size() == known.size()) {
        size_t i = 0;
        while (i < typed.size() && typed[i] == known[i]) ++i;
        return i + 1 < typed.size() && typed[i] == known[i + 1] && typed[i + 1] == known[i] &&
               typed.compare(i + 2, std::string::npos, known, i + 2, std::string::npos) == 0;
    }
    const std::string& longer = typed.size() > known.size() ? typed : known;
    const std::string& shorter = typed.size() > known.size() ? known : typed;
    if (longer.size() != shorter.size() + 1) return false;
    size_t i = 0;
    while (i < shorter.size() && longer[i] == shorter[i]) ++i;
    // A doubled letter repeats its neighbour; a dropped one may be any.
    const bool doubled = typed.size() > known.size();
    if (doubled && !((i > 0 && longer[i] == longer[i - 1]) || (i + 1 < longer.size() && longer[i] == longer[i + 1])))
        return false;
    return longer.compare(i + 1, std::string::npos, shorter, i, std::string::npos) == 0;
}

// Whether typed is known, or known with one slip, once the English spellings
// of the two words the file spells its own way are put back.
bool isCloseTo(const char* typedKey, const std::string& known) {
    std::string typed(typedKey);
    for (char& c : typed) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const auto& [english, own] :
         {std::pair<const char*, const char*>{"SHORTCUT", "SHORTCAT"}, {"DESCRIPT", "DISCRIPT"}}) {
        const size_t at = typed.find(english);
        if (at != std::string::npos) typed.replace(at, std::strlen(english), own);
    }
    return typed == known || isOneSlipFrom(typed, known);
}

// The known key that key is a slip of, or false.
bool suggestKey(const char* key, char (&suggestion)[kKeySize]) {
    for (const char* single : kSingleKeys) {
        if (isCloseTo(key, single)) return copyText(suggestion, single);
    }
    const char* digits = key + std::strlen(key);
    while (digits > key && digits[-1] >= '0' && digits[-1] <= '9') --digits;
    if (*digits == '\0' || std::strlen(digits) >= 10) return false;
    const std::string prefix(key, digits);
    for (NumberedKey kind : kNumberedKeys) {
        char familyPrefix[kKeySize];
        numberedKeyPrefix(kind, familyPrefix);
        if (isCloseTo(prefix.c_str(), familyPrefix)) {
            formatNumberedKey(kind, static_cast<unsigned>(StrToIntA(digits)), suggestion);
            return true;
        }
    }
    return false;
}

}  // namespace

void scanKey(const char* key, void* context) {
    auto& check = *static_cast<Check*>(context);
    for (const char* single : kSingleKeys) {
        if (lstrcmpiA(key, single) == 0) return;
    }
    const char* digits = key + std::strlen(key);
    while (digits > key && digits[-1] >= '0' && digits[-1] <= '9') --digits;
    char prefix[kKeySize];
    const bool numbered = *digits != '\0' && static_cast<size_t>(digits - key) < sizeof prefix;
    if (numbered) lstrcpynA(prefix, key, static_cast<int>(digits - key) + 1);

    for (NumberedKey kind : kNumberedKeys) {
        char familyPrefix[kKeySize];
        numberedKeyPrefix(kind, familyPrefix);
        if (!numbered || lstrcmpiA(prefix, familyPrefix) != 0) continue;
        // Ten digits or more never name an index the walks reach.
        const bool reachable = std::strlen(digits) < 10;
        const unsigned index = reachable ? static_cast<unsigned>(StrToIntA(digits)) : 0;
        char canonical[kKeySize];
        formatNumberedKey(kind, index, canonical);
        if (!reachable || lstrcmpiA(key, canonical) != 0) {
            error(check, "key-never-read", key,
                  {"SETUP.EXE はこのキーを読みません。番号は ", canonical, " の形で書きます"});
        } else if (kind == NumberedKey::copyFile) {
            if (index > check.copyEnd) ++check.copyKeysAfterEnd;
        } else if (index > check.shortcutEnd) {
            ++check.shortcutKeysAfterEnd;
        }
        return;
    }
    char suggestion[kKeySize];
    if (suggestKey(key, suggestion)) {
        warning(check, "unknown-key", key, {"SETUP.EXE はこのキーを読みません。", suggestion, " のことですか?"});
    } else {
        warning(check, "unknown-key", key, {"SETUP.EXE はこのキーを読みません"});
    }
}

namespace {

// Whether name is one of the folders Windows itself keeps below Program Files
// (its own programs, and the files programs share), in any case.
bool namesWindowsProgramFolder(const char* name) {
    static constexpr const char* kWindowsFolders[] = {"Common Files",
                                                      "Internet Explorer",
                                                      "Microsoft.NET",
                                                      "ModifiableWindowsApps",
                                                      "MSBuild",
                                                      "Reference Assemblies",
                                                      "Uninstall Information",
                                                      "Windows Defender",
                                                      "Windows Defender Advanced Threat Protection",
                                                      "Windows Journal",
                                                      "Windows Mail",
                                                      "Windows Media Player",
                                                      "Windows Multimedia Platform",
                                                      "Windows NT",
                                                      "Windows Photo Viewer",
                                                      "Windows Portable Devices",
                                                      "Windows Security",
                                                      "Windows Sidebar",
                                                      "WindowsApps",
                                                      "WindowsPowerShell"};
    for (const char* folder : kWindowsFolders) {
        if (lstrcmpiA(name, folder) == 0) return true;
    }
    return false;
}

}  // namespace

void checkInstallFolders(Check& check) {
    readSetupString(kDefaultDirKey, check.defaultDirName);
    if (namesWindowsProgramFolder(check.defaultDirName)) {
        error(check, "default-dir-windows", kDefaultDirKey,
              {check.defaultDirName,
               " は Windows が Program Files の下に持つフォルダです。"
               "インストールは他のプログラムのファイルを上書きし、アンインストールはそれを消します"});
    }
    char deepParent[kDeepParentLength + 1] = "C:\\";
    std::memset(deepParent + 3, 'D', kDeepParentLength - 3);
    deepParent[kDeepParentLength] = '\0';
    if (!isPlainName(check.defaultDirName)) {
        error(check, "default-dir", kDefaultDirKey,
              {"1 つのフォルダ名ではないため "
               "(空、「.」「..」、「\\」「/」「:」、デバイス名、使えない文字、末尾の「.」か空白)、"
               "SETUP.EXE はインストール先を空にし、インストールできません"});
        check.installFolder[0] = '\0';
        check.deepInstallFolder[0] = '\0';
    } else if (!composeDefaultInstallFolder(check.defaultDirName, check.installFolder)) {
        error(check, "install-folder-too-long", kDefaultDirKey,
              {"既定のインストール先が ", kLongestPath.text, " バイトを超えます"});
        check.deepInstallFolder[0] = '\0';
    } else if (!composeInstallFolder(deepParent, check.defaultDirName, check.deepInstallFolder)) {
        error(check, "install-folder-too-long", kDefaultDirKey,
              {"パスが ", number(kDeepParentLength).text, " バイトのフォルダの下に作るインストール先が ",
               kLongestPath.text, " バイトを超えます"});
    }
}

void checkGameProgram(Check& check) {
    char exeName[kPathSize];
    readSetupString(kExeNameKey, exeName);
    if (isNoData(exeName)) return;
    // The game is started with its path as the application name: the system
    // neither adds ".EXE" nor splits arguments off at a blank.
    const char* blank = std::strchr(exeName, ' ');
    const char* extension = std::strrchr(lastPathComponent(exeName), '.');
    if (blank != nullptr && blank[std::strspn(blank, " ")] != '\0') {
        warning(check, "exe-arguments", kExeNameKey,
                {"空白の後に続きがありますが、引数としては渡されず、名前の一部としてそのまま起動されます"});
        return;
    }
    if (extension == nullptr || extension[1] == '\0') {
        warning(check, "exe-extension", kExeNameKey, {"拡張子がありません。「.EXE」は補われず、起動できません"});
        return;
    }
    if (check.installFolder[0] == '\0') return;
    if (!holds(check.installedFiles, exeName)) {
        error(check, "exe-not-installed", kExeNameKey,
              {exeName, " はコピー一覧がインストールするファイルにありません"});
    }
}
