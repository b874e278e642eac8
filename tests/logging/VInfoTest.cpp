#include <fstream>

#include "LogTestSupport.h"
#include "logging/uVInfo.h"
#include "platform/Text.h"

namespace logtest {
namespace {

fs::path ProgramFolder() { return fs::path(GetModuleFilePath()).parent_path(); }
fs::path VersionFixture() { return ProgramFolder() / VERSION_FIXTURE_NAME; }

TEST(ModuleVersion, ReadsTheStampedVersionWordByWord) {
  const TModuleVersion Version = ReadModuleVersion(VersionFixture().u16string());
  EXPECT_EQ(Version, (TModuleVersion{2, 17, 300, 4001}));
  EXPECT_EQ(ModuleVersionText(Version), u"2.17.300.4001");
}

TEST(ModuleVersion, OwnFileIsTheModuleHoldingTheCodeNotTheHostsGuess) {
  const fs::path Own(GetModuleFilePath());
  EXPECT_TRUE(Own.is_absolute());
  EXPECT_EQ(Own.filename().string(), TEST_PROGRAM_NAME);
  EXPECT_TRUE(fs::exists(Own));
  EXPECT_EQ(GetModuleVersion(), (TModuleVersion{0, 0, 0, 0}));
}

// Files that carry no readable version, made from the fixture library.
struct DamagedCase {
  const char* Name;
  std::string (*Damage)(const std::string& Library);
};

class DamagedLibraryTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedLibraryTest, GivesZeroVersion) {
  const fs::path Damaged = fs::temp_directory_path() / (std::string("orvex-damaged-") + GetParam().Name);
  std::ofstream(Damaged, std::ios::binary) << GetParam().Damage(ReadFileBytes(VersionFixture()));
  EXPECT_EQ(ReadModuleVersion(Damaged.u16string()), (TModuleVersion{0, 0, 0, 0}));
  fs::remove(Damaged);
}

const DamagedCase DamagedCases[] = {
    {"Empty", [](const std::string&) { return std::string(); }},
    {"NotALibrary", [](const std::string&) { return std::string("MZ? no, just text\n"); }},
    {"HeaderOnly", [](const std::string& Library) { return Library.substr(0, 40); }},
    {"FirstFewHundredBytes", [](const std::string& Library) { return Library.substr(0, 300); }},
};
INSTANTIATE_TEST_SUITE_P(Files, DamagedLibraryTest, ::testing::ValuesIn(DamagedCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ModuleVersion, MissingFileOrFolderGivesZeroVersion) {
  EXPECT_EQ(ReadModuleVersion(u"no-such-library.bin"), (TModuleVersion{0, 0, 0, 0}));
  EXPECT_EQ(ReadModuleVersion(ProgramFolder().u16string()), (TModuleVersion{0, 0, 0, 0}));
}

struct OsTextCase {
  const char* Name;
  std::optional<TOSVersionFacts> Facts;
  std::u16string Expected;
};

class OsVersionTextTest : public ::testing::TestWithParam<OsTextCase> {};

TEST_P(OsVersionTextTest, JoinsNameServicePackAndNumbers) {
  EXPECT_EQ(FormatOSVersionText(GetParam().Facts), GetParam().Expected);
}

const OsTextCase OsTextCases[] = {
    {"NoAnswer", std::nullopt, u"Unknown "},
    {"NoServicePack", TOSVersionFacts{u"Windows 10", u"", 10, 0, 19045}, u"Windows 10 (10.0.19045)"},
    {"ServicePack", TOSVersionFacts{u"Windows 7", u"Service Pack 1", 6, 1, 7601},
     u"Windows 7 Service Pack 1 (6.1.7601)"},
    {"ServicePackCutAt128", TOSVersionFacts{u"Linux", std::u16string(200, u'x'), 6, 1, 0},
     u"Linux " + std::u16string(128, u'x') + u" (6.1.0)"},
};
INSTANTIATE_TEST_SUITE_P(Texts, OsVersionTextTest, ::testing::ValuesIn(OsTextCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace logtest
