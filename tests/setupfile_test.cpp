#include <gtest/gtest.h>

#include "setupdata/setupfile.h"
#include "tests/bench/fixtures.h"

namespace {

using Visits = std::vector<std::string>;

struct SetupFileTest : ::testing::Test {
    // A new disc for every file: Wine caches description files by name.
    void write(const std::vector<std::string>& lines) {
        disc.reset();  // its fakes go before the next disc's come
        disc = std::make_unique<TempDisc>();
        disc->writeSetupFile(lines);
        lstrcpynA(programState.descriptionPath, disc->setupFilePath().c_str(), kPathSize);
    }
    // The copy list walked with the program folder Q:\, every entry as
    // "<f|s|r> <source> <target>", with "-" for a path withheld.
    Visits walk(const std::vector<std::string>& lines, const char* target) {
        write(lines);
        Visits visits;
        walkCopyListFrom("Q:\\", target, [](const CopyEntry& e, void* v) {
            const auto path = [](const char* p) { return std::string(" ") + (p != nullptr ? p : "-"); };
            static_cast<Visits*>(v)->push_back("fsr"[int(e.kind)] + path(e.sourcePath) + path(e.targetPath));
            return true;
        }, &visits);
        return visits;
    }
    std::unique_ptr<TempDisc> disc;
};

TEST_F(SetupFileTest, CopyListWalkComposesPathsAndWithholdsWhatDoesNotFitOrReachesOutside) {
    const std::string n254(254, 'N');  // "C:\T\" and 254 bytes make 259
    // Markers make and close subfolders beside each other; an empty entry is
    // skipped; the literal sentinel ends the list like a missing key.
    EXPECT_EQ(walk({"COPYDIR=DATA\\", "COPYFILE_000=A", "COPYFILE_001=\\B", "COPYFILE_002=", "COPYFILE_003=音\\A",
                    "COPYFILE_004=\\V", "COPYFILE_005=\\", "COPYFILE_006=\\", "COPYFILE_007=NoData"}, "C:\\T"),
              (Visits{"f Q:\\DATA\\A C:\\T\\A", "s - C:\\T\\B", "f Q:\\DATA\\音\\A C:\\T\\B\\音\\A", "s - C:\\T\\V",
                      "r - C:\\T\\V", "r - C:\\T"}));
    // Entries reaching outside, and markers that do not fit, have no target,
    // nor have the entries up to the next reset; a gap ends the list.
    EXPECT_EQ(walk({"COPYFILE_000=..\\E", "COPYFILE_001=\\..\\O", "COPYFILE_002=I", "COPYFILE_003=\\",
                    "COPYFILE_004=C:\\E", "COPYFILE_005=\\" + n254 + "N", "COPYFILE_006=I", "COPYFILE_007=\\",
                    "COPYFILE_008=" + n254 + "N", "COPYFILE_009=" + n254, "COPYFILE_011=Z"}, "C:\\T"),
              (Visits{"f Q:\\..\\E -", "s - -", "f Q:\\I -", "r - -", "f Q:\\C:\\E -", "s - -", "f Q:\\I -", "r - -",
                      "f Q:\\" + n254 + "N -", "f Q:\\" + n254 + " C:\\T\\" + n254}));
    // COPYDIR goes in front as it stands; a walk without a target composes sources only.
    EXPECT_EQ(walk({"COPYDIR=DATA", "COPYFILE_000=A", "COPYFILE_001=" + n254}, nullptr),
              (Visits{"f Q:\\DATAA -", "f - -"}));

    // A program path that gives no description path leaves none: every key is missing then.
    EXPECT_FALSE(deriveDescriptionPath("Q:\\SETUP"));  // no "." to put ".INI" over
    char value[kPathSize];
    readSetupString("COPYDIR", value);
    EXPECT_STREQ(value, kNoData);
    EXPECT_FALSE(deriveDescriptionPath(("Q:\\" + std::string(253, 'A') + ".E").c_str()));  // 260 with ".INI"
}

TEST_F(SetupFileTest, ShortcutListEndsAtTheFirstGroupLackingFolderNameOrTarget) {
    const auto groups = [this](const std::vector<std::string>& lines) {
        write(lines);
        unsigned count = 0;
        // Counts every group and never stops the walk.
        walkShortcutList([](const ShortcutEntry&, void* n) { return ++*static_cast<unsigned*>(n) != 0; }, &count);
        return count;
    };
    EXPECT_EQ(groups({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATDIR_01=A", "SHORTCATNAME_01=B",
                      "SHORTCATFILE_01=C"}), 0u);
    EXPECT_EQ(groups({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATFILE_00=C", "SHORTCATDIR_01=A",
                      "SHORTCATFILE_01=C", "SHORTCATDIR_02=A", "SHORTCATNAME_02=B", "SHORTCATFILE_02=C"}), 1u);
    EXPECT_EQ(groups({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATFILE_00=C", "SHORTCATNAME_01=B",
                      "SHORTCATFILE_01=C"}), 1u);
}

}  // namespace
