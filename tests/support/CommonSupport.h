#pragma once
// Small helpers of tests in every subsystem.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace testsupport {

LocalDateTime MakeTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);

// How ViewLog's message starts where no window can be shown: the tests other
// than the window tests run without a display (under Wine too, scripts/wine-run).
#ifdef _WIN32
inline constexpr std::u16string_view kViewLogWithoutDisplay = u"Cannot create the window: ";
#else
inline constexpr std::u16string_view kViewLogWithoutDisplay = u"Окно просмотра лога недоступно в этой сборке";
#endif

// A path of the build machine (as CMake names it) as the test program reaches
// it: under Wine the build machine's root is drive Z:.
std::filesystem::path BuildMachinePath(const std::string& Utf8Path);

// The file's bytes as they are; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& File);

}  // namespace testsupport
