#include "CommonSupport.h"

#include <fstream>
#include <sstream>

#include "platform/Text.h"

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

std::filesystem::path BuildMachinePath(const std::string& Utf8Path) {
  std::u16string Path = FromUtf8(Utf8Path);
#ifdef _WIN32
  if (!Path.empty() && Path.front() == u'/') Path = u"Z:" + Path;
  for (auto& C : Path) {
    if (C == u'/') C = u'\\';
  }
#endif
  return std::filesystem::path(Path);
}

std::string ReadFileBytes(const std::filesystem::path& File) {
  std::ifstream Stream(File, std::ios::binary);
  std::ostringstream Content;
  Content << Stream.rdbuf();
  return Content.str();
}

}  // namespace testsupport
