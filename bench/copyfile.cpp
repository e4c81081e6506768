// The platform's own copy under the same Wine: CopyFileA for every file of the
// description file's copy list, into the folders its markers name.
//
//   copyfile.exe SETUP.INI SOURCE_FOLDER TARGET_FOLDER
//
// Prints the seconds the copies took.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string setupFile = argv[1], sourceFolder = argv[2], targetFolder = argv[3];
    LARGE_INTEGER frequency, started, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    CreateDirectoryA(targetFolder.c_str(), nullptr);
    std::string subfolder;
    for (unsigned index = 0;; ++index) {
        char key[32], entry[MAX_PATH];
        std::snprintf(key, sizeof key, "COPYFILE_%03u", index);
        GetPrivateProfileStringA("InstallInfo", key, "NoData", entry, sizeof entry, setupFile.c_str());
        if (lstrcmpA(entry, "NoData") == 0) break;
        if (entry[0] == '\\') {
            subfolder = entry[1] != '\0' ? entry : "";
            if (!subfolder.empty()) CreateDirectoryA((targetFolder + subfolder).c_str(), nullptr);
            continue;
        }
        if (!CopyFileA((sourceFolder + "\\" + entry).c_str(), (targetFolder + subfolder + "\\" + entry).c_str(), FALSE))
            return 1;
    }
    QueryPerformanceCounter(&finished);
    std::printf("%.3f\n", static_cast<double>(finished.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}
