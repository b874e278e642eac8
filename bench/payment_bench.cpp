// One card payment (a sale) against the simulated terminal with the pacing
// between exchanges switched off: through the component's tables as the host
// calls it (payment/ours), beside the very connector calls the driver makes
// for that sale made straight on the automation objects (payment/direct),
// the floor no driver can go under. Before measuring, one sale of each kind
// runs on a reset terminal and their traces (objects made, link calls, the
// request's fields in order) must agree, so the floor stays the same work.
// No main: the programs that link this file bring theirs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "acquiring/uDriver.h"
#include "bench/RacingClock.h"
#include "bridge/v8napi.h"
#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/bridge/FakeHost.h"
#include "tools/terminal-sim/ProcessRegistration.h"

namespace {

using automation::Argument;
using automation::ObjectRef;
using automation::Value;

constexpr char16_t kExtension[] = u"a_orvextx1c83n";

// The simulated terminal of this process and its control object.
struct TTerminal {
  TTerminal() {
    terminal_sim::RegisterSimulator();
    Control = automation::CreateObject(u"Tandemix.Simulator");
  }
  void Reset() const { Control->Call(u"Reset", {}); }
  // What a sale left behind that tells the calls it made.
  std::u16string Trace() const {
    std::u16string Text;
    for (const char16_t* Name : {u"PacketsCreated", u"LinksCreated", u"InitResourcesCount", u"FreeResourcesCount",
                                 u"ExchangeCount", u"LastChannel", u"LastTimeout"})
      Text += std::u16string(Name) + u"=" + automation::ToText(Control->Get(Name)) + u";";
    // The request's field names in the order of their puts; the values (the
    // transaction number, the moment) differ from sale to sale.
    const std::u16string Request = automation::ToText(Control->Get(u"LastRequest"));
    for (std::size_t Start = 0; Start < Request.size();) {
      const std::size_t End = std::min(Request.find(u';', Start), Request.size());
      Text += Request.substr(Start, Request.find(u'=', Start) - Start) + u",";
      Start = End + 1;
    }
    return Text;
  }

  ObjectRef Control;
};

TTerminal& Terminal() {
  static TTerminal Instance;
  return Instance;
}

// The racing clock for the driver and the terminal while a benchmark runs.
struct TRacingTerminal {
  TRacingTerminal() { Terminal(); }
  bench::TRacingClock Clock;
  terminal_sim::ClockShare Shared{Clock};
};

// The driver class as the library registers it, and one component of it with
// a host's connection and memory manager.
class TDriverHost {
public:
  TDriverHost() {
    static const TClassReg& Class = []() -> const TClassReg& {
      TCommonDriver::RegisterDriver<TDriver>(kExtension, u"Payment benchmark", u"");
      return *ClassRegistry().FindClass(kExtension);
    }();
    FComponent = CreateComponentObject(Class);
    if (FComponent == nullptr) throw Exception(std::u16string(u"The driver's component cannot be created"));
    InitDone().setMemManager(&FComponent->InitDoneTable, static_cast<TV8MemoryManager*>(&FMemory));
    InitDone().Init(&FComponent->InitDoneTable, static_cast<TV8AddInDefBaseEx*>(&FConnection));
    FPay = Ext().FindMethod(Self(), u"PayByPaymentCard");
  }
  ~TDriverHost() { DestroyComponentObject(FComponent); }
  TDriverHost(const TDriverHost&) = delete;
  TDriverHost& operator=(const TDriverHost&) = delete;

  // PayByPaymentCard("dev", 1, "", 123.45, "", "", "", "", ""), the five last
  // in-out texts as the host hands them; true when the terminal approved.
  bool Pay() {
    std::array<V8Variant, 9> Params{};
    V8SetWString(&FMemory, Params[0], u"dev");
    V8SetInt(&FMemory, Params[1], 1);
    V8SetWString(&FMemory, Params[2], u"");
    V8SetDouble(&FMemory, Params[3], 123.45);
    for (std::size_t Index = 4; Index < Params.size(); ++Index) V8SetWString(&FMemory, Params[Index], u"");
    V8Variant Ret{};
    const bool Called = Ext().CallAsFunc(Self(), FPay, &Ret, Params.data(), static_cast<int32_t>(Params.size()));
    const bool Approved = Called && Ret.vt == VTYPE_BOOL && Ret.bVal;
    for (V8Variant& Param : Params) V8ClearVar(&FMemory, Param);
    V8ClearVar(&FMemory, Ret);
    return Approved;
  }

private:
  // Host memory straight from the heap: the figure is the driver's, not a
  // bookkeeping host's.
  struct THeap : TV8MemoryManager {
    THeap() : TV8MemoryManager{&kOps} {}
    static bool V8_CALL Alloc(TV8MemoryManager*, void** Memory, HostULong Size) {
      *Memory = std::malloc(Size == 0 ? 1 : Size);
      return *Memory != nullptr;
    }
    static void V8_CALL Free(TV8MemoryManager*, void** Memory) { std::free(*Memory); }
    static constexpr TV8MemoryManagerOps kOps = {{}, &Alloc, &Free};
  };

  void* Self() { return &FComponent->LanguageExtenderTable; }
  const TInitDoneOps& InitDone() { return *static_cast<const TInitDoneOps*>(FComponent->InitDoneTable); }
  const TLanguageExtenderOps& Ext() {
    return *static_cast<const TLanguageExtenderOps*>(FComponent->LanguageExtenderTable);
  }

  THeap FMemory;
  RecordingConnection FConnection;
  ComponentObject* FComponent = nullptr;
  HostLong FPay = -1;
};

// The connector calls of the driver's sale, made straight: the objects of the
// last sale are freed as the next one starts, fresh packets and link, the
// request's fields, the channel, the exchange, the response's fields read
// back with the automation's conversions.
class TDirectSale {
public:
  ~TDirectSale() { Release(); }

  bool Run() {
    Release();
    FRequest = automation::CreateObject(u"Tandemix.SAPacket");
    FResponse = automation::CreateObject(u"Tandemix.SAPacket");
    FLink = automation::CreateObject(u"Tandemix.TXLink");
    FLink->Call(u"InitResources", {});
    FRequest->Put(u"OperationCode", Value(int32_t{1}));
    FRequest->Put(u"Amount", Value(std::u16string(u"12345")));
    FTrxId = FTrxId % 65534 + 1;
    FRequest->Put(u"TerminalTrxID", Value(FTrxId));
    FLink->Call(u"InitResources", {});
    FRequest->Put(u"CardEntryMode", Value(int32_t{3}));
    FRequest->Put(u"CurrencyCode", Value(std::u16string(u"643")));
    FRequest->Put(u"TerminalId", Value(std::u16string(u"00000001")));
    FRequest->Put(u"TerminalDateTime", Value(std::u16string(u"20260101120000")));
    benchmark::DoNotOptimize(automation::ToInt32(FRequest->Get(u"OperationCode")));
    std::array<Argument, 6> Channel = {Argument::ByValue(int32_t{0}), Argument::ByValue(int32_t{115200}),
                                       Argument::ByValue(int32_t{8}), Argument::ByValue(int32_t{0}),
                                       Argument::ByValue(int32_t{0}), Argument::ByValue(int32_t{2})};
    FLink->Call(u"SetChannelTerminalParam", Channel);
    Value RequestValue = FRequest;
    Value ResponseValue = FResponse;
    Value TimeoutValue = int32_t{180000};
    std::array<Argument, 3> Packets = {Argument::ByRef(RequestValue), Argument::ByRef(ResponseValue),
                                       Argument::ByRef(TimeoutValue)};
    FLink->Call(u"Exchange", Packets);
    const int32_t Status = automation::ToInt32(FResponse->Get(u"Status"));
    benchmark::DoNotOptimize(automation::ToInt32(FResponse->Get(u"CommandResult")));
    for (const char16_t* Name : {u"TextResponse", u"ResponseCodeHost", u"ReceiptData"})
      benchmark::DoNotOptimize(automation::ToText(FResponse->Get(Name)));
    benchmark::DoNotOptimize(automation::ToInt64(FRequest->Get(u"TerminalTrxID")));
    for (const char16_t* Name : {u"ReferenceNumber", u"AuthorizationCode", u"PAN"})
      benchmark::DoNotOptimize(automation::ToText(FResponse->Get(Name)));
    return Status == 1;
  }

private:
  void Release() {
    if (FLink) FLink->Call(u"FreeResources", {});
    FLink.reset();
    FRequest.reset();
    FResponse.reset();
  }

  ObjectRef FRequest;
  ObjectRef FResponse;
  ObjectRef FLink;
  int32_t FTrxId = 0;
};

// The trace of one sale on a reset terminal.
template <class TSale>
std::u16string TraceOf(TSale&& Sale) {
  Terminal().Reset();
  Sale();
  return Terminal().Trace();
}

void BM_PaymentOurs(benchmark::State& State) {
  const TRacingTerminal Racing;
  TDriverHost Host;
  TDirectSale Direct;
  const std::u16string Ours = TraceOf([&] { Host.Pay(); });
  if (Ours != TraceOf([&] { Direct.Run(); })) {
    State.SkipWithError(("the direct sale does not repeat the driver's calls: " + ToUtf8(Ours)).c_str());
    return;
  }
  for (auto _ : State) {
    if (!Host.Pay()) {
      State.SkipWithError("the sale was not approved");
      break;
    }
  }
}
BENCHMARK(BM_PaymentOurs)->Name("payment/ours");

void BM_PaymentDirect(benchmark::State& State) {
  const TRacingTerminal Racing;
  TDirectSale Direct;
  for (auto _ : State) {
    if (!Direct.Run()) {
      State.SkipWithError("the sale was not approved");
      break;
    }
  }
}
BENCHMARK(BM_PaymentDirect)->Name("payment/direct");

}  // namespace
