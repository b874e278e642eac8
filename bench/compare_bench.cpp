// The driver beside its yardsticks, each figure a pair named
// "<figure>/ours" and "<figure>/<anchor>": the peer add-in (bench/peer) for the
// host calls, the creation of a component and the load of the library, and the
// least an appender must do for the log. Both libraries are loaded with dlopen
// and called through the same host emulator code; scripts/bench runs the pairs
// interleaved and prints their ratios.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "bench/CompareHost.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace {

using namespace comparebench;
namespace fs = std::filesystem;

// The process's own scratch data folder, made before the first benchmark runs.
std::optional<ScratchDataFolder>& Scratch() {
  static std::optional<ScratchDataFolder> Folder;
  return Folder;
}

void Fail(benchmark::State& State) { State.SkipWithError(ToUtf8(CurrentExceptionMessage()).c_str()); }

// The host's numbers of the trivial members, found by name as the host finds them.
HostLong RevisionMethod(Session& Host) { return Host.Object().MethodNumber(u"GetInterfaceRevision"); }
HostLong VersionProperty(Session& Host) { return Host.Object().PropNumber(u"Version"); }

bool CallFunction(Session& Host, HostLong Number, V8Variant& Return) {
  return Host.Extender().CallAsFunc(Host.ExtenderInterface(), Number, &Return, nullptr, 0);
}

// The loop of a trivial call: both answers are integers, so the host frees nothing.
template <class Call>
void RepeatTrivialCall(benchmark::State& State, Call&& Once) {
  V8Variant Return;
  v8host::ZeroRecord(Return);
  for (auto _ : State) benchmark::DoNotOptimize(Once(Return));
  if (Return.vt != VTYPE_I4) State.SkipWithError("the call did not answer an integer");
}

void TrivialCallOurs(benchmark::State& State) try {
  Session Host(Driver());
  Host.SetLogEnabled(false);
  const HostLong Number = RevisionMethod(Host);
  RepeatTrivialCall(State, [&](V8Variant& Return) { return CallFunction(Host, Number, Return); });
} catch (...) {
  Fail(State);
}

void TrivialCallPeer(benchmark::State& State) try {
  Session Host(Peer());
  const HostLong Number = VersionProperty(Host);
  RepeatTrivialCall(
      State, [&](V8Variant& Return) { return Host.Extender().GetPropVal(Host.ExtenderInterface(), Number, &Return); });
} catch (...) {
  Fail(State);
}

// A property read as the host makes it, by the property's number. The values
// read are numbers or Booleans, so the host frees nothing between reads and
// the figure is the lookup and the conversion alone.
void RepeatPropertyRead(benchmark::State& State, Session& Host, HostLong Number) {
  V8Variant Value;
  v8host::ZeroRecord(Value);
  for (auto _ : State) benchmark::DoNotOptimize(Host.Extender().GetPropVal(Host.ExtenderInterface(), Number, &Value));
  if (Value.vt != VTYPE_I4 && Value.vt != VTYPE_BOOL) State.SkipWithError("the property is not a number or a Boolean");
}

// The driver answers a property by its number through its name: the later the
// property stands in the class's table, the longer the walk. Port stands near
// the start, LogEnabled last.
void PropertyReadOurs(benchmark::State& State, const char16_t* Name) try {
  Session Host(Driver());
  Host.SetLogEnabled(false);
  RepeatPropertyRead(State, Host, Host.Object().PropNumber(Name));
} catch (...) {
  Fail(State);
}

void PropertyReadPeer(benchmark::State& State) try {
  Session Host(Peer());
  RepeatPropertyRead(State, Host, VersionProperty(Host));
} catch (...) {
  Fail(State);
}

// GetClassObject, Init, setMemManager, SetLocale, then RegisterExtensionAs, and
// DestroyObject: a component's whole life without a call.
void CreateInit(benchmark::State& State, const AddIn& (*Subject)()) try {
  const AddIn& Library = Subject();
  HostObjects Host;
  for (auto _ : State) {
    v8host::Component Object(Library.Library, Library.ClassName, Host.Setup());
    benchmark::DoNotOptimize(Object.ExtensionName());
  }
  // What each object was made with: the pair compares alike only at equal counts.
  v8host::Component Object(Library.Library, Library.ClassName, Host.Setup());
  State.counters["members"] = static_cast<double>(Object.PropCount() + Object.MethodCount());
} catch (...) {
  Fail(State);
}

void Load(benchmark::State& State, const AddIn& (*Subject)()) try {
  const std::string Path = Subject().Path;
  double PageFaults = 0;
  for (auto _ : State) {
    const LoadFigures Figures = LoadInFreshProcess(Path);
    State.SetIterationTime(static_cast<double>(Figures.Nanoseconds) * 1e-9);
    PageFaults += static_cast<double>(Figures.PageFaults);
  }
  State.counters["page_faults"] = benchmark::Counter(PageFaults, benchmark::Counter::kAvgIterations);
} catch (...) {
  Fail(State);
}

// ---------------------------------------------------------------------------
// The driver's log file: the newest one below the scratch folder.
fs::path NewestLogFile() {
  std::optional<fs::path> Newest;
  for (const auto& Entry : fs::recursive_directory_iterator(Scratch()->Path())) {
    if (!Entry.is_regular_file() || Entry.path().extension() != ".log") continue;
    if (!Newest || Entry.last_write_time() > fs::last_write_time(*Newest)) Newest = Entry.path();
  }
  if (!Newest) throw Exception(std::string_view("The driver wrote no log file"));
  return *Newest;
}

// What one call of GetInterfaceRevision adds to the log: its two lines.
std::string BytesOfOneCall(Session& Host, HostLong Number, const fs::path& File) {
  const std::uintmax_t Before = fs::file_size(File);
  V8Variant Return;
  v8host::ZeroRecord(Return);
  CallFunction(Host, Number, Return);
  std::string Bytes(fs::file_size(File) - Before, '\0');
  std::ifstream Log(File, std::ios::binary);
  Log.seekg(static_cast<std::streamoff>(Before));
  Log.read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (std::count(Bytes.begin(), Bytes.end(), '\n') != 2) throw Exception("A logged call wrote other than two lines");
  return Bytes;
}

// A session with the log on and its start banner already written.
class LoggingSession {
public:
  LoggingSession() : FNumber(RevisionMethod(FHost)) {
    FHost.SetLogEnabled(true);
    V8Variant Return;
    v8host::ZeroRecord(Return);
    CallFunction(FHost, FNumber, Return);
    FFile = NewestLogFile();
  }
  ~LoggingSession() {
    try {
      FHost.SetLogEnabled(false);
    } catch (...) {
    }
  }
  LoggingSession(const LoggingSession&) = delete;
  LoggingSession& operator=(const LoggingSession&) = delete;

  Session& Host() noexcept { return FHost; }
  HostLong Number() const noexcept { return FNumber; }
  const fs::path& File() const noexcept { return FFile; }

private:
  Session FHost{Driver()};
  HostLong FNumber;
  fs::path FFile;
};

void LoggedCallOurs(benchmark::State& State) try {
  LoggingSession Log;
  BytesOfOneCall(Log.Host(), Log.Number(), Log.File());
  V8Variant Return;
  v8host::ZeroRecord(Return);
  for (auto _ : State) benchmark::DoNotOptimize(CallFunction(Log.Host(), Log.Number(), Return));
} catch (...) {
  Fail(State);
}

// The least any appender does with the same bytes in the same folder: open
// for appending, write, close.
void LoggedCallRawAppend(benchmark::State& State) try {
  std::string Bytes;
  fs::path File;
  {
    LoggingSession Log;
    Bytes = BytesOfOneCall(Log.Host(), Log.Number(), Log.File());
    File = Log.File().parent_path() / "raw_append.bytes";
  }
  for (auto _ : State) {
    const int Fd = ::open(File.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    benchmark::DoNotOptimize(::write(Fd, Bytes.data(), Bytes.size()));
    ::close(Fd);
  }
  fs::remove(File);
} catch (...) {
  Fail(State);
}

}  // namespace

BENCHMARK(TrivialCallOurs)->Name("trivial_call/ours")->Unit(benchmark::kNanosecond);
BENCHMARK(TrivialCallPeer)->Name("trivial_call/peer")->Unit(benchmark::kNanosecond);
BENCHMARK_CAPTURE(PropertyReadOurs, early, u"Port")->Name("property_read_early/ours")->Unit(benchmark::kNanosecond);
BENCHMARK(PropertyReadPeer)->Name("property_read_early/peer")->Unit(benchmark::kNanosecond);
BENCHMARK_CAPTURE(PropertyReadOurs, last, u"LogEnabled")->Name("property_read_last/ours")->Unit(benchmark::kNanosecond);
BENCHMARK(PropertyReadPeer)->Name("property_read_last/peer")->Unit(benchmark::kNanosecond);
BENCHMARK_CAPTURE(CreateInit, ours, &Driver)->Name("create_init/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CreateInit, peer, &Peer)->Name("create_init/peer")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, ours, &Driver)->Name("load/ours")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, peer, &Peer)->Name("load/peer")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(LoggedCallOurs)->Name("logged_call/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(LoggedCallRawAppend)->Name("logged_call/raw_append")->Unit(benchmark::kMicrosecond);

// The scratch folder must exist before any library logs; payment_bench.cpp,
// when present, adds its benchmarks to this program and has no main of its own.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Scratch().emplace();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Scratch().reset();
  return 0;
}
