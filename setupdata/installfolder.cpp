#include "setupdata/installfolder.h"

#include <windows.h>

#include "setupdata/text.h"

bool composeDefaultInstallFolder(const char* defaultDirName, char (&folder)[kPathSize]) {
    char windowsDirectory[kPathSize];
    const UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
    char* backslash = length < sizeof windowsDirectory ? findFirstBackslash(windowsDirectory) : nullptr;
    if (backslash == nullptr) {
        folder[0] = '\0';
        return false;
    }
    backslash[1] = '\0';
    return joinText(folder, {windowsDirectory, "Program Files\\", defaultDirName});
}

bool composeInstallFolder(const char* parent, const char* defaultDirName, char (&folder)[kPathSize]) {
    return joinText(folder, {parent, endsInBackslash(parent) ? "" : "\\", defaultDirName});
}
