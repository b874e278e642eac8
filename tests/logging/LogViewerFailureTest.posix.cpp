// Where the log viewer cannot be shown, the action fails with the reason and
// the host goes on. Each case runs in a child process of its own: the
// conditions (no display, GTK 2 in the process) cannot be undone once made,
// and GTK 3 must not be loaded beside GTK 2. This program does not link GTK.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/Gtk.posix.h"
#include "tests/support/HostTestSupport.h"

namespace hosttest {
namespace {

struct TChildResult {
  bool Exited = false;
  int Status = -1;
  std::string Report;
};

// Runs Body in a forked child and brings back what it answered; the child
// leaves by _exit, so nothing of the parent's state is torn down twice.
TChildResult RunInChild(const std::function<std::string()>& Body) {
  int Pipe[2];
  if (::pipe(Pipe) != 0) return {};
  const pid_t Child = ::fork();
  if (Child == 0) {
    ::close(Pipe[0]);
    const std::string Report = Body();
    const bool Written = ::write(Pipe[1], Report.data(), Report.size()) == static_cast<ssize_t>(Report.size());
    ::_exit(Written ? 0 : 3);
  }
  ::close(Pipe[1]);
  TChildResult Result;
  char Buffer[4096];
  for (ssize_t Read; (Read = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;) Result.Report.append(Buffer, Buffer + Read);
  ::close(Pipe[0]);
  int Status = 0;
  if (Child > 0 && ::waitpid(Child, &Status, 0) == Child) {
    Result.Exited = WIFEXITED(Status);
    Result.Status = Result.Exited ? WEXITSTATUS(Status) : WTERMSIG(Status);
  }
  return Result;
}

// The host opens the driver and asks for the log viewer; then, to show it is
// still running, asks the driver something else. Answers "return|code|message|next call".
std::string ViewLogAsTheHostDoes() {
  HostMemoryManager Memory;
  HostConnection Connection;
  Component Driver(FixtureLibrary(), u"a_orvextx1c83n", ComponentSetup{Memory, Connection});
  const CallOutcome Action = Driver.Call(u"DoAdditionalAction", {Text(u"ViewLog")});
  const CallOutcome Error = Driver.Call(u"GetLastError", {});
  const CallOutcome Next = Driver.Call(u"GetInterfaceRevision", {});
  const auto Describe = [](const std::optional<HostValue>& Value) {
    if (!Value) return std::string("none");
    if (const bool* Flag = std::get_if<bool>(&*Value)) return std::string(*Flag ? "true" : "false");
    if (const int32_t* Number = std::get_if<int32_t>(&*Value)) return std::to_string(*Number);
    return std::string("other");
  };
  return Describe(Action.Return) + "|" + Describe(Error.Return) + "|" + ToUtf8(TextOf(Error.Params.at(0))) + "|" +
         (Next.Ok ? "ok" : "failed");
}

void WithoutDisplay() {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
}

TEST(LogViewerUnavailable, TheActionFailsWithTheReasonAndTheHostGoesOn) {
  const struct {
    const char* Name;
    std::function<void()> Prepare;
    const char* Reason;
  } Cases[] = {
      {"no display named", WithoutDisplay, "нет графического дисплея"},
      {"a display that does not answer",
       [] {
         WithoutDisplay();
         ::setenv("DISPLAY", ":4093", 1);
       },
       "не удалось подключиться к графическому дисплею"},
      // A stand-in with GTK 2's name is enough: the driver must not even load GTK 3 beside it.
      {"GTK 2 in the process",
       [] {
         if (::dlopen(GTK2_STAND_IN_PATH, RTLD_NOW | RTLD_GLOBAL) == nullptr) ::_exit(4);
       },
       "в процессе уже загружена библиотека GTK 2"},
  };
  for (const auto& Case : Cases) {
    const TChildResult Child = RunInChild([&] {
      Case.Prepare();
      return ViewLogAsTheHostDoes();
    });
    EXPECT_TRUE(Child.Exited) << Case.Name << ": the child ended by signal " << Child.Status;
    EXPECT_EQ(Child.Status, 0) << Case.Name;
    const std::string Expected = std::string("false|1001|Окно не может быть показано: ") + Case.Reason;
    EXPECT_EQ(Child.Report.rfind(Expected, 0), 0u) << Case.Name << ": " << Child.Report;
    EXPECT_TRUE(Child.Report.ends_with("|ok")) << Case.Name << ": " << Child.Report;
  }
}

// A machine without GTK 3: the loader is given a library name that exists nowhere.
TEST(LogViewerUnavailable, NoGtk3Installed) {
  try {
    os::gtk::OpenGtk("libgtk-3-absent.so.0");
    ADD_FAILURE() << "a library that does not exist was opened";
  } catch (const Exception& Error) {
    EXPECT_EQ(ToUtf8(Error.Message()),
              "Окно не может быть показано: библиотека GTK 3 (libgtk-3-absent.so.0) не установлена");
  }
}

}  // namespace
}  // namespace hosttest
