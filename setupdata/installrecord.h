// The install record: HKEY_CURRENT_USER\Software\<REG_NAME>, value
// "InstallFolder" (REG_SZ), the one thing an installation keeps of itself.
#pragma once

#include "setupdata/text.h"

// The longest REG_NAME that still fits "Software\" + name in registrySubKey.
constexpr int kMaxRegName = kPathSize - 10;

// Writes "Software\" + REG_NAME into registrySubKey. False, and registrySubKey
// empty, when REG_NAME is missing, empty, longer than kMaxRegName or names a
// shared key (namesSharedRegistryKey): the program then has no record at all.
bool buildRegistrySubKey();

// The recorded install folder, or "NoData" when the key or value is missing,
// or the value does not end within 260 bytes.
void readInstallRecord(char (&folder)[kPathSize]);

// What the record names, judged afresh wherever it is used: any program the
// user runs may change it, while this program runs elevated.
enum class RecordedCopy {
    absent,        // no record, no first copy-list entry, or its file missing
    unsafeFolder,  // a folder the safety rule refuses for an installed copy
    present,       // a safe folder holding the first listed file
};
// Reads the record into folder and judges it: the safety rule before the
// first file, so that an unsafe folder is told apart whatever its entries.
RecordedCopy readRecordedCopy(char (&folder)[kPathSize]);

// Creates or opens the key and sets "InstallFolder"; failures are not reported.
void writeInstallRecord(const char* installFolder);

// Deletes every value of the key and then the key; failures are not reported.
void deleteInstallRecord();

// Whether REG_NAME names a key below Software that the platform or other
// programs own (a first level such as Microsoft, or an empty or ".." level):
// one uninstall would delete every value in it.
bool namesSharedRegistryKey(const char* regName);
