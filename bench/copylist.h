// The copy list as the benchmark's own programs walk it: every COPYFILE_nnn
// entry read from the description file in turn.
#pragma once

#include <windows.h>

#include <string>

#include "setupdata/setupfile.h"

// visit(entry) gets each entry as the file holds it and returns false to stop
// the walk; so does this.
template <class Visit>
bool forEachCopyEntry(const std::string& setupFile, Visit visit) {
    for (unsigned index = 0;; ++index) {
        char key[kKeySize], entry[MAX_PATH];
        formatNumberedKey(NumberedKey::copyFile, index, key);
        GetPrivateProfileStringA(kSetupSection, key, kNoData, entry, sizeof entry, setupFile.c_str());
        if (lstrcmpA(entry, kNoData) == 0) return true;
        if (!visit(std::string(entry))) return false;
    }
}

// The folders of subfolder markers are made below the target, and each file
// is handed to copy(sourcePath, targetPath).
template <class Copy>
bool forEachCopiedFile(const std::string& setupFile, const std::string& sourceFolder, const std::string& targetFolder,
                       Copy copy) {
    std::string subfolder;
    return forEachCopyEntry(setupFile, [&](const std::string& entry) {
        if (entry[0] != kResetMarker[0])
            return copy(sourceFolder + "\\" + entry, targetFolder + subfolder + "\\" + entry);
        subfolder = entry != kResetMarker ? entry : "";
        if (!subfolder.empty()) CreateDirectoryA((targetFolder + subfolder).c_str(), nullptr);
        return true;
    });
}
