#include "LogTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "logging/uVInfo.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace logtest {

namespace {

std::string UniqueSuffix() {
  static std::atomic<int> Counter{0};
  const auto Stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(Stamp) + "-" + std::to_string(++Counter);
}

}  // namespace

std::string TimestampText(const LocalDateTime& Time) {
  const std::string Separator = ToUtf8(os::TimeSeparator());
  char Text[64];
  std::snprintf(Text, sizeof(Text), "%04d.%02d.%02d %02d%s%02d%s%02d.%03d", Time.Year, Time.Month, Time.Day, Time.Hour,
                Separator.c_str(), Time.Minute, Separator.c_str(), Time.Second, Time.Millisecond);
  return Text;
}

std::vector<std::string> SplitCrLfLines(const std::string& Content) {
  std::vector<std::string> Lines;
  std::size_t Start = 0;
  for (std::size_t End; (End = Content.find("\r\n", Start)) != std::string::npos; Start = End + 2)
    Lines.push_back(Content.substr(Start, End - Start));
  if (Start < Content.size()) Lines.push_back(Content.substr(Start));
  return Lines;
}

std::string ExpectedStartBanner() {
  const std::string Blanks(40, ' ');
  return Blanks + "\r\n" + "============Start log=============\r\n" + "OS version:\t" + ToUtf8(GetOSVersionText()) +
         "\r\n" + "Application:\t" + TEST_PROGRAM_NAME + "\r\n" + "App. version:\t0.0.0.0\r\n" + Blanks + "\r\n";
}

std::u16string WriterLine(int Writer, int Index) {
  const std::string Body(static_cast<std::size_t>(1500 + Index % 7 * 300), static_cast<char>('a' + Writer));
  return FromUtf8("writer " + std::to_string(Writer) + " line " + std::to_string(Index) + " " + Body + " end");
}

void WriteLinesAsWriter(int Writer, int Count) {
  for (int Index = 0; Index < Count; ++Index) WriteLog(u"concurrent", WriterLine(Writer, Index), TLogLevel::llDebug);
}

void LogTest::ExpectWholeWriterLines(const std::string& Content, int Writers, int LinesEach) const {
  const std::string Banner = ExpectedStartBanner();
  ASSERT_EQ(Content.substr(0, Banner.size()), Banner);
  std::vector<std::string> Actual = SplitCrLfLines(Content.substr(Banner.size()));
  std::vector<std::string> Expected;
  const std::string Prefix = TimestampText(TestNow) + "\tDEBUG\tconcurrent: \t";
  for (int Writer = 0; Writer < Writers; ++Writer)
    for (int Index = 0; Index < LinesEach; ++Index) Expected.push_back(Prefix + ToUtf8(WriterLine(Writer, Index)));
  std::sort(Actual.begin(), Actual.end());
  std::sort(Expected.begin(), Expected.end());
  EXPECT_TRUE(Actual == Expected) << "the log holds torn, lost or extra lines";
  EXPECT_EQ(Content.substr(Content.size() - 2), "\r\n");
}

void LogTest::SetUp() {
  FScratch = fs::temp_directory_path() / ("orvex-log-test-" + UniqueSuffix());
  fs::create_directories(FScratch);
  FAppData = UseMachineAppData(FScratch);
  FVendor = "OrvexTest-" + UniqueSuffix();
  SetLogVendor(FromUtf8(FVendor));
  SetLogComponentName(FromUtf8(ComponentName));
}

void LogTest::TearDown() {
  SetLogMode(TLogMode::lmOff);
  RestoreMachineAppData();
  std::error_code Ignored;
  fs::remove_all(VendorFolder(), Ignored);
  fs::remove_all(FScratch, Ignored);
}

}  // namespace logtest
