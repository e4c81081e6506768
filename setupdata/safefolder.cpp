#include "setupdata/safefolder.h"

#include <cstring>

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

}  // namespace

bool isSafeFolder(const char* path, DWORD refusedAttributes) {
    if (std::strlen(path) < 3) return false;
    if (IsDBCSLeadByte(static_cast<BYTE>(path[0])) || !isAsciiLetter(path[0])) return false;
    if (path[1] != ':') return false;

    // Windows paths ignore case, and the shell may spell the Windows directory
    // differently from GetWindowsDirectoryA. Every path merely beginning with
    // its text is refused too (C:\WINDOWS2).
    char windowsDirectory[261];
    const UINT length = GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
    if (length >= sizeof windowsDirectory) return false;
    windowsDirectory[length] = '\0';
    if (startsWithIgnoringCase(path, windowsDirectory)) return false;

    const char root[4] = {path[0], path[1], path[2], '\0'};
    if (isRefusedDriveType(GetDriveTypeA(root))) return false;

    // A path whose attributes cannot be read yields INVALID_FILE_ATTRIBUTES,
    // all bits set, and is refused with it.
    if ((GetFileAttributesA(path) & refusedAttributes) != 0) return false;

    return lstrcmpA(lastPathComponent(path), kAdministrativeTools) != 0;
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
    // Each component is judged when its separator or the terminator is reached.
    int dots = 0;
    bool onlyDotsAndBlanks = true;
    for (const char* p = relativePath;; p = CharNextA(p)) {
        const bool singleByte = !IsDBCSLeadByte(static_cast<BYTE>(*p));
        if (singleByte && *p == ':') return false;
        if (*p == '\0' || (singleByte && (*p == '\\' || *p == '/'))) {
            // Windows drops trailing dots and blanks from a component.
            if (onlyDotsAndBlanks && dots >= 2) return false;
            if (*p == '\0') return true;
            dots = 0;
            onlyDotsAndBlanks = true;
        } else if (singleByte && *p == '.') {
            ++dots;
        } else if (!(singleByte && *p == ' ')) {
            onlyDotsAndBlanks = false;
        }
    }
}

bool isSafeShortcutFolder(const char* folderName) {
    return folderName[0] != '\0' && staysInsideFolder(folderName);
}
