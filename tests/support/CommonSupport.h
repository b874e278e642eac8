#pragma once
// Small helpers of tests in every subsystem.
#include <exception>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/DateTime.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace testsupport {

LocalDateTime MakeTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);

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

}  // namespace testsupport
