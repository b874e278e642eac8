#include <thread>

#include "LogTestSupport.h"

namespace logtest {
namespace {

TEST_F(LogTest, LinesFromSeveralThreadsStayWhole) {
  constexpr int Writers = 4, LinesEach = 200;
  SetLogMode(TLogMode::lmAll);
  // The banner is written before the threads start: its flag is not meant to be raced for.
  WriteStartBanner();
  std::vector<std::thread> Threads;
  for (int Writer = 0; Writer < Writers; ++Writer) Threads.emplace_back(WriteLinesAsWriter, Writer, LinesEach);
  for (std::thread& Thread : Threads) Thread.join();
  ExpectWholeWriterLines(LogContent(), Writers, LinesEach);
}

}  // namespace
}  // namespace logtest
