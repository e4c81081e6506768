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

// Whether a path taken relative to a folder stays inside it: false when it
// holds a ":" (a drive or a stream name) or a component of dots only that
// climbs out (".." and the "..." and ".. " forms Windows reads as ".."). "\"
// and "/" both separate components; the second byte of a double-byte
// character never does.
bool staysInsideFolder(const char* relativePath);

// The rule for a SHORTCATDIR value: a folder strictly below the Start menu's
// Programs folder. An empty value would name the Programs folder itself.
bool isSafeShortcutFolder(const char* folderName);
