#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/state.h"
#include "setupdata/installrecord.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

class InstallRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProgramState();
        useRegName("REG_NAME=" + key.name());
    }
    void TearDown() override { resetProgramState(); }

    void useRegName(const std::string& line) {
        disc.reset();
        disc = std::make_unique<TempDisc>();
        disc->writeSetupFile({line});
        ASSERT_TRUE(copyText(programState.descriptionPath, disc->setupFilePath().c_str()));
    }
    std::string readRecord() {
        char folder[kPathSize];
        readInstallRecord(folder);
        return folder;
    }
    TempRegistryKey key;
    std::unique_ptr<TempDisc> disc;
};

TEST_F(InstallRecordTest, WriteReadAndDeleteTheRecord) {
    ASSERT_TRUE(buildRegistrySubKey());
    EXPECT_EQ(std::string(programState.registrySubKey), key.subKey());
    EXPECT_EQ(readRecord(), kNoData);  // no key yet

    const std::string folder = "C:\\ゲーム\\ソフト";
    writeInstallRecord(folder.c_str());
    std::string stored;
    ASSERT_TRUE(key.readFolder(&stored));
    EXPECT_TRUE(sameText(stored, folder));
    EXPECT_TRUE(sameText(readRecord(), folder));

    writeInstallRecord("D:\\Again");  // a second install overwrites
    EXPECT_EQ(readRecord(), "D:\\Again");

    key.setValue("Other", REG_DWORD, "\1\0\0\0", 4);
    deleteInstallRecord();
    EXPECT_FALSE(key.exists());  // every value went, then the key
    EXPECT_EQ(readRecord(), kNoData);
}

TEST_F(InstallRecordTest, ValuesThatDoNotEndWithin260BytesReadAsMissing) {
    ASSERT_TRUE(buildRegistrySubKey());
    const std::string longest(259, 'F');
    key.setValue("InstallFolder", REG_SZ, longest.c_str(), 260);
    EXPECT_EQ(readRecord(), longest);

    const std::string tooLong(260, 'F');
    key.setValue("InstallFolder", REG_SZ, tooLong.c_str(), 261);
    EXPECT_EQ(readRecord(), kNoData);

    key.setValue("InstallFolder", REG_BINARY, tooLong.c_str(), 260);  // full, with no terminator
    EXPECT_EQ(readRecord(), kNoData);

    key.setValue("InstallFolder", REG_EXPAND_SZ, "C:\\Typed", 9);  // the type is not examined
    EXPECT_EQ(readRecord(), "C:\\Typed");
}

TEST_F(InstallRecordTest, KeyPathNeedsAUsableRegName) {
    for (const std::string& line : {std::string(), std::string("REG_NAME="), std::string("REG_NAME=NoData"),
                                    "REG_NAME=" + std::string(kMaxRegName + 1, 'R')}) {
        useRegName(line);
        copyText(programState.registrySubKey, "Software\\Earlier");
        EXPECT_FALSE(buildRegistrySubKey()) << line;
        EXPECT_STREQ(programState.registrySubKey, "Software\\Earlier") << line;
    }
    useRegName("REG_NAME=" + std::string(kMaxRegName, 'R'));
    EXPECT_TRUE(buildRegistrySubKey());
    EXPECT_EQ(std::string(programState.registrySubKey), "Software\\" + std::string(kMaxRegName, 'R'));
}

TEST_F(InstallRecordTest, WithoutAKeyPathNothingBelowTheUserRootIsTouched) {
    HKEY root = HKEY_CURRENT_USER;
    ASSERT_EQ(RegSetValueExA(root, "CDSetupTestMarker", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_SUCCESS);
    programState.registrySubKey[0] = '\0';
    writeInstallRecord("C:\\Games\\Sample");
    EXPECT_EQ(readRecord(), kNoData);
    deleteInstallRecord();

    EXPECT_NE(RegQueryValueExA(root, "InstallFolder", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(root, "CDSetupTestMarker", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegDeleteValueA(root, "CDSetupTestMarker");
}

}  // namespace
