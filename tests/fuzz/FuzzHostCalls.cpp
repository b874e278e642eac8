// The host call surface: one component per input, then a run of the calls a
// host may make in any order, by number or by name: methods with the declared
// number of records or with fewer or more, as functions or procedures; any
// type code with flag bits, texts with and without terminators, numbers,
// dates; property reads and writes; names, parameter counts and defaults;
// locales; a host out of memory. Behind it the simulated terminal, whose
// answers, forced response fields and faults the input chooses too.
//
// Nothing may crash, raise into the host, read or write outside a record, or
// keep or free a host block wrongly (the session's checks); a call that fails
// tells the host why.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzHost.h"

namespace {

using fuzzhost::TSession;

constexpr int kMaxSteps = 40;
constexpr std::size_t kMaxText = 64;
constexpr std::size_t kExtraRecords = 2;

const std::vector<std::u16string_view> kSettings = {u"Fault",
                                                    u"NextFault",
                                                    u"NextStatus",
                                                    u"NextCommandResult",
                                                    u"ModelNo",
                                                    u"Card",
                                                    u"FpsPaidAfter",
                                                    u"MerchantID",
                                                    u"Next.Status",
                                                    u"Next.CommandResult",
                                                    u"Next.TextResponse",
                                                    u"Next.ResponseCodeHost",
                                                    u"Next.PAN",
                                                    u"Next.ReceiptData",
                                                    u"Next.AdditionalData",
                                                    u"Next.ReferenceNumber",
                                                    u"Next.ModelNo",
                                                    u"Next.FileData",
                                                    u"Next.TerminalTrxID",
                                                    u"Next.AuthorizationCode",
                                                    u"Force.Status",
                                                    u"Force.PAN",
                                                    u"Force.ReceiptData",
                                                    u"Force.AdditionalData",
                                                    u"Next.MerchantID"};

// Faults, statuses, cards and the shapes of the response fields.
const std::vector<std::u16string_view> kSettingValues = {u"None",
                                                         u"CreatePacket",
                                                         u"CreateLink",
                                                         u"Create",
                                                         u"ExchangeFails",
                                                         u"Timeout",
                                                         u"StatusText",
                                                         u"CommandResultText",
                                                         u"MissingFields",
                                                         u"BadAdditionalData",
                                                         u"BadReceiptData",
                                                         u"0",
                                                         u"1",
                                                         u"2",
                                                         u"13",
                                                         u"16",
                                                         u"17",
                                                         u"34",
                                                         u"53",
                                                         u"99",
                                                         u"MIR",
                                                         u"VISA",
                                                         u"MC",
                                                         u"",
                                                         u"Tandemix SIM-1^FAN:PST;SSLIP;CWD;ECNCPK;PC;CPQR;LCT;",
                                                         u"0xDF^5^hello~0xDA^3^abc~0xDE^3^MIR~",
                                                         u"EE0CD1043132333444D203414243D301",
                                                         u"DE10D1043132333444D2034D4952D30400000001",
                                                         u"F608D106687474703A2F",
                                                         u"2200001234567890"};

class TFuzzedHost {
public:
  explicit TFuzzedHost(FuzzedDataProvider& In) : FIn(In), FSession(In.ConsumeBool()) {
    for (HostLong Number = 0, Count = FSession.MethodCount(); Number < Count; ++Number) {
      KeepName(FMethodNames, FSession.Ops().GetMethodName(FSession.Extender(), Number, 0));
      KeepName(FMethodNames, FSession.Ops().GetMethodName(FSession.Extender(), Number, 1));
    }
    for (HostLong Number = 0, Count = FSession.PropCount(); Number < Count; ++Number) {
      KeepName(FPropNames, FSession.Ops().GetPropName(FSession.Extender(), Number, 0));
      KeepName(FPropNames, FSession.Ops().GetPropName(FSession.Extender(), Number, 1));
    }
    for (const auto& Name : FPropNames) FPropNameViews.push_back(Name);
    for (const auto& Name : FMethodNames) FMethodNameViews.push_back(Name);
  }

  void Run() {
    for (int Step = 0; Step < kMaxSteps && FIn.remaining_bytes() > 0; ++Step) {
      switch (FIn.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
        case 1:
        case 2:
        case 3: CallMethod(); break;
        case 4: ReadProperty(); break;
        case 5: WriteProperty(); break;
        case 6: fuzzhost::SetSimulator(Pick(kSettings), Pick(kSettingValues)); break;
        case 7: AskMetadata(); break;
        case 8: FSession.SetLocale(fuzzhost::FuzzedText(FIn, kMaxText)); break;
        default: FSession.Memory.RefuseAllocations = !FSession.Memory.RefuseAllocations;
      }
    }
    FSession.Memory.RefuseAllocations = false;
  }

private:
  void KeepName(std::vector<std::u16string>& Names, const V8Char* Name) {
    if (Name) Names.emplace_back(Name);
    FSession.TakeName(Name);
  }

  std::u16string Pick(const std::vector<std::u16string_view>& Items) {
    return fuzzhost::PickText(FIn, Items, kMaxText);
  }

  // Mostly a number the component has, now and then any number at all.
  HostLong Number(HostLong Count) {
    if (Count <= 0 || FIn.ConsumeIntegralInRange<int>(0, 15) == 0) return FIn.ConsumeIntegral<HostLong>();
    return FIn.ConsumeIntegralInRange<HostLong>(0, Count - 1);
  }

  std::vector<V8Variant> Records(std::size_t Count) {
    std::vector<V8Variant> Out;
    for (std::size_t I = 0; I < Count; ++I) Out.push_back(fuzzhost::FuzzedRecord(FIn, FSession.Memory));
    return Out;
  }

  // SetParameter and DoAdditionalAction read names: mostly real ones.
  void NameTheFirstRecord(std::vector<V8Variant>& Params, const std::vector<std::u16string_view>& Names) {
    if (Params.empty() || !FIn.ConsumeBool()) return;
    FSession.Release(Params[0]);
    Params[0] = fuzzhost::TextRecord(FSession.Memory, Pick(Names));
  }

  void CallMethod() {
    const HostLong Method = Number(FSession.MethodCount());
    const HostLong Declared = FSession.Ops().GetNParams(FSession.Extender(), Method);
    auto Count = static_cast<std::size_t>(Declared);
    if (FIn.ConsumeIntegralInRange<int>(0, 7) == 0) {
      Count = FIn.ConsumeIntegralInRange<std::size_t>(0, Count + kExtraRecords);
    }
    std::vector<V8Variant> Params = Records(Count);
    NameTheFirstRecord(Params, FIn.ConsumeBool() ? FPropNameViews : kActionNames);
    // Now and then a count short of the records, down to a negative one.
    auto Passed = static_cast<HostLong>(Count);
    if (FIn.ConsumeIntegralInRange<int>(0, 15) == 0) Passed = FIn.ConsumeIntegralInRange<HostLong>(-2, Passed);
    FSession.Call(Method, Params, Passed, FIn.ConsumeIntegralInRange<int>(0, 7) != 0);
    FSession.Release(Params);
  }

  void ReadProperty() {
    V8Variant Value{};
    FSession.GetProp(Number(FSession.PropCount()), Value);
    FSession.Release(Value);
  }

  void WriteProperty() {
    V8Variant Value = fuzzhost::FuzzedRecord(FIn, FSession.Memory);
    FSession.SetProp(Number(FSession.PropCount()), Value);
    FSession.Release(Value);
  }

  void AskMetadata() {
    const auto& Ops = FSession.Ops();
    void* Self = FSession.Extender();
    const HostLong Language = FIn.ConsumeIntegralInRange<HostLong>(-1, 2);
    switch (FIn.ConsumeIntegralInRange<int>(0, 9)) {
      case 0: FSession.FindMethod(Pick(FMethodNameViews)); break;
      case 1: FSession.FindProp(Pick(FPropNameViews)); break;
      case 2: FSession.TakeName(Ops.GetMethodName(Self, Number(FSession.MethodCount()), Language)); break;
      case 3: FSession.TakeName(Ops.GetPropName(Self, Number(FSession.PropCount()), Language)); break;
      case 4: Ops.GetNParams(Self, Number(FSession.MethodCount())); break;
      case 5: Ops.HasRetVal(Self, Number(FSession.MethodCount())); break;
      case 6: {
        V8Variant Default{};
        Ops.GetParamDefValue(Self, Number(FSession.MethodCount()), FIn.ConsumeIntegral<HostLong>() % 16, &Default);
        FSession.Release(Default);
        break;
      }
      case 7: Ops.IsPropReadable(Self, Number(FSession.PropCount())); break;
      case 8: Ops.IsPropWritable(Self, Number(FSession.PropCount())); break;
      default: {
        V8Char* Name = nullptr;
        Ops.RegisterExtensionAs(Self, &Name);
        FSession.TakeName(Name);
      }
    }
  }

  inline static const std::vector<std::u16string_view> kActionNames = {u"ViewLog", u"ShowHelp", u"viewlog", u""};

  FuzzedDataProvider& FIn;
  TSession FSession;
  std::vector<std::u16string> FMethodNames;
  std::vector<std::u16string> FPropNames;
  std::vector<std::u16string_view> FMethodNameViews;
  std::vector<std::u16string_view> FPropNameViews;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  return fuzzhost::RunInput<TFuzzedHost>(Data, Size);
}
