#include "setupdata/pathrules.h"

#include <cstring>

#include "setupdata/text.h"

namespace {

// The Administrative Tools folder of the Japanese system.
constexpr char kAdministrativeTools[] = "管理ツール";

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text begins with prefix, comparing single-byte characters without
// regard to ASCII case and double-byte characters exactly (their trail bytes
// may look like letters).
bool startsWithIgnoringCase(const char* text, const char* prefix) {
    while (*prefix != '\0') {
        if (IsDBCSLeadByte(static_cast<BYTE>(*prefix))) {
            if (text[0] != prefix[0] || prefix[1] == '\0' || text[1] != prefix[1]) return false;
            text += 2;
            prefix += 2;
        } else {
            if (asciiLower(*text) != asciiLower(*prefix)) return false;
            ++text;
            ++prefix;
        }
    }
    return true;
}

bool isRefusedDriveType(UINT type) {
    return type == DRIVE_REMOVABLE || type == DRIVE_REMOTE || type == DRIVE_CDROM || type == DRIVE_RAMDISK;
}

// The helpers below judge one path component, [begin, end), that holds no
// separator. "." and " " are never the second byte of a double-byte
// character, so they may be looked for byte by byte.

bool isDotsAndBlanksOnly(const char* begin, const char* end) {
    for (const char* p = begin; p != end; ++p) {
        if (*p != '.' && *p != ' ') return false;
    }
    return true;
}

// "..", and the "..." and ".. " forms: Windows drops trailing dots and blanks.
bool climbsOut(const char* begin, const char* end) {
    int dots = 0;
    for (const char* p = begin; p != end; ++p) dots += *p == '.';
    return dots >= 2 && isDotsAndBlanksOnly(begin, end);
}

// Whether the component opens a device rather than a file: the part before its
// first "." (any extension is ignored), less trailing blanks, is a device name.
bool namesDevice(const char* begin, const char* end) {
    static constexpr const char* kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$", "COM1", "COM2",
                                                   "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",    "COM9", "LPT1",
                                                   "LPT2", "LPT3", "LPT4", "LPT5", "LPT6",   "LPT7",    "LPT8", "LPT9"};
    const char* stemEnd = begin;
    while (stemEnd != end && *stemEnd != '.') ++stemEnd;
    while (stemEnd != begin && stemEnd[-1] == ' ') --stemEnd;
    const size_t length = static_cast<size_t>(stemEnd - begin);
    for (const char* device : kDeviceNames) {
        if (std::strlen(device) != length) continue;
        // A lead byte never equals a letter, so a byte-wise compare suffices.
        size_t i = 0;
        while (i < length && asciiLower(begin[i]) == asciiLower(device[i])) ++i;
        if (i == length) return true;
    }
    return false;
}

bool isPlainComponent(const char* begin, const char* end) {
    // Windows drops a trailing dot or blank: the folder made would not be the
    // one named, and a path holding it would not be in its full form. That
    // also refuses a name of dots and blanks only.
    if (begin == end || end[-1] == '.' || end[-1] == ' ' || namesDevice(begin, end)) return false;
    for (const char* p = begin; p < end; p = CharNextA(p)) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) continue;
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    }
    return true;
}

bool staysInside(const char* begin, const char* end) { return !climbsOut(begin, end) && !namesDevice(begin, end); }
bool isNoDevice(const char* begin, const char* end) { return !namesDevice(begin, end); }

// Whether accept holds for every component of path, split at "\" and, with
// slashSeparates, at "/" (never at the second byte of a double-byte character).
bool everyComponent(const char* path, bool slashSeparates, bool (*accept)(const char*, const char*)) {
    const char* component = path;
    for (const char* p = path;; p = CharNextA(p)) {
        const bool singleByte = !IsDBCSLeadByte(static_cast<BYTE>(*p));
        if (*p == '\0' || (singleByte && (*p == '\\' || (slashSeparates && *p == '/')))) {
            if (!accept(component, p)) return false;
            if (*p == '\0') return true;
            component = p + 1;
        }
    }
}

// Whether path holds no "/" and is its own full form (GetFullPathNameA): no
// "." or ".." component, no doubled separator, no trailing dot or blank.
bool isInFullForm(const char* path) {
    // CharNextA steps over double-byte characters whole.
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '/') return false;
    }
    char full[MAX_PATH + 1];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    return length != 0 && length < sizeof full && std::strcmp(full, path) == 0;
}

// The levels of path that end at or after byte from, each read on its own.
bool followsNoLinkFrom(const char* path, size_t from) {
    char level[kPathSize];
    if (!copyText(level, path) || from > std::strlen(level)) return false;
    for (char* p = level + from;; p = CharNextA(p)) {  // CharNextA steps over double-byte characters whole
        if (*p != '\0' && *p != '\\') continue;
        const char end = *p;
        *p = '\0';
        const DWORD attributes = GetFileAttributesA(level);
        const DWORD error = GetLastError();
        *p = end;
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
        if (end == '\0') return true;
    }
}

}  // namespace

bool followsNoLink(const char* path) {
    // Past "X:\", when the path has it.
    const bool hasRoot = path[0] != '\0' && path[1] == ':' && path[2] == '\\';
    return followsNoLinkFrom(path, hasRoot ? 3 : 0);
}

bool followsNoLinkBelow(const char* folder, const char* path) {
    const size_t length = std::strlen(folder);
    return std::strncmp(path, folder, length) == 0 && followsNoLinkFrom(path, length + (path[length] == '\\'));
}

bool isSafeFolder(const char* path, DWORD refusedAttributes) {
    // Every test below reads the path as written: another spelling of the same
    // folder (C:/WINDOWS, C:\\WINDOWS, C:\X\..\WINDOWS) would slip past them.
    if (!isInFullForm(path)) return false;
    if (std::strlen(path) < 3) return false;
    if (IsDBCSLeadByte(static_cast<BYTE>(path[0])) || !isAsciiLetter(path[0])) return false;
    if (path[1] != ':') return false;

    // Windows paths ignore case, and the shell may spell the Windows directory
    // differently from GetWindowsDirectoryA. Every path merely beginning with
    // its text is refused too (C:\WINDOWS2).
    char windowsDirectory[kFolderSize];
    const UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
    if (length >= sizeof windowsDirectory) return false;
    windowsDirectory[length] = '\0';
    if (startsWithIgnoringCase(path, windowsDirectory)) return false;

    const char root[4] = {path[0], path[1], path[2], '\0'};
    if (isRefusedDriveType(GetDriveTypeA(root))) return false;

    // A path whose attributes cannot be read yields INVALID_FILE_ATTRIBUTES,
    // all bits set, and is refused with it.
    if ((GetFileAttributesA(path) & refusedAttributes) != 0) return false;

    return lstrcmpA(lastPathComponent(path), kAdministrativeTools) != 0 && followsNoLink(path);
}

bool isFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

const char* lastPathComponent(const char* path) {
    const char* component = path;
    for (const char* p = path; *p != '\0';) {
        const char* next = CharNextA(p);
        if (next - p == 1 && (*p == '\\' || *p == '/' || *p == ':')) component = next;
        p = next;
    }
    return component;
}

bool staysInsideFolder(const char* relativePath) {
    // ":" (a drive or a stream name) is never the second byte of a double-byte character.
    return std::strchr(relativePath, ':') == nullptr && everyComponent(relativePath, true, staysInside);
}

bool holdsDeviceName(const char* relativePath) { return !everyComponent(relativePath, true, isNoDevice); }

bool isPlainName(const char* name) { return isPlainComponent(name, name + std::strlen(name)); }

bool isAcceptableRelativePath(const char* path) { return everyComponent(path, false, isPlainComponent); }
