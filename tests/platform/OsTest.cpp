#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/Exception.h"
#include "platform/Os.h"
#include "tests/support/CommonSupport.h"

namespace platformtest {
namespace {

namespace fs = std::filesystem;
using testsupport::MakeTime;
using testsupport::ReadFileBytes;

class OsFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    Scratch = fs::temp_directory_path() /
              ("orvex-os-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(Scratch);
    fs::create_directories(Scratch);
  }
  void TearDown() override { fs::remove_all(Scratch); }
  fs::path Scratch;
};

TEST_F(OsFilesTest, CreateDirectoriesMakesEveryMissingLevelAndTellsWhetherItDid) {
  const fs::path Deep = Scratch / "a" / "b" / "c";
  EXPECT_TRUE(os::CreateDirectories(Deep.u16string()));
  EXPECT_TRUE(os::DirectoryExists(Deep.u16string()));
  EXPECT_FALSE(os::CreateDirectories(Deep.u16string()));
  EXPECT_FALSE(os::CreateDirectories(Deep.u16string() + os::PathSeparator()));
}

TEST_F(OsFilesTest, CreateDirectoriesRaisesWhenAFileIsInTheWay) {
  std::ofstream(Scratch / "file") << "x";
  EXPECT_FALSE(os::DirectoryExists((Scratch / "file").u16string()));
  EXPECT_THROW(os::CreateDirectories((Scratch / "file" / "sub").u16string()), Exception);
}

TEST_F(OsFilesTest, AppendToFileCreatesThenAppends) {
  const std::u16string File = (Scratch / "day.log").u16string();
  EXPECT_EQ(os::AppendToFile(File, "one\r\n"), os::AppendResult::Ok);
  EXPECT_EQ(os::AppendToFile(File, "two\r\n"), os::AppendResult::Ok);
  EXPECT_EQ(ReadFileBytes(Scratch / "day.log"), "one\r\ntwo\r\n");
}

TEST_F(OsFilesTest, AppendToFileReportsAMissingFolderWithoutCreatingIt) {
  EXPECT_EQ(os::AppendToFile((Scratch / "missing" / "day.log").u16string(), "x"), os::AppendResult::FolderMissing);
  EXPECT_FALSE(fs::exists(Scratch / "missing"));
}

TEST_F(OsFilesTest, AppendToFileRaisesForAFolder) {
  EXPECT_THROW(os::AppendToFile(Scratch.u16string(), "x"), Exception);
}

struct FixedDateCase {
  const char* Name;
  LocalDateTime Value;
  bool IncludeTime;
  std::u16string Expected;
};

class FixedDateTimeTest : public ::testing::TestWithParam<FixedDateCase> {};

TEST_P(FixedDateTimeTest, PadsEveryField) {
  EXPECT_EQ(os::FormatFixedDateTime(GetParam().Value, GetParam().IncludeTime), GetParam().Expected);
}

const FixedDateCase FixedDateCases[] = {
    {"DateAndTime", MakeTime(2024, 3, 5, 10, 2, 3, 0), true, u"05.03.2024 10:02:03"},
    {"DateOnly", MakeTime(2024, 12, 31, 23, 59, 59, 999), false, u"31.12.2024"},
    {"EmptyHostDate", MakeTime(1, 1, 1, 0, 0, 0, 0), true, u"01.01.0001 00:00:00"},
};
INSTANTIATE_TEST_SUITE_P(Values, FixedDateTimeTest, ::testing::ValuesIn(FixedDateCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(OsDates, LocaleFormatShowsDatesTheOsCannot) {
  EXPECT_FALSE(os::FormatLocaleDateTime(MakeTime(1, 1, 1, 0, 0, 0, 0), true).empty());
  EXPECT_FALSE(os::FormatLocaleDateTime(MakeTime(9999, 12, 31, 23, 59, 59, 0), false).empty());
}

TEST(OsModules, AddressOutsideEveryModuleRaises) {
  const auto HeapObject = std::make_unique<int>(0);
  EXPECT_THROW(os::ModuleFilePath(HeapObject.get()), Exception);
}

}  // namespace
}  // namespace platformtest
