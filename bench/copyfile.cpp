// The platform's own copy under the same Wine: CopyFileA for every file of the
// description file's copy list, into the folders its markers name.
//
//   copyfile.exe SETUP.INI SOURCE_FOLDER TARGET_FOLDER
//
// Prints the seconds the copies took.
#include <windows.h>

#include <cstdio>
#include <string>

#include "copylist.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string setupFile = argv[1], sourceFolder = argv[2], targetFolder = argv[3];
    LARGE_INTEGER frequency, started, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    CreateDirectoryA(targetFolder.c_str(), nullptr);
    const auto copy = [](const std::string& from, const std::string& to) {
        return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
    };
    const bool copied = forEachCopiedFile(setupFile, sourceFolder, targetFolder, copy);
    if (!copied) return 1;
    QueryPerformanceCounter(&finished);
    std::printf("%.3f\n", static_cast<double>(finished.QuadPart - started.QuadPart) / frequency.QuadPart);
    return 0;
}
