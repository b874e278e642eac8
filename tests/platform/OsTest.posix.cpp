// The POSIX layer's own answers: fixed date layouts and the shared machine-wide folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/Os.h"
#include "tests/support/CommonSupport.h"

namespace platformtest {
namespace {

using testsupport::MakeTime;

mode_t ModeOf(const char* Path) {
  struct stat Info {};
  return ::stat(Path, &Info) == 0 ? Info.st_mode & 07777 : 0;
}

TEST(OsPosix, DatesUseTheFixedLayout) {
  EXPECT_EQ(os::FormatLocaleDateTime(MakeTime(2024, 3, 5, 10, 20, 30, 0), true), u"05.03.2024 10:20:30");
  EXPECT_EQ(os::FormatLocaleDateTime(MakeTime(2024, 3, 5, 0, 0, 0, 0), false), u"05.03.2024");
  EXPECT_EQ(os::TimeSeparator(), u":");
}

TEST(OsPosix, MachineFolderWithoutOverrideIsSharedAndSticky) {
  ::setenv("PROGRAMDATA", "", 1);
  const std::u16string Folder = os::MachineAppDataFolder();
  ::unsetenv("PROGRAMDATA");
  // Elsewhere only when /var/tmp refuses this user: then the per-user state folder.
  if (Folder == u"/var/tmp/ProgramData")
    EXPECT_EQ(ModeOf("/var/tmp/ProgramData"), 01777u);
  else
    EXPECT_NE(Folder.find(u"state"), std::u16string::npos);
}

}  // namespace
}  // namespace platformtest
