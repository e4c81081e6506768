// The rules for every name and path that a disc's description file or the
// install record puts into a path: the folder safety rule (where the game may
// be installed, and from where the uninstaller may delete files), the plain
// name and relative path rules, and the copy list's containment rule.
#pragma once

#include <windows.h>

// Attribute masks of the two users of the rule.
constexpr DWORD kBrowseRefusedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kInstalledRefusedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// True when path is a drive-letter path in its full form (no "/", no "." or
// ".." component, no doubled separator), outside the Windows directory, on a
// fixed (or unknown) drive, readable, without any of refusedAttributes, and
// not named like the Administrative Tools folder, and reached through no link
// (followsNoLink).
bool isSafeFolder(const char* path, DWORD refusedAttributes);

// Whether no level of path below its drive's root is a reparse point (a
// junction or a symbolic link, which any user may plant in a folder of their
// own), read on the real file system from the top down. A level that does not
// exist yet ends the walk as passed: nothing lies below it, and what the
// program makes there is a real folder or file. A level that cannot be read
// for another reason is refused. The drive's root is the volume itself.
bool followsNoLink(const char* path);
// The same for the levels of path below folder, a folder that path begins with
// and that has passed as a whole.
bool followsNoLinkBelow(const char* folder, const char* path);

// Whether path names an existing folder.
bool isFolder(const char* path);

// The position in path just after its last "\", "/" or ":" (double-byte
// aware); the start of path when it has none, its terminator when it ends in one.
const char* lastPathComponent(const char* path);

// Whether a path taken relative to a folder stays inside it: false when it
// holds a ":" (a drive or a stream name), a component of dots only that climbs
// out (".." and the "..." and ".. " forms Windows reads as ".."), or a
// component that names a device (see isPlainName). "\" and "/" both separate
// components; the second byte of a double-byte character never does. Empty
// components are allowed: the copy list's markers begin with "\".
bool staysInsideFolder(const char* relativePath);

// Whether a component of a relative path ("\" or "/" separated) names a
// device (see isPlainName).
bool holdsDeviceName(const char* relativePath);

// The one rule for a name the program composes into a path as one level: not
// empty; no "\", "/" or ":"; not made of dots and blanks only, nor ending in
// a dot or blank (Windows would drop it); none of the characters no file name
// may hold (* ? " < > | and control characters); and not a device name (CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9, in any case, with or
// without an extension, trailing dots or blanks).
bool isPlainName(const char* name);

// A relative path of at least one component, each a plain name, separated by
// single backslashes: no leading, trailing or doubled separator.
bool isAcceptableRelativePath(const char* path);
