#include "setupdata/installrecord.h"

#include <windows.h>

#include <cstring>

#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"

namespace {

constexpr char kValueName[] = "InstallFolder";

// Without a formed key path the record is not touched at all: an empty path
// would mean the values directly below HKEY_CURRENT_USER.
bool haveRecordKey() { return programState.registrySubKey[0] != '\0'; }

// Opens the record's existing key; false without a formed key path.
bool openRecordKey(HKEY& key) {
    return haveRecordKey() &&
           RegOpenKeyExA(HKEY_CURRENT_USER, programState.registrySubKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
}

}  // namespace

bool buildRegistrySubKey() {
    char regName[kValueSize];
    readSetupString(kRegNameKey, regName);
    programState.registrySubKey[0] = '\0';
    if (isNoData(regName) || regName[0] == '\0' || std::strlen(regName) > kMaxRegName ||
        namesSharedRegistryKey(regName)) {
        return false;
    }
    return joinText(programState.registrySubKey, {"Software\\", regName});
}

RecordedCopy readRecordedCopy(char (&folder)[kPathSize]) {
    readInstallRecord(folder);
    if (isNoData(folder)) return RecordedCopy::absent;

    char firstKey[kKeySize];
    formatNumberedKey(NumberedKey::copyFile, 0, firstKey);
    char firstEntry[kValueSize];
    readSetupString(firstKey, firstEntry);
    if (isNoData(firstEntry)) return RecordedCopy::absent;

    if (!isSafeFolder(folder, kInstalledRefusedAttributes)) return RecordedCopy::unsafeFolder;
    char firstFile[kComposedPathSize];
    if (!joinText(firstFile, {folder, "\\", firstEntry})) return RecordedCopy::absent;
    HANDLE file = CreateFileA(firstFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return RecordedCopy::absent;
    CloseHandle(file);
    return RecordedCopy::present;
}

void readInstallRecord(char (&folder)[kPathSize]) {
    copyText(folder, kNoData);
    HKEY key;
    if (!openRecordKey(key)) return;
    char data[kPathSize] = {};
    DWORD size = sizeof data;
    // The value's type is not examined; only its text matters.
    const LONG result = RegQueryValueExA(key, kValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || std::memchr(data, '\0', sizeof data) == nullptr) return;
    copyText(folder, data);
}

void writeInstallRecord(const char* installFolder) {
    if (!haveRecordKey()) return;
    HKEY key;
    // Failures here are not reported: the caller announces success either way.
    if (RegCreateKeyExA(HKEY_CURRENT_USER, programState.registrySubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    (void)RegSetValueExA(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(installFolder),
                         static_cast<DWORD>(std::strlen(installFolder) + 1));
    RegCloseKey(key);
}

void deleteInstallRecord() {
    HKEY key;
    if (!openRecordKey(key)) return;
    // Always index 0: every deletion moves the next value to the front.
    for (;;) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
    }
    // A key with subkeys may be refused; that is not reported.
    (void)RegDeleteKeyA(HKEY_CURRENT_USER, programState.registrySubKey);
    RegCloseKey(key);
}

bool namesSharedRegistryKey(const char* regName) {
    constexpr const char* kSharedKeys[] = {"Microsoft", "Classes", "Policies", "Wow6432Node", "Wine"};
    const char* level = regName;
    for (const char* p = regName;; p = CharNextA(p)) {
        if (*p != '\0' && *p != '\\') continue;  // CharNextA steps over double-byte characters whole
        char name[kPathSize];
        lstrcpynA(name, level, static_cast<int>(p - level) + 1);
        if (name[0] == '\0' || lstrcmpA(name, "..") == 0) return true;
        if (level == regName) {
            for (const char* shared : kSharedKeys) {
                if (lstrcmpiA(name, shared) == 0) return true;
            }
        }
        if (*p == '\0') return false;
        level = p + 1;
    }
}
