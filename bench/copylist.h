// The copy list as the benchmark's own programs walk it: every COPYFILE_nnn
// entry read from the description file in turn, the folders of subfolder
// markers made below the target, and each file handed to the caller.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// copy(sourcePath, targetPath) returns false to stop the walk; so does this.
template <class Copy>
bool forEachCopiedFile(const std::string& setupFile, const std::string& sourceFolder, const std::string& targetFolder,
                       Copy copy) {
    std::string subfolder;
    for (unsigned index = 0;; ++index) {
        char key[32], entry[MAX_PATH];
        std::snprintf(key, sizeof key, "COPYFILE_%03u", index);
        GetPrivateProfileStringA("InstallInfo", key, "NoData", entry, sizeof entry, setupFile.c_str());
        if (lstrcmpA(entry, "NoData") == 0) return true;
        if (entry[0] == '\\') {
            subfolder = entry[1] != '\0' ? entry : "";
            if (!subfolder.empty()) CreateDirectoryA((targetFolder + subfolder).c_str(), nullptr);
        } else if (!copy(sourceFolder + "\\" + entry, targetFolder + subfolder + "\\" + entry)) {
            return false;
        }
    }
}
