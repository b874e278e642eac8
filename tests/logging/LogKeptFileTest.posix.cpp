// The day's file stays open between lines. Whatever happens to its name in
// between, the next line goes where a freshly and safely opened day file would
// take it, or nowhere; and the open file is never shared with another program.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "LogTestSupport.h"
#include "platform/Text.h"

namespace logtest {
namespace {

// The descriptors of this process open on File.
std::vector<int> DescriptorsOn(const fs::path& File) {
  std::vector<int> Found;
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator("/proc/self/fd", Error)) {
    const fs::path Target = fs::read_symlink(Entry.path(), Error);
    if (!Error && Target == File) Found.push_back(std::stoi(Entry.path().filename().string()));
  }
  return Found;
}

std::string LineText(const LocalDateTime& Time, const std::string& Text) {
  return TimestampText(Time) + "\tERROR\t" + Text + "\r\n";
}

class LogKeptFileTest : public LogTest {
protected:
  void SetUp() override {
    LogTest::SetUp();
    SetLogMode(TLogMode::lmAll);
    WriteLog(u"first", u"", TLogLevel::llError);
    FirstContent = LogContent();
    ASSERT_EQ(FirstContent, ExpectedStartBanner() + LineText(TestNow, "first"));
  }

  std::string FirstContent;
};

// What happens to the day file between two lines, and what the day file's
// name then shows.
struct BetweenLines {
  const char* Name;
  void (*Change)(const fs::path& DayFile, const fs::path& Elsewhere);
  enum { OnlySecondLine, PlantedThenSecondLine, FirstLinesOnly, PlantedOnly } Shows;
};

const BetweenLines BetweenLinesCases[] = {
    {"Removed", [](const fs::path& DayFile, const fs::path&) { fs::remove(DayFile); }, BetweenLines::OnlySecondLine},
    {"MovedAway", [](const fs::path& DayFile, const fs::path& Elsewhere) { fs::rename(DayFile, Elsewhere); },
     BetweenLines::OnlySecondLine},
    {"FolderRemoved", [](const fs::path& DayFile, const fs::path&) { fs::remove_all(DayFile.parent_path()); },
     BetweenLines::OnlySecondLine},
    {"ReplacedByAnotherFile",
     [](const fs::path& DayFile, const fs::path& Elsewhere) {
       std::ofstream(Elsewhere, std::ios::binary) << "planted\r\n";
       fs::rename(Elsewhere, DayFile);
     },
     BetweenLines::PlantedThenSecondLine},
    // Refused as any symbolic link in the day file's place.
    {"ReplacedBySymlink",
     [](const fs::path& DayFile, const fs::path& Elsewhere) {
       std::ofstream(Elsewhere, std::ios::binary) << "planted\r\n";
       fs::remove(DayFile);
       fs::create_symlink(Elsewhere, DayFile);
     },
     BetweenLines::PlantedOnly},
    // A second name would carry the lines to a file somewhere else.
    {"GivenASecondName",
     [](const fs::path& DayFile, const fs::path& Elsewhere) { fs::create_hard_link(DayFile, Elsewhere); },
     BetweenLines::FirstLinesOnly},
};

class LogBetweenLinesTest : public LogKeptFileTest, public ::testing::WithParamInterface<BetweenLines> {};

TEST_P(LogBetweenLinesTest, NextLineGoesWhereAFreshlyOpenedDayFileWouldTakeIt) {
  const fs::path Elsewhere = AppData() / "elsewhere";
  GetParam().Change(LogFile(), Elsewhere);
  WriteLog(u"second", u"", TLogLevel::llError);
  const std::string Second = LineText(TestNow, "second");
  switch (GetParam().Shows) {
    case BetweenLines::OnlySecondLine: EXPECT_EQ(LogContent(), Second); break;
    case BetweenLines::PlantedThenSecondLine: EXPECT_EQ(LogContent(), "planted\r\n" + Second); break;
    case BetweenLines::FirstLinesOnly: EXPECT_EQ(LogContent(), FirstContent); break;
    case BetweenLines::PlantedOnly: EXPECT_EQ(ReadFileBytes(Elsewhere), "planted\r\n"); break;
  }
}

INSTANTIATE_TEST_SUITE_P(Changes, LogBetweenLinesTest, ::testing::ValuesIn(BetweenLinesCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(LogKeptFileTest, NextLineFollowsAChangedMachineWideFolder) {
  const fs::path Other = AppData() / "other-base";
  fs::create_directory(Other);
  UseMachineAppData(Other);
  WriteLog(u"second", u"", TLogLevel::llError);
  EXPECT_EQ(LogContent(), FirstContent);
  const fs::path Moved = Other / VendorFolder().filename() / ComponentName / LogFile().filename();
  EXPECT_EQ(ReadFileBytes(Moved), LineText(TestNow, "second"));
  fs::remove_all(Other);
}

TEST_F(LogKeptFileTest, OneDescriptorKeptUntilLoggingIsSwitchedOffAndNonePassesToAProgram) {
  WriteLog(u"second", u"", TLogLevel::llError);
  const std::vector<int> Kept = DescriptorsOn(LogFile());
  ASSERT_EQ(Kept.size(), 1u);
  EXPECT_NE(::fcntl(Kept[0], F_GETFD) & FD_CLOEXEC, 0);
  SetLogMode(TLogMode::lmOff);
  EXPECT_TRUE(DescriptorsOn(LogFile()).empty());
}

// A forked child shares the parent's open file and with it the lock between
// processes: its lines must wait for the lock as any other process's.
TEST_F(LogKeptFileTest, ForkedChildWaitsForTheLockItsParentHolds) {
  const std::vector<int> Kept = DescriptorsOn(LogFile());
  ASSERT_EQ(Kept.size(), 1u);
  ASSERT_EQ(::flock(Kept[0], LOCK_EX), 0);
  const pid_t Child = ::fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    WriteLog(u"child", u"", TLogLevel::llError);
    ::_exit(0);
  }
  // Long enough for the child to reach its append while the lock is held.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string Marker = "held by the parent\r\n";
  ASSERT_EQ(::write(Kept[0], Marker.data(), Marker.size()), static_cast<ssize_t>(Marker.size()));
  ::flock(Kept[0], LOCK_UN);
  int Status = 0;
  ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
  EXPECT_EQ(LogContent(), FirstContent + Marker + LineText(TestNow, "child"));
}

}  // namespace
}  // namespace logtest
