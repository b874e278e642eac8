// The POSIX layer's own answers: fixed date layouts and the shared machine-wide folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Os.h"
#include "platform/Text.h"
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

// Each account keeps its log below the shared folder in one of its own that no
// other account may enter.
TEST(OsPosix, MachineFolderWithoutOverrideIsTheAccountsOwn) {
  ::setenv("PROGRAMDATA", "", 1);
  const std::u16string Folder = os::MachineAppDataFolder();
  ::unsetenv("PROGRAMDATA");
  // Elsewhere only when /var/tmp refuses this account: then the per-user state folder.
  if (!Folder.starts_with(u"/var/tmp/ProgramData/")) {
    EXPECT_NE(Folder.find(u"state"), std::u16string::npos) << ToUtf8(Folder);
    return;
  }
  EXPECT_EQ(ModeOf("/var/tmp/ProgramData"), 01777u);
  struct stat Info {};
  ASSERT_EQ(::lstat(ToUtf8(Folder).c_str(), &Info), 0);
  EXPECT_TRUE(S_ISDIR(Info.st_mode));
  EXPECT_EQ(Info.st_uid, ::geteuid());
  EXPECT_EQ(Info.st_mode & 077, 0u) << ToUtf8(Folder);
}

}  // namespace
}  // namespace platformtest
