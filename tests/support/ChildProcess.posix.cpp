#include "tests/support/ChildProcess.posix.h"

#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/HostTestSupport.h"

namespace hosttest {

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

std::string ActionAsTheHostDoes(std::u16string_view Action) {
  HostMemoryManager Memory;
  HostConnection Connection;
  Component Driver(FixtureLibrary(), u"a_orvextx1c83n", ComponentSetup{Memory, Connection});
  const CallOutcome Outcome = Driver.Call(u"DoAdditionalAction", {Text(Action)});
  const CallOutcome Error = Driver.Call(u"GetLastError", {});
  const CallOutcome Next = Driver.Call(u"GetInterfaceRevision", {});
  const auto Describe = [](const std::optional<HostValue>& Value) {
    if (!Value) return std::string("none");
    if (const bool* Flag = std::get_if<bool>(&*Value)) return std::string(*Flag ? "true" : "false");
    if (const int32_t* Number = std::get_if<int32_t>(&*Value)) return std::to_string(*Number);
    return std::string("other");
  };
  return Describe(Outcome.Return) + "|" + Describe(Error.Return) + "|" + ToUtf8(TextOf(Error.Params.at(0))) + "|" +
         (Next.Ok ? "ok" : "failed");
}

}  // namespace hosttest
