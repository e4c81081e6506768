// The DirectX setup library that every disc carries beside SETUP.EXE: the two
// entries the program calls, built from our own sources. It reports the
// installed runtime's version, which every Windows since 98 records, and runs
// DXSETUP.EXE from the source folder when asked.
#include "install/dsetup.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Reads one field of decimal digits and the character that ends it.
const char* readField(const char* p, unsigned long& value) {
    if (*p < '0' || *p > '9') return nullptr;
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value > 0xFFFFFFFFul / 10) return nullptr;
        value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    return p;
}

// "4.09.00.0904": four fields of decimal digits separated by dots.
bool parseVersion(const char* text, DWORD& version, DWORD& revision) {
    unsigned long fields[4] = {};
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        p = readField(p, fields[i]);
        if (p == nullptr || *p != (i < 3 ? '.' : '\0')) return false;
        ++p;
    }
    if (fields[0] > 0xFFFF || fields[1] > 0xFFFF) return false;
    version = static_cast<DWORD>((fields[0] << 16) | fields[1]);
    revision = static_cast<DWORD>(fields[3]);
    return true;
}

}  // namespace

// Ordinal 11: the version recorded under HKLM\SOFTWARE\Microsoft\DirectX,
// value "Version"; both values 0 when it is missing or malformed.
extern "C" INT WINAPI dsetupGetVersion(DWORD* version, DWORD* revision) {
    DWORD parsedVersion = 0;
    DWORD parsedRevision = 0;
    char text[64] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    HKEY key;
    bool found = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        found =
            RegQueryValueExA(key, "Version", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
            type == REG_SZ && parseVersion(text, parsedVersion, parsedRevision);
        RegCloseKey(key);
    }
    if (!found) parsedVersion = parsedRevision = 0;
    if (version != nullptr) *version = parsedVersion;
    if (revision != nullptr) *revision = parsedRevision;
    return found ? TRUE : FALSE;
}

// Ordinal 5: runs root\DXSETUP.EXE and waits for it; its exit code, or -1 when
// there is no such program or it cannot be started. The stand-in shows no
// window of its own, so the owner is not used; flags select nothing here.
extern "C" INT WINAPI dsetupRun(HWND owner, LPCSTR root, DWORD flags) {
    (void)owner;
    (void)flags;
    if (root == nullptr) return -1;
    char path[MAX_PATH];
    const size_t length = std::strlen(root);
    const char* separator = length > 0 && root[length - 1] != '\\' ? "\\" : "";
    if (std::snprintf(path, sizeof path, "%s%s%s", root, separator, kDxSetupProgram) >= static_cast<int>(sizeof path))
        return -1;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;

    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, root, &startup, &process)) return -1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return static_cast<INT>(exitCode);
}
