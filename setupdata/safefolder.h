// The folder safety rule: where the game may be installed, and from where the
// uninstaller may delete files.
#pragma once

#include <windows.h>

// Attribute masks of the two users of the rule.
constexpr DWORD kBrowseRefusedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kInstalledRefusedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// True when path is a drive-letter path outside the Windows directory, on a
// fixed (or unknown) drive, readable, without any of refusedAttributes, and
// not named like the Administrative Tools folder.
bool isSafeFolder(const char* path, DWORD refusedAttributes);

// The position in path just after its last "\", "/" or ":" (double-byte
// aware); the start of path when it has none, its terminator when it ends in one.
const char* lastPathComponent(const char* path);
