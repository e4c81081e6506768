#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/state.h"
#include "setupdata/setupfile.h"
#include "setupdata/text.h"
#include "tests/bench/fixtures.h"
#include "tests/bench/messagebox.h"

namespace {

class SetupFileTest : public ::testing::Test {
protected:
    void SetUp() override { resetProgramState(); }
    void TearDown() override { resetProgramState(); }

    // A new disc for every file: Wine caches description files by name.
    void write(std::initializer_list<std::string> lines) {
        disc.reset();  // its fakes go before the next disc's come
        disc = std::make_unique<TempDisc>();
        disc->writeSetupFile(lines);
        ASSERT_TRUE(copyText(programState.descriptionPath, disc->setupFilePath().c_str()));
    }
    std::string lookup(const char* key) {
        char value[kPathSize];
        readSetupString(key, value);
        return value;
    }

    std::unique_ptr<TempDisc> disc;
};

// One visited entry, as the walker handed it over.
struct Visit {
    unsigned index;
    CopyEntryKind kind;
    std::string value, source, target;  // "-" where the walker gave nullptr
    bool operator==(const Visit& other) const {
        return index == other.index && kind == other.kind && value == other.value && source == other.source &&
               target == other.target;
    }
};

void PrintTo(const Visit& v, std::ostream* out) {
    *out << v.index << " kind " << static_cast<int>(v.kind) << " " << readable(v.value) << " src "
         << readable(v.source) << " dst " << readable(v.target);
}

std::vector<Visit> walk(const char* target, size_t stopAfter = 1000) {
    struct Context {
        std::vector<Visit> visits;
        size_t stopAfter;
    } context{{}, stopAfter};
    walkCopyList(target,
                 [](const CopyEntry& e, void* c) {
                     auto& ctx = *static_cast<Context*>(c);
                     ctx.visits.push_back({e.index, e.kind, e.value, e.sourcePath ? e.sourcePath : "-",
                                           e.targetPath ? e.targetPath : "-"});
                     return ctx.visits.size() < ctx.stopAfter;
                 },
                 &context);
    return context.visits;
}

std::vector<ShortcutEntry> shortcutGroups() {
    std::vector<ShortcutEntry> groups;
    walkShortcutList(
        [](const ShortcutEntry& e, void* c) {
            static_cast<std::vector<ShortcutEntry>*>(c)->push_back(e);
            return true;
        },
        &groups);
    return groups;
}

constexpr auto kFile = CopyEntryKind::file;
constexpr auto kSubfolder = CopyEntryKind::subfolderMarker;
constexpr auto kReset = CopyEntryKind::resetMarker;

TEST_F(SetupFileTest, LookupsFollowTheProfileFormat) {
    write({"game_name=  サンプル  ", "EXE_NAME=\"GAME.EXE\"", "COPYDIR=", "REG_NAME=NoData", "DXOPTION=2",
           "[Other]", "DEFAULT_DIR=Elsewhere"});
    EXPECT_TRUE(sameText(lookup("GAME_NAME"), "サンプル"));  // keys ignore case, blanks go
    EXPECT_EQ(lookup("EXE_NAME"), "GAME.EXE");              // quotes go
    EXPECT_EQ(lookup("COPYDIR"), "");                        // present but empty is not missing
    EXPECT_TRUE(isNoData(lookup("REG_NAME").c_str()));       // the literal sentinel reads as missing
    EXPECT_EQ(lookup("DEFAULT_DIR"), kNoData);               // other sections are not read
    EXPECT_FALSE(isNoData("nodata"));
    EXPECT_EQ(readSetupInt("DXOPTION"), 2);
    EXPECT_EQ(readSetupInt("SHORTCATICONNUMBER_00"), 0);

    char shortValue[5];
    readSetupString("EXE_NAME", shortValue);
    EXPECT_STREQ(shortValue, "GAME");  // cut to the limit less the terminator

    programState.descriptionPath[0] = '\0';
    EXPECT_EQ(lookup("EXE_NAME"), kNoData);
    EXPECT_EQ(readSetupInt("DXOPTION"), 0);
}

TEST_F(SetupFileTest, DescriptionPathTakesTheProgramNameWithIni) {
    ASSERT_TRUE(deriveDescriptionPath("Q:\\SETUP.EXE"));
    EXPECT_STREQ(programState.descriptionPath, "Q:\\SETUP.INI");
    ASSERT_TRUE(deriveDescriptionPath("Q:\\DISC.V2\\SETUP"));  // the last "." of the whole path
    EXPECT_STREQ(programState.descriptionPath, "Q:\\DISC.INI");

    EXPECT_FALSE(deriveDescriptionPath("Q:\\SETUP"));
    EXPECT_STREQ(programState.descriptionPath, "");
    const std::string longPath = "Q:\\" + std::string(253, 'A') + ".E";  // 258 bytes; ".INI" makes 260
    EXPECT_FALSE(deriveDescriptionPath(longPath.c_str()));
    EXPECT_STREQ(programState.descriptionPath, "");
}

TEST_F(SetupFileTest, CopyListWalkClassifiesEntriesAndComposesPaths) {
    write({"COPYDIR=DATA\\", "COPYFILE_000=GAME.EXE", "COPYFILE_001=GAME.DAT", "COPYFILE_002=\\BGM",
           "COPYFILE_003=TRACK01.WAV", "COPYFILE_004=\\", "COPYFILE_005=音楽\\README.TXT", "COPYFILE_006=\\SE",
           "COPYFILE_007=\\VOICE", "COPYFILE_008=\\", "COPYFILE_009=\\"});
    const std::string src = disc->folder() + "\\DATA\\";
    const std::string dst = "C:\\Program Files\\Sample";
    const std::vector<Visit> expected = {
        {0, kFile, "GAME.EXE", src + "GAME.EXE", dst + "\\GAME.EXE"},
        {1, kFile, "GAME.DAT", src + "GAME.DAT", dst + "\\GAME.DAT"},
        {2, kSubfolder, "\\BGM", "-", dst + "\\BGM"},
        {3, kFile, "TRACK01.WAV", src + "TRACK01.WAV", dst + "\\BGM\\TRACK01.WAV"},
        {4, kReset, "\\", "-", dst + "\\BGM"},
        {5, kFile, "音楽\\README.TXT", src + "音楽\\README.TXT", dst + "\\音楽\\README.TXT"},
        {6, kSubfolder, "\\SE", "-", dst + "\\SE"},
        {7, kSubfolder, "\\VOICE", "-", dst + "\\VOICE"},  // beside \SE, not inside it
        {8, kReset, "\\", "-", dst + "\\VOICE"},
        {9, kReset, "\\", "-", dst},  // nothing current: the target itself
    };
    EXPECT_EQ(walk(dst.c_str()), expected);

    // Without a target only source paths are composed; a visitor may stop the walk.
    const std::vector<Visit> sizeWalk = walk(nullptr, 2);
    ASSERT_EQ(sizeWalk.size(), 2u);
    EXPECT_EQ(sizeWalk[1].source, src + "GAME.DAT");
    EXPECT_EQ(sizeWalk[1].target, "-");
}

TEST_F(SetupFileTest, CopyListEndsAtTheFirstGapOrSentinelAndSkipsEmptyEntries) {
    write({"COPYFILE_000=A.DAT", "COPYFILE_001=", "COPYFILE_002=B.DAT", "COPYFILE_004=C.DAT"});
    std::vector<Visit> visits = walk("C:\\T");
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].value, "A.DAT");
    EXPECT_EQ(visits[1].index, 2u);

    write({"COPYFILE_000=A.DAT", "COPYFILE_001=NoData", "COPYFILE_002=B.DAT"});
    visits = walk("C:\\T");
    ASSERT_EQ(visits.size(), 1u);
}

TEST_F(SetupFileTest, CopyDirFormsTheSourceFolder) {
    for (const auto& [copyDir, source] : std::vector<std::pair<std::string, std::string>>{
             {"", "GAME.EXE"},  // missing
             {"COPYDIR=", "GAME.EXE"},
             {"COPYDIR=DATA", "DATAGAME.EXE"},  // no separator is inserted
             {"COPYDIR=DISC1\\DATA\\", "DISC1\\DATA\\GAME.EXE"}}) {
        write({copyDir, "COPYFILE_000=GAME.EXE"});
        const std::vector<Visit> visits = walk(nullptr);
        ASSERT_EQ(visits.size(), 1u) << copyDir;
        EXPECT_EQ(visits[0].source, disc->folder() + "\\" + source) << copyDir;
    }
}

TEST_F(SetupFileTest, PathsThatDoNotFitAreWithheldNotCut) {
    const std::string longName(200, 'N');
    write({"COPYFILE_000=" + longName, "COPYFILE_001=\\" + longName});
    const std::string target = "C:\\" + std::string(60, 'T');  // 63 + 1 + 200 = 264 bytes
    const std::vector<Visit> visits = walk(target.c_str());
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].target, "-");
    EXPECT_EQ(visits[1].target, "-");
    const std::string fitting = "C:\\" + std::string(54, 'T');  // 259 bytes
    EXPECT_EQ(walk(fitting.c_str())[0].target, fitting + "\\" + longName);
}

TEST_F(SetupFileTest, EntriesReachingOutsideTheTargetGetNoTargetAndNeitherDoTheirFiles) {
    write({"COPYFILE_000=..\\EVIL.DAT", "COPYFILE_001=\\..\\OUT", "COPYFILE_002=IN.DAT", "COPYFILE_003=\\",
           "COPYFILE_004=C:\\EVIL.DAT", "COPYFILE_005=\\" + std::string(250, 'S'), "COPYFILE_006=IN.DAT",
           "COPYFILE_007=\\", "COPYFILE_008=OK.DAT"});
    const std::string dst = "C:\\" + std::string(20, 'T');
    const std::vector<Visit> visits = walk(dst.c_str());
    ASSERT_EQ(visits.size(), 9u);
    // Refused or too long markers leave their files and the reset that closes
    // them without a target; the source of a refused file is still read.
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(visits[i].target, "-") << i;
    EXPECT_EQ(visits[0].source, disc->folder() + "\\..\\EVIL.DAT");
    EXPECT_EQ(visits[8].target, dst + "\\OK.DAT");
}

TEST_F(SetupFileTest, ShortcutListRunsUntilAGroupLacksFolderNameOrTarget) {
    write({"SHORTCATDIR_00=サンプル", "SHORTCATNAME_00=サンプル", "SHORTCATFILE_00=GAME.EXE",
           "SHORTCATDISCRIPT_00=起動します", "SHORTCATDIR_01=サンプル", "SHORTCATNAME_01=お読みください",
           "SHORTCATFILE_01=README.TXT", "SHORTCATICON_01=GAME.EXE", "SHORTCATICONNUMBER_01=1",
           "SHORTCATDIR_02=サンプル", "SHORTCATNAME_02=欠け", "SHORTCATDIR_03=X", "SHORTCATNAME_03=Y",
           "SHORTCATFILE_03=Z"});
    std::vector<ShortcutEntry> groups = shortcutGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_TRUE(sameText(groups[0].description, "起動します"));
    EXPECT_FALSE(groups[0].hasIconFile);
    EXPECT_STREQ(groups[0].iconFile, "");
    EXPECT_EQ(groups[0].iconNumber, 0);
    EXPECT_EQ(groups[1].index, 1u);
    EXPECT_TRUE(sameText(groups[1].name, "お読みください"));
    EXPECT_STREQ(groups[1].target, "README.TXT");
    EXPECT_STREQ(groups[1].description, "");
    EXPECT_TRUE(groups[1].hasIconFile);
    EXPECT_STREQ(groups[1].iconFile, "GAME.EXE");
    EXPECT_EQ(groups[1].iconNumber, 1);

    // Group 00 without its target: nothing at all, though 01 is complete.
    write({"SHORTCATDIR_00=A", "SHORTCATNAME_00=B", "SHORTCATDIR_01=A", "SHORTCATNAME_01=B",
           "SHORTCATFILE_01=C"});
    EXPECT_TRUE(shortcutGroups().empty());
}

}  // namespace
