#include "CommonSupport.h"

#include <fstream>
#include <sstream>

namespace testsupport {

LocalDateTime MakeTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond) {
  LocalDateTime Time;
  Time.Year = Year;
  Time.Month = Month;
  Time.Day = Day;
  Time.Hour = Hour;
  Time.Minute = Minute;
  Time.Second = Second;
  Time.Millisecond = Millisecond;
  return Time;
}

std::string ReadFileBytes(const std::filesystem::path& File) {
  std::ifstream Stream(File, std::ios::binary);
  std::ostringstream Content;
  Content << Stream.rdbuf();
  return Content.str();
}

}  // namespace testsupport
