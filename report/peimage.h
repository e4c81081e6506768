// What the checker reads from the programs on a disc: a PE file's machine and
// kind, and which ordinals a library exports.
#pragma once

#include <windows.h>

struct PeHeaders {
    WORD machine;  // IMAGE_FILE_MACHINE_I386 for the 32-bit program
    WORD magic;    // IMAGE_NT_OPTIONAL_HDR32_MAGIC for PE32
    bool isDll;
};

// False when the file cannot be read or is no PE file.
bool readPeHeaders(const char* path, PeHeaders& headers);

// Whether the PE file at path exports ordinal.
bool peExportsOrdinal(const char* path, WORD ordinal);

// How many icons the shell finds in a file (a program, a library or an icon
// file), as it shows a drive's or a file's icon; 0 when none or unreadable.
UINT iconCount(const wchar_t* path);
