#pragma once
// Small helpers of tests in every subsystem.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace testsupport {

LocalDateTime MakeTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);

// A path of the build machine (as CMake names it) as the test program reaches
// it: under Wine the build machine's root is drive Z:.
std::filesystem::path BuildMachinePath(const std::string& Utf8Path);

// The file's bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& File);

// The message of the failure Action raises; empty when it raises none.
template <class TAction>
std::u16string FailureOf(TAction&& Action) {
  try {
    std::forward<TAction>(Action)();
  } catch (const Exception& E) {
    return E.Message();
  } catch (const std::exception& E) {
    return FromUtf8(E.what());
  }
  return {};
}

// For the guard's life no window can be shown (on Linux: no display is named),
// so that a test that runs the log viewer's action by name gets its failure,
// kViewLogWithoutDisplay, at once rather than a window waiting for a user. The
// window itself has tests of its own (tests/logging). Platform parts
// (HostTestEnv.*.cpp).
class TNoDisplay {
public:
  TNoDisplay();
  ~TNoDisplay();
  TNoDisplay(const TNoDisplay&) = delete;
  TNoDisplay& operator=(const TNoDisplay&) = delete;

private:
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};
extern const char16_t* const kViewLogWithoutDisplay;
// The help's action under the same guard (its window has tests of its own, tests/help).
extern const char16_t* const kShowHelpWithoutDisplay;

}  // namespace testsupport
