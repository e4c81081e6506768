// SETUPCHK.EXE [--json] [DISC_FOLDER]: checks a disc layout before it is
// pressed. One line per finding in the console's code page and a summary, or
// the same as JSON in UTF-8. Exit code 0 without errors, 1 with errors, 2 when
// the folder or its SETUP.INI cannot be read.
#include <windows.h>

#include "report/console.h"
#include "report/disccheck.h"
#include "setupdata/setupfile.h"

namespace {

constexpr char kUsage[] =
    "使い方: SETUPCHK.EXE [--json] [ディスクのフォルダ]\r\n"
    "フォルダを省くと SETUPCHK.EXE のあるフォルダを調べます。\r\n";

}  // namespace

int main() {
    Report report = openReport("SETUPCHK");
    int count = 0;
    wchar_t** arguments = readArguments(count);
    const wchar_t* folderArgument = nullptr;
    bool help = false;
    bool usageError = arguments == nullptr;
    for (int i = 1; i < count; ++i) {
        if (takeReportOption(arguments[i], report, help)) continue;
        if (arguments[i][0] == L'-' || folderArgument != nullptr) {
            usageError = true;
        } else {
            folderArgument = arguments[i];
        }
    }
    if (help || usageError) {
        printUsage(report, kUsage, usageError);
        return usageError ? kExitUnusable : kExitClean;
    }

    // A folder that cannot be named in full stays empty and reads as unreadable.
    char folder[kPathSize] = "";
    char given[kPathSize];
    if (folderArgument == nullptr) {
        (void)getProgramFolder(folder);
    } else if (toAnsiText(folderArgument, given)) {
        const DWORD length = GetFullPathNameA(given, kPathSize, folder, nullptr);
        if (length == 0 || length >= kPathSize) folder[0] = '\0';
    }
    LocalFree(arguments);

    beginReport(report, folder);
    const DiscVerdict verdict = checkDisc(folder, printFinding, &report);
    return finishReport(report, verdict == DiscVerdict::unreadable);
}
