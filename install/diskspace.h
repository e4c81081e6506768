// What the folder dialog and the progress dialog both measure: the size of the
// copy set and the free space of the install folder's drive.
#pragma once

#include <windows.h>

// Sums the sizes of the listed source files (the low 32 bits of each), up to
// 0xFFFFFFFF at most. While
// the description file or a listed file is missing the user is asked for the
// CD-ROM, owned by owner; false when the user cancels that prompt.
bool sumCopyListSizes(HWND owner, DWORD& totalBytes);

// Free bytes available to the caller on the drive of folder (its first three
// characters, "X:\"); false when they cannot be determined.
bool queryFreeSpace(const char* folder, ULONGLONG& freeBytes);
