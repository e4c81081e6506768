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
