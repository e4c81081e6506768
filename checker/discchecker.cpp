// The disc check's entry: opens the disc and runs the checks in order.
#include <windows.h>

#include "checker/check.h"
#include "report/disccheck.h"
#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/setupnames.h"
#include "setupdata/text.h"

// Whether every name of path after its first `from` bytes is spelled on the
// disc as written; onDisc gets the disc's spelling of those names.
bool spelledAsListed(const char* listedPath, size_t from, char (&onDisc)[kPathSize]) {
    char path[kPathSize];
    copyText(path, listedPath);
    onDisc[0] = '\0';
    bool same = true;
    char* component = path + from;
    for (char* p = component;; p = CharNextA(p)) {
        const char c = *p;
        if (c != '\0' && c != '\\') continue;  // CharNextA steps over double-byte characters whole
        if (p > component) {
            *p = '\0';
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA(path, &found);
            if (search == INVALID_HANDLE_VALUE) return true;
            FindClose(search);
            same = same && lstrcmpA(component, found.cFileName) == 0;
            char sofar[kPathSize];
            copyText(sofar, onDisc);
            joinText(onDisc, {sofar, sofar[0] != '\0' ? "\\" : "", found.cFileName});
            *p = c;
        }
        if (c == '\0') return same;
        component = p + 1;
    }
}

namespace {

// Whether the folder and its SETUP.INI can be read; says why not.
bool openDisc(Check& check, const char* discFolder) {
    if (!isFolder(discFolder) ||
        !joinText(check.programPath, {discFolder, endsInBackslash(discFolder) ? "" : "\\", kSetupProgramName}) ||
        !getProgramFolderOf(check.programPath, check.programFolder)) {
        error(check, "unreadable", discFolder, {"フォルダを読めません"});
        return false;
    }
    // SETUP.EXE reads the file named after itself.
    HANDLE file = deriveDescriptionPath(check.programPath)
                      ? CreateFileA(programState.descriptionPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        error(check, "unreadable", lastPathComponent(programState.descriptionPath),
              {"ないか、読めません。SETUP.EXE の説明ファイルです"});
        return false;
    }
    CloseHandle(file);
    return true;
}

}  // namespace

DiscVerdict checkDisc(const char* discFolder, FindingSink sink, void* context) {
    Check check = {};
    check.sink = sink;
    check.context = context;
    if (!openDisc(check, discFolder)) return DiscVerdict::unreadable;
    // Every other check would read names garbled by the wrong encoding and
    // report files and keys that are not what the publisher wrote.
    if (checkEncoding(check)) return DiscVerdict::checked;

    // Each step relies on those before it: the source folder decides whether
    // sources are checked; the install folders are what the copy walks
    // compose below; the copy walk gives the installed files that the game
    // program and the shortcuts must be among, and both walks give the ends
    // of their lists, which the key scan needs to count the keys past them
    // that the list-end checks report.
    checkSingleKeys(check);
    checkSourceFolder(check);
    checkInstallFolders(check);
    checkCopyList(check);
    checkGameProgram(check);
    checkShortcuts(check);
    walkSetupKeys(scanKey, &check);
    checkCopyListEnd(check);
    checkShortcutListEnd(check);
    checkPrograms(check);
    checkSignatures(check);
    checkSplashFiles(check);
    checkAutorun(check);
    return DiscVerdict::checked;
}
