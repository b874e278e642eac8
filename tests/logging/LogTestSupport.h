#pragma once
// A private log place for every test: its own machine-wide folder where the
// platform lets the tests choose it, its own vendor word everywhere, a fixed clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logging/Common.Log.h"
#include "tests/support/CommonSupport.h"
#include "tests/support/FakeClock.h"

namespace logtest {

namespace fs = std::filesystem;

using testsupport::MakeTime;
using testsupport::ReadFileBytes;

// "2025.07.07 20:35:08.123" with the locale's time separator of this machine.
std::string TimestampText(const LocalDateTime& Time);

// The file's lines without their CR LF; a missing final CR LF shows as a last partial line.
std::vector<std::string> SplitCrLfLines(const std::string& Content);
// The six start-banner lines with their CR LF, as this test program writes them.
std::string ExpectedStartBanner();

// Lines of concurrent writers: each writer's lines are long and tell who wrote
// them, so a torn or interleaved append cannot match.
std::u16string WriterLine(int Writer, int Index);
void WriteLinesAsWriter(int Writer, int Count);

inline const char* const ComponentName = "a_orvextx1c83n";

class LogTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  fs::path AppData() const { return FAppData; }
  fs::path VendorFolder() const { return FAppData / FVendor; }
  fs::path LogFolder() const { return VendorFolder() / ComponentName; }
  fs::path LogFile(const std::string& Date = "2025.07.07") const {
    return LogFolder() / (std::string(ComponentName) + "_" + Date + ".log");
  }
  std::string LogContent(const std::string& Date = "2025.07.07") const { return ReadFileBytes(LogFile(Date)); }
  // Every line after the banner must be one whole writer line, each exactly once.
  void ExpectWholeWriterLines(const std::string& Content, int Writers, int LinesEach) const;

  // The writer's clock during a test, at a fixed time the test may move.
  testsupport::TFakeClock Clock;
  LocalDateTime& TestNow = Clock.Time.emplace(MakeTime(2025, 7, 7, 20, 35, 8, 123));

private:
  fs::path FScratch;
  fs::path FAppData;
  std::string FVendor;
};

// Platform parts (Platform.posix.cpp, Platform.windows.cpp).
// Points the machine-wide folder at Scratch where the platform allows it and
// answers the folder in force.
fs::path UseMachineAppData(const fs::path& Scratch);
void RestoreMachineAppData();
// Whether every local user may create and append files in Folder.
bool EveryoneMayWriteIn(const fs::path& Folder);

}  // namespace logtest
