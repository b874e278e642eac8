// A host installed set-user-ID and started by root: the actions that show a
// window fail with the reason and the host goes on, where GTK, which refuses
// to start in such a process, would end it. The host is a copy of the host
// emulator given to the user nobody with mode 4755, in a folder below the
// build folder (the system's temporary folder may be mounted nosuid).
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/Sanitizers.h"
#include "tests/support/CommonSupport.h"

namespace {

namespace fs = std::filesystem;

struct TProgramRun {
  bool Finished = false;  // else killed after the time allowed
  bool Exited = false;
  int Status = -1;
  std::string Output;  // standard output and error together
};

// Runs the program, killing it when it has not ended within Limit: a window
// that opened would wait for a user.
TProgramRun RunProgram(const std::vector<std::string>& Arguments, std::chrono::seconds Limit) {
  TProgramRun Run;
  // Made before the fork: the child only execs.
  std::vector<char*> Argv;
  for (const std::string& Argument : Arguments) Argv.push_back(const_cast<char*>(Argument.c_str()));
  Argv.push_back(nullptr);
  int Pipe[2];
  if (::pipe(Pipe) != 0) return Run;
  const pid_t Child = ::fork();
  if (Child == 0) {
    ::dup2(Pipe[1], STDOUT_FILENO);
    ::dup2(Pipe[1], STDERR_FILENO);
    ::close(Pipe[0]);
    ::close(Pipe[1]);
    ::execv(Argv[0], Argv.data());
    ::_exit(127);
  }
  ::close(Pipe[1]);
  const auto Deadline = std::chrono::steady_clock::now() + Limit;
  Run.Finished = true;
  for (;;) {
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
    pollfd Output{Pipe[0], POLLIN, 0};
    if (Left.count() <= 0 || ::poll(&Output, 1, static_cast<int>(Left.count())) == 0) {
      Run.Finished = false;
      ::kill(Child, SIGKILL);
      break;
    }
    char Buffer[4096];
    const ssize_t Read = ::read(Pipe[0], Buffer, sizeof Buffer);
    if (Read <= 0) break;
    Run.Output.append(Buffer, static_cast<std::size_t>(Read));
  }
  ::close(Pipe[0]);
  int Status = 0;
  if (Child > 0 && ::waitpid(Child, &Status, 0) == Child) {
    Run.Exited = WIFEXITED(Status);
    Run.Status = Run.Exited ? WEXITSTATUS(Status) : WTERMSIG(Status);
  }
  return Run;
}

fs::path ProgramFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// A process that may gain no rights runs a set-user-ID program with its own.
bool MayGainRights() {
  return testsupport::ReadFileBytes("/proc/self/status").find("NoNewPrivs:\t1") == std::string::npos;
}

// Where the kernel cannot start 32-bit programs, they start through QEMU
// (scripts/install-deps registers it): the kernel then honours a set-user-ID
// bit only for an entry that asks for the program's own credentials ('C').
bool StartsThroughAnEmulatorWithoutItsRights() {
  if constexpr (sizeof(void*) == 8) return false;
  std::error_code Ignored;
  for (const fs::directory_entry& Entry : fs::directory_iterator("/proc/sys/fs/binfmt_misc", Ignored)) {
    const std::string Text = testsupport::ReadFileBytes(Entry.path());
    const std::size_t Flags = Text.find("\nflags: ");
    if (Text.starts_with("enabled\n") && Text.find("qemu-i386") != std::string::npos &&
        (Flags == std::string::npos ||
         Text.substr(Flags, Text.find('\n', Flags + 1) - Flags).find('C') == std::string::npos))
      return true;
  }
  return false;
}

// Why a set-user-ID copy in Folder cannot run as nobody here; empty when it can.
std::string WhyNoSetUserIdCopy(const fs::path& Folder) {
  if (StartsThroughAnEmulatorWithoutItsRights())
    return "32-bit programs start through QEMU here, without the rights of a set-user-ID program";
  if (::geteuid() != 0) return "needs root to give a copy of the host to the user nobody";
  if (::getpwnam("nobody") == nullptr) return "this machine has no user nobody";
  struct statvfs Mount {};
  if (::statvfs(Folder.c_str(), &Mount) != 0 || (Mount.f_flag & ST_NOSUID) != 0)
    return Folder.string() + " is on a file system mounted nosuid";
  if (!MayGainRights()) return "this process may gain no rights (no_new_privs): a set-user-ID bit would be ignored";
  for (fs::path Up = Folder; Up != Up.root_path(); Up = Up.parent_path()) {
    struct stat Info {};
    if (::stat(Up.c_str(), &Info) != 0 || (Info.st_mode & S_IXOTH) == 0)
      return Up.string() + " cannot be passed by the user nobody";
  }
  return {};
}

class SetUserIdHost : public ::testing::Test {
protected:
  void SetUp() override {
#ifdef ORVEX_ADDRESS_SANITIZED
    // The leak check ends a set-user-ID copy with a failure of its own (it may
    // not stop a process of another user), whatever the options say there.
    GTEST_SKIP() << "a sanitizer build's host cannot run set-user-ID; the other builds run this";
#endif
    const char* Display = std::getenv("DISPLAY");
    if (Display == nullptr || *Display == '\0')
      GTEST_SKIP() << "needs a display (DISPLAY): without one the action fails before GTK is reached";
    const std::string Reason = WhyNoSetUserIdCopy(ProgramFolder());
    if (!Reason.empty()) GTEST_SKIP() << Reason;
    std::string Pattern = (ProgramFolder() / "set-user-id-XXXXXX").string();
    ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
    FFolder = Pattern;
    fs::permissions(FFolder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    fs::copy_file(ProgramFolder() / DRIVER_LIBRARY_NAME, Driver());
    fs::copy_file(V8HOST_PATH, Host());
    const passwd* Nobody = ::getpwnam("nobody");
    ASSERT_EQ(::chown(Host().c_str(), Nobody->pw_uid, Nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(Host().c_str(), 04755), 0);
  }
  void TearDown() override {
    std::error_code Ignored;
    if (!FFolder.empty()) fs::remove_all(FFolder, Ignored);
  }

  fs::path Driver() const { return FFolder / DRIVER_LIBRARY_NAME; }
  fs::path Host() const { return FFolder / "v8host"; }

  // The action, the driver's last error and another call, on one component.
  TProgramRun RunAction(const std::string& Action) {
    const fs::path Script = FFolder / (Action + ".txt");
    std::ofstream(Script) << "call DoAdditionalAction " << Action << "\ncall GetLastError\ncall GetInterfaceRevision\n";
    return RunProgram({Host().string(), Driver().string(), "run", Script.string()}, std::chrono::seconds(60));
  }

  fs::path FFolder;
};

TEST_F(SetUserIdHost, TheWindowActionsFailWithTheReasonAndTheHostGoesOn) {
  for (const char* Action : {"ViewLog", "ShowHelp"}) {
    const TProgramRun Run = RunAction(Action);
    ASSERT_TRUE(Run.Finished) << Action << ": the host did not return\n" << Run.Output;
    EXPECT_TRUE(Run.Exited && Run.Status == 0) << Action << ": the host ended with " << Run.Status << "\n"
                                               << Run.Output;
    EXPECT_NE(Run.Output.find("call DoAdditionalAction text:" + std::string(Action) + " -> true\n  return: bool:false"),
              std::string::npos)
        << Action << ":\n"
        << Run.Output;
    EXPECT_NE(Run.Output.find("return: int:1001\n  param 0: text:Окно не может быть показано: "), std::string::npos)
        << Action << ":\n"
        << Run.Output;
    EXPECT_NE(Run.Output.find("set-user-ID"), std::string::npos) << Action << ":\n" << Run.Output;
    EXPECT_NE(Run.Output.find("call GetInterfaceRevision -> true"), std::string::npos) << Action << ":\n" << Run.Output;
  }
}

}  // namespace
