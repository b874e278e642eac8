// The bridge's own cost per host call: a trivial method called through the
// component's operation tables (logging off and on, its parameters marked for
// the log masks or not) beside a direct call.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "tests/bridge/FakeHost.h"

namespace {

bool Trivial(TV8UserObject& Self, V8Variant* Ret, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Self.V8SetBool(*Ret, true);
  return true;
}

// As the driver's GetInterfaceRevision: no parameters, a number answered.
bool Revision(TV8UserObject& Self, V8Variant* Ret, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  Self.V8SetInt(*Ret, 4000);
  return true;
}

constexpr HostLong kTrivial = 0, kMarked = 1, kRevision = 2;

struct Host {
  Host() {
    Class.UserClass = [] { return std::make_unique<TV8UserObject>(); };
    Class.AddFunc(u"Trivial", u"Простой", &Trivial, 2);
    // The same method with both parameters marked: the call collects them for its log masks.
    Class.AddFunc(u"Marked", u"Помеченный", &Trivial, 2).Marks = {.CardNumbers = 0b10, .Secrets = 0b01};
    Class.AddFunc(u"Revision", u"Ревизия", &Revision, 0);
    Component = CreateComponentObject(Class);
    InitDone().Init(&Component->InitDoneTable, static_cast<TV8AddInDefBaseEx*>(&Connection));
    InitDone().setMemManager(&Component->InitDoneTable, static_cast<TV8MemoryManager*>(&Memory));
    Params[0].vt = VTYPE_I4;
    Params[0].lVal = 42;
    Params[1].vt = VTYPE_PWSTR;
    Params[1].vtRecWideString.pwstrVal = Text;
    Params[1].vtRecWideString.wstrLen = 4;
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  ~Host() { DestroyComponentObject(Component); }

  const TInitDoneOps& InitDone() { return *static_cast<const TInitDoneOps*>(Component->InitDoneTable); }
  const TLanguageExtenderOps& Ext() {
    return *static_cast<const TLanguageExtenderOps*>(Component->LanguageExtenderTable);
  }

  TClassReg Class;
  ComponentObject* Component = nullptr;
  CountingMemoryManager Memory;
  RecordingConnection Connection;
  char16_t Text[5] = u"text";
  V8Variant Params[2]{};
  V8Variant Ret{};
};

void CallThroughTables(benchmark::State& State, TLogMode Mode, HostLong Method = kTrivial) {
  const auto Folder = std::filesystem::temp_directory_path() / "orvex-call-bench";
  setenv("PROGRAMDATA", Folder.c_str(), 1);
  Host H;
  SetLogMode(Mode);
  void* Self = &H.Component->LanguageExtenderTable;
  for (auto _ : State) {
    benchmark::DoNotOptimize(H.Ext().CallAsFunc(Self, Method, &H.Ret, Method == kRevision ? nullptr : H.Params,
                                                Method == kRevision ? 0 : 2));
  }
  SetLogMode(TLogMode::lmOff);
  std::filesystem::remove_all(Folder);
}

void BM_HostCallLoggingOff(benchmark::State& State) { CallThroughTables(State, TLogMode::lmOff); }
void BM_HostCallLoggingOn(benchmark::State& State) { CallThroughTables(State, TLogMode::lmAll); }
void BM_HostCallLoggingOnMarked(benchmark::State& State) { CallThroughTables(State, TLogMode::lmAll, kMarked); }
void BM_RevisionLoggingOff(benchmark::State& State) { CallThroughTables(State, TLogMode::lmOff, kRevision); }
void BM_RevisionLoggingOn(benchmark::State& State) { CallThroughTables(State, TLogMode::lmAll, kRevision); }

void BM_DirectCall(benchmark::State& State) {
  Host H;
  TV8UserObject& Driver = *H.Component->Driver[0];
  const TV8CallAsFunc Method = H.Class.MethList[0]->ExecuteFunc;
  for (auto _ : State) {
    benchmark::DoNotOptimize(Method(Driver, &H.Ret, H.Params, 2, Driver.V8));
  }
}

}  // namespace

BENCHMARK(BM_DirectCall);
BENCHMARK(BM_HostCallLoggingOff);
BENCHMARK(BM_HostCallLoggingOn);
BENCHMARK(BM_HostCallLoggingOnMarked);
BENCHMARK(BM_RevisionLoggingOff);
BENCHMARK(BM_RevisionLoggingOn);
BENCHMARK_MAIN();
