#include "tests/support/SecondUser.posix.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool BecomeAttacker() {
  if (!RunningAsRoot()) return true;
  const passwd* Nobody = ::getpwnam("nobody");
  return Nobody != nullptr && ::setgroups(0, nullptr) == 0 &&
         ::setresgid(Nobody->pw_gid, Nobody->pw_gid, Nobody->pw_gid) == 0 &&
         ::setresuid(Nobody->pw_uid, Nobody->pw_uid, Nobody->pw_uid) == 0;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

bool AsAttacker(const std::function<bool()>& Plant) {
  const pid_t Child = ::fork();
  if (Child < 0) return false;
  if (Child == 0) ::_exit(BecomeAttacker() && Plant() ? 0 : 1);
  int Status = 0;
  return ::waitpid(Child, &Status, 0) == Child && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

bool GiveToAttacker(const char* Path) {
  const passwd* Nobody = ::getpwnam("nobody");
  return Nobody != nullptr && ::lchown(Path, Nobody->pw_uid, Nobody->pw_gid) == 0;
}

}  // namespace testsupport
