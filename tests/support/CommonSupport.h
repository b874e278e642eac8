#pragma once
// Small helpers of tests in every subsystem.
#include <filesystem>
#include <string>

#include "platform/DateTime.h"

namespace testsupport {

LocalDateTime MakeTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);

// The file's bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& File);

}  // namespace testsupport
