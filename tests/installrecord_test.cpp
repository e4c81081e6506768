#include <gtest/gtest.h>

#include "setupdata/installrecord.h"
#include "tests/bench/fixtures.h"

static LONG WINAPI refuseDeletion(HKEY, LPCSTR) { return ERROR_ACCESS_DENIED; }

TEST(InstallRecordTest, NeedsAUsableRegNameReadsOnlyTerminatedValuesAndDeletesEveryValueOrStops) {
    // REG_NAME missing, empty or too long: nothing directly below the user's root is touched.
    resetProgramState();
    for (const std::string& regName : {std::string("NoData"), std::string(), std::string(kMaxRegName + 1, 'R')}) {
        TempDisc disc;  // a new file each time: Wine caches description files by name
        disc.writeSetupFile({"REG_NAME=" + regName});
        lstrcpynA(programState.descriptionPath, disc.setupFilePath().c_str(), kPathSize);
        EXPECT_FALSE(buildRegistrySubKey() || programState.registrySubKey[0] != '\0') << regName.size();
    }
    RegSetKeyValueA(HKEY_CURRENT_USER, nullptr, "CDSetupTestMarker", REG_SZ, "x", 2);
    writeInstallRecord("C:\\Games");
    deleteInstallRecord();
    EXPECT_NE(RegDeleteValueA(HKEY_CURRENT_USER, "InstallFolder"), ERROR_SUCCESS);     // never written there
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "CDSetupTestMarker"), ERROR_SUCCESS);  // nor deleted

    TempRegistryKey key;
    lstrcpynA(programState.registrySubKey, key.subKey().c_str(), kPathSize);
    key.setValue("InstallFolder", REG_BINARY, std::string(260, 'F').c_str(), 260);  // full, with no terminator
    readInstallRecord(programState.recordedFolder);
    EXPECT_STREQ(programState.recordedFolder, "NoData");

    // Every value goes, though a subkey keeps the key itself; a value that
    // cannot be deleted ends the deletion rather than being asked for again.
    key.setValue("Other", REG_DWORD, "\1\0\0\0", 4);
    RegSetKeyValueA(HKEY_CURRENT_USER, (key.subKey() + "\\Sub").c_str(), nullptr, REG_SZ, "x", 2);
    deleteInstallRecord();
    EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, key.subKey().c_str(), "Other", RRF_RT_ANY, nullptr, nullptr, nullptr), 0);
    key.setValue("Other", REG_DWORD, "\1\0\0\0", 4);
    ImportPatch refuse("advapi32.dll", "RegDeleteValueA", reinterpret_cast<void*>(refuseDeletion));
    deleteInstallRecord();
}
