#include "bench/CompareHost.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/posix/FileDescriptor.posix.h"
#include "tools/v8host/DynamicLibrary.h"

extern char** environ;

namespace comparebench {

namespace {

// What a host announces to a library that asks: the first capability level.
constexpr int kHostCapabilities = 1;
using TSetPlatformCapabilities = int (*)(int);

void AnnounceCapabilities(const std::string& Path) {
  const v8host::DynamicLibrary Again(FromUtf8(Path));
  if (void* Export = Again.FindExport("SetPlatformCapabilities"))
    reinterpret_cast<TSetPlatformCapabilities>(Export)(kHostCapabilities);
}

std::u16string FirstClass(const v8host::AddInLibrary& Library) {
  const std::vector<std::u16string> Classes = Library.ClassList();
  if (Classes.empty() || Classes.front().empty()) throw Exception(std::u16string(u"The library names no class"));
  return Classes.front();
}

std::string ReadAll(int Fd) {
  std::string Text;
  char Buffer[256];
  for (;;) {
    const ssize_t Count = ::read(Fd, Buffer, sizeof(Buffer));
    if (Count > 0) {
      Text.append(Buffer, static_cast<std::size_t>(Count));
    } else if (Count == 0 || errno != EINTR) {
      return Text;
    }
  }
}

class SpawnActions {
public:
  SpawnActions() { ::posix_spawn_file_actions_init(&FActions); }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&FActions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() noexcept { return &FActions; }

private:
  posix_spawn_file_actions_t FActions;
};

}  // namespace

// ---------------------------------------------------------------------------
AddIn::AddIn(const char* FilePath) : Path(FilePath), Library(FromUtf8(Path)), ClassName(FirstClass(Library)) {
  AnnounceCapabilities(Path);
}

const AddIn& Driver() {
  static const AddIn Library(ORVEX_BENCH_DRIVER);
  return Library;
}

const AddIn& Peer() {
  static const AddIn Library(ORVEX_BENCH_PEER);
  return Library;
}

Session::Session(const AddIn& Subject)
    : FObject(Subject.Library, Subject.ClassName, FHost.Setup()),
      FExtender(&FObject.Extender()),
      FExtenderInterface(FObject.ExtenderInterface()) {}

void Session::SetLogEnabled(bool Enabled) {
  const v8host::CallOutcome Outcome = FObject.SetProperty(FObject.PropNumber(u"LogEnabled"), Enabled);
  if (!Outcome.Ok) throw Exception(std::u16string(u"The driver refused LogEnabled"));
}

// ---------------------------------------------------------------------------
ScratchDataFolder::ScratchDataFolder() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "orvex-compare-bench-XXXXXX").string();
  if (!::mkdtemp(Pattern.data())) throw Exception("Cannot make a scratch folder in " + Pattern);
  FPath = Pattern;
  ::setenv("PROGRAMDATA", Pattern.c_str(), 1);
}

ScratchDataFolder::~ScratchDataFolder() {
  ::unsetenv("PROGRAMDATA");
  std::error_code Ignored;
  std::filesystem::remove_all(FPath, Ignored);
}

// ---------------------------------------------------------------------------
LoadFigures LoadInFreshProcess(const std::string& LibraryPath) {
  int Ends[2];
  if (::pipe2(Ends, O_CLOEXEC) != 0) throw Exception(std::string_view("Cannot make a pipe for the load probe"));
  os::TFileDescriptor Reader(Ends[0]);
  os::TFileDescriptor Writer(Ends[1]);

  SpawnActions Actions;
  ::posix_spawn_file_actions_adddup2(Actions.Get(), Writer.Get(), STDOUT_FILENO);
  std::string Program = ORVEX_BENCH_LOAD_PROBE;
  std::string Argument = LibraryPath;
  char* Arguments[] = {Program.data(), Argument.data(), nullptr};
  pid_t Child = 0;
  const int Failure = ::posix_spawn(&Child, Program.c_str(), Actions.Get(), nullptr, Arguments, environ);
  if (Failure != 0) throw Exception("Cannot start " + Program + ": " + std::strerror(Failure));
  Writer.Reset();
  const std::string Output = ReadAll(Reader.Get());

  int Status = 0;
  while (::waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
  }
  long long Nanoseconds = 0;
  long long PageFaults = 0;
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0 ||
      std::sscanf(Output.c_str(), "%lld %lld", &Nanoseconds, &PageFaults) != 2)
    throw Exception("The load probe failed on " + LibraryPath);
  return {Nanoseconds, PageFaults};
}

}  // namespace comparebench
