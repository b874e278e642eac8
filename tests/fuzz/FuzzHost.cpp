#include "tests/fuzz/FuzzHost.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "bridge/v8napi.h"
#include "logging/Common.Log.h"
#include "platform/Automation.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ProcessRegistration.h"
#include "tools/v8host/HostValue.h"

namespace fuzzhost {

namespace {

constexpr const V8Char* kClassName = u"a_orvextx1c83n";
constexpr uint16_t kAddErrorCode = 1006;

std::filesystem::path& DataFolder() {
  static std::filesystem::path Folder;
  return Folder;
}

void RemoveDataFolder() {
  std::error_code Ignored;
  if (!DataFolder().empty()) std::filesystem::remove_all(DataFolder(), Ignored);
}

// The log files of the inputs before: each input starts with none.
void EmptyDataFolder() {
  std::error_code Ignored;
  for (const auto& Entry : std::filesystem::directory_iterator(DataFolder(), Ignored)) {
    std::filesystem::remove_all(Entry.path(), Ignored);
  }
}

constexpr std::size_t kShortestCardNumber = 13;
constexpr std::size_t kLongestCardNumber = 19;

bool PassesLuhn(std::string_view Digits) {
  int Sum = 0;
  bool Double = false;
  for (auto Digit = Digits.rbegin(); Digit != Digits.rend(); ++Digit, Double = !Double) {
    int Value = *Digit - '0';
    if (Double) Value = Value * 2 > 9 ? Value * 2 - 9 : Value * 2;
    Sum += Value;
  }
  return Sum % 10 == 0;
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// Every maximal run of ASCII digits of a card number's length in the file.
void CheckNoCardNumber(const std::filesystem::path& File) {
  std::ifstream Stream(File, std::ios::binary);
  const std::string Text((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
  for (std::size_t Start = 0; Start < Text.size();) {
    if (!IsDigit(Text[Start])) {
      ++Start;
      continue;
    }
    std::size_t End = Start;
    while (End < Text.size() && IsDigit(Text[End])) ++End;
    const std::string_view Run(Text.data() + Start, End - Start);
    if (Run.size() >= kShortestCardNumber && Run.size() <= kLongestCardNumber && PassesLuhn(Run)) {
      fuzztext::Fail("the log " + File.string() + " shows a card number: " + std::string(Run));
    }
    Start = End;
  }
}

void CheckLogFiles() {
  std::error_code Ignored;
  for (const auto& Entry : std::filesystem::recursive_directory_iterator(DataFolder(), Ignored)) {
    if (Entry.is_regular_file(Ignored)) CheckNoCardNumber(Entry.path());
  }
}

automation::ObjectRef& Simulator() {
  static automation::ObjectRef Control;
  return Control;
}

template <class Ops>
const Ops& TableAt(void* Interface) noexcept {
  return **static_cast<const Ops* const*>(Interface);
}

void* WordOf(void* Object, std::size_t Index) noexcept { return static_cast<void**>(Object) + Index; }

std::string Utf8(std::u16string_view Text) { return ToUtf8(Text); }

}  // namespace

void PrepareProcess() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
  if (::mkdtemp(Pattern.data()) == nullptr) fuzztext::Fail("no temporary folder for the log");
  DataFolder() = Pattern;
  ::setenv("PROGRAMDATA", Pattern.c_str(), 1);
  std::atexit(&RemoveDataFolder);
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  try {
    terminal_sim::RegisterSimulator();
    Simulator() = automation::CreateObject(u"Tandemix.Simulator");
  } catch (const Exception& E) {
    fuzztext::Fail("the simulated terminal cannot be registered: " + Utf8(E.Message()));
  }
}

void ResetSimulator() {
  try {
    std::vector<automation::Argument> None;
    Simulator()->Call(u"Reset", None);
  } catch (const Exception& E) {
    fuzztext::Fail("the simulated terminal cannot be reset: " + Utf8(E.Message()));
  }
}

namespace {
// The simulated terminal's delay is real time: the driver's own pauses pass at
// once under the fake clock, the terminal's would not, and an input made slow
// on purpose is no finding.
bool IsTerminalDelay(std::u16string_view Name) {
  constexpr std::u16string_view kDelay = u"delay";
  Name = TrimControl(Name);
  if (Name.size() != kDelay.size()) return false;
  for (std::size_t I = 0; I < Name.size(); ++I) {
    const char16_t C = Name[I] >= u'A' && Name[I] <= u'Z' ? static_cast<char16_t>(Name[I] + 0x20) : Name[I];
    if (C != kDelay[I]) return false;
  }
  return true;
}
}  // namespace

void SetSimulator(std::u16string_view Name, std::u16string_view Value) {
  if (IsTerminalDelay(Name)) return;
  std::vector<automation::Argument> Arguments{automation::Argument::ByValue(std::u16string(Name)),
                                              automation::Argument::ByValue(std::u16string(Value))};
  try {
    Simulator()->Call(u"Set", Arguments);
  } catch (const Exception&) {
    // The simulator's own refusal of a setting.
  }
}

// ---------------------------------------------------------------------------
TSession::TSession(bool LogOn) {
  SetLogMode(TLogMode::lmOff);
  EmptyDataFolder();
  SetLogMode(LogOn ? TLogMode::lmAll : TLogMode::lmOff);
  ResetSimulator();
  if (GetClassObject(kClassName, &FObject) != 1 || FObject == nullptr) fuzztext::Fail("GetClassObject created nothing");
  const auto& InitDone = TableAt<TInitDoneOps>(WordOf(FObject, 0));
  InitDone.Init(WordOf(FObject, 0), static_cast<TV8AddInDefBaseEx*>(&Connection));
  InitDone.setMemManager(WordOf(FObject, 0), static_cast<TV8MemoryManager*>(&Memory));
  SetLocale(u"ru_RU");
}

TSession::~TSession() {
  TableAt<TInitDoneOps>(WordOf(FObject, 0)).Done(WordOf(FObject, 0));
  DestroyObject(&FObject);
  if (Memory.LiveBlocks() != 0)
    fuzztext::Fail("host memory blocks the library kept: " + std::to_string(Memory.LiveBlocks()));
  if (Memory.BadFrees() != 0)
    fuzztext::Fail("frees of blocks the host never handed out: " + std::to_string(Memory.BadFrees()));
  SetLogMode(TLogMode::lmOff);
  CheckLogFiles();
}

const TLanguageExtenderOps& TSession::Ops() const noexcept { return TableAt<TLanguageExtenderOps>(Extender()); }

void* TSession::Extender() const noexcept { return WordOf(FObject, 1); }

void TSession::SetLocale(const std::u16string& Locale) {
  TableAt<TLocaleOps>(WordOf(FObject, 2)).SetLocale(WordOf(FObject, 2), Locale.c_str());
}

HostLong TSession::FindMethod(std::u16string_view Name) {
  const std::u16string Text(Name);
  return Ops().FindMethod(Extender(), Text.c_str());
}

HostLong TSession::FindProp(std::u16string_view Name) {
  const std::u16string Text(Name);
  return Ops().FindProp(Extender(), Text.c_str());
}

void TSession::CheckAnswer(bool Ok, std::size_t ErrorsBefore, const char* What) {
  if (Ok) return;
  if (Connection.Errors.size() <= ErrorsBefore) return;  // a refusal without a failure (unknown number)
  const v8host::HostError& Error = Connection.Errors.back();
  if (Error.Code != kAddErrorCode || Error.Description.empty()) {
    fuzztext::Fail(std::string(What) + " failed with an error the host cannot read: code " +
                   std::to_string(Error.Code));
  }
}

// A text or blob the library put into a record: a block of the host's that
// holds it, a text with its terminator.
void TSession::CheckWritten(const void* Before, const V8Variant& After) {
  const uint16_t Type = After.vt & VTYPE_BASE_MASK;
  const bool Text = Type == VTYPE_PWSTR;
  if ((!Text && Type != VTYPE_PSTR && Type != VTYPE_BLOB) || After.vtRecString.pstrVal == nullptr ||
      After.vtRecString.pstrVal == Before) {
    return;
  }
  const std::size_t Units = Text ? After.vtRecWideString.wstrLen : After.vtRecString.strLen;
  const std::size_t Bytes = Text ? 2 * Units + 2 : Units;
  if (Memory.BlockSize(After.vtRecString.pstrVal) < Bytes) {
    fuzztext::Fail("a value written into a record is not in a host block that holds it");
  }
  if (Text && After.vtRecWideString.pwstrVal[Units] != 0) fuzztext::Fail("a text written into a record lacks its end");
}

bool TSession::Call(HostLong Method, std::vector<V8Variant>& Records, bool AsFunction, V8Variant* Result) {
  return Invoke(Method, Records, static_cast<HostLong>(Records.size()), AsFunction, Result);
}

bool TSession::Call(HostLong Method, std::vector<V8Variant>& Records, HostLong Count, bool AsFunction) {
  return Invoke(Method, Records, Count, AsFunction, nullptr);
}

bool TSession::Invoke(HostLong Method, std::vector<V8Variant>& Records, HostLong Count, bool AsFunction,
                      V8Variant* Result) {
  V8Variant Return{};
  const std::size_t ErrorsBefore = Connection.Errors.size();
  const std::vector<V8Variant> Before = Records;
  V8Variant* Params = Records.empty() ? nullptr : Records.data();
  const bool Ok = AsFunction ? Ops().CallAsFunc(Extender(), Method, &Return, Params, Count)
                             : Ops().CallAsProc(Extender(), Method, Params, Count);
  CheckAnswer(Ok, ErrorsBefore, "a method call");
  for (std::size_t I = 0; I < Records.size(); ++I) {
    if (static_cast<HostLong>(I) >= Count && std::memcmp(&Before[I], &Records[I], sizeof(V8Variant)) != 0) {
      fuzztext::Fail("a method wrote a record beyond the count the host passed");
    }
    CheckWritten(Before[I].vtRecString.pstrVal, Records[I]);
  }
  CheckWritten(nullptr, Return);
  if (Result) {
    *Result = Return;
  } else {
    Release(Return);
  }
  return Ok;
}

bool TSession::CallByName(std::u16string_view Name, std::vector<V8Variant>& Records, V8Variant* Result) {
  const HostLong Method = FindMethod(Name);
  if (Method < 0) fuzztext::Fail("the driver has no method " + Utf8(Name));
  return Call(Method, Records, true, Result);
}

bool TSession::GetProp(HostLong Number, V8Variant& Value) {
  const std::size_t ErrorsBefore = Connection.Errors.size();
  const void* Before = Value.vtRecString.pstrVal;
  const bool Ok = Ops().GetPropVal(Extender(), Number, &Value);
  CheckAnswer(Ok, ErrorsBefore, "a property read");
  CheckWritten(Before, Value);
  return Ok;
}

bool TSession::SetProp(HostLong Number, V8Variant& Value) {
  const std::size_t ErrorsBefore = Connection.Errors.size();
  const bool Ok = Ops().SetPropVal(Extender(), Number, &Value);
  CheckAnswer(Ok, ErrorsBefore, "a property write");
  return Ok;
}

void TSession::TakeName(const V8Char* Name) {
  if (Name) Memory.Release(const_cast<V8Char*>(Name));
}

void TSession::Release(V8Variant& Record) noexcept { v8host::ReleaseRecord(Memory, Record); }

void TSession::Release(std::vector<V8Variant>& Records) noexcept {
  for (V8Variant& Record : Records) Release(Record);
}

// ---------------------------------------------------------------------------
namespace {

// A host block holding Units code units, with or without a terminator after them.
V8Char* HostText(v8host::HostMemoryManager& Memory, std::u16string_view Units, bool Terminated) {
  const std::size_t Count = Units.size() + (Terminated ? 1 : 0);
  auto* Block = static_cast<V8Char*>(Memory.Allocate(Count * sizeof(V8Char)));
  if (!Units.empty()) std::memcpy(Block, Units.data(), Units.size() * sizeof(V8Char));
  if (Terminated) Block[Units.size()] = 0;
  return Block;
}

constexpr uint16_t kTextKinds[] = {VTYPE_EMPTY, VTYPE_I4,   VTYPE_R8, VTYPE_DATE,
                                   VTYPE_TM,    VTYPE_BOOL, VTYPE_I8, VTYPE_PWSTR};
constexpr uint16_t kFlags[] = {0, VTYPE_VECTOR, VTYPE_ARRAY, VTYPE_BYREF};
constexpr std::size_t kMaxRecordText = 48;

// Texts that read as the numbers, amounts and codes the methods expect.
std::u16string NumberLikeText(FuzzedDataProvider& In) {
  static const std::vector<std::u16string_view> kTexts = {u"0",    u"1",  u"-1",         u"100",  u"123.45", u"1e3",
                                                          u" 42 ", u"+7", u"2147483648", u"0x10", u"1,5",    u"NaN"};
  return PickText(In, kTexts, kMaxRecordText);
}

void FillPlain(FuzzedDataProvider& In, V8Variant& Record) {
  const auto Bytes = In.ConsumeBytes<uint8_t>(sizeof(Record.ullVal));
  if (!Bytes.empty()) std::memcpy(&Record.ullVal, Bytes.data(), Bytes.size());
}

void FillTm(FuzzedDataProvider& In, TV8tm& Tm) {
  Tm.tm_year = In.ConsumeIntegralInRange<int>(-1901, 8200);
  Tm.tm_mon = In.ConsumeIntegralInRange<int>(-1, 12);
  Tm.tm_mday = In.ConsumeIntegralInRange<int>(-1, 32);
  Tm.tm_hour = In.ConsumeIntegralInRange<int>(-1, 24);
  Tm.tm_min = In.ConsumeIntegralInRange<int>(-1, 60);
  Tm.tm_sec = In.ConsumeIntegralInRange<int>(-1, 61);
}

void FillText(FuzzedDataProvider& In, v8host::HostMemoryManager& Memory, V8Variant& Record) {
  const std::u16string Text = In.ConsumeBool() ? NumberLikeText(In) : FuzzedText(In, kMaxRecordText);
  const bool Terminated = In.ConsumeIntegral<uint8_t>() != 0;
  Record.vtRecWideString.pwstrVal = HostText(Memory, Text, Terminated);
  // Now and then a length short of the text, as a host may count it.
  const auto Length = static_cast<uint32_t>(Text.size());
  Record.vtRecWideString.wstrLen = In.ConsumeIntegral<uint8_t>() == 0 ? Length / 2 : Length;
}

void FillNarrow(FuzzedDataProvider& In, v8host::HostMemoryManager& Memory, V8Variant& Record) {
  const std::string Bytes = In.ConsumeRandomLengthString(kMaxRecordText);
  auto* Block = static_cast<char*>(Memory.Allocate(Bytes.size() + 1));
  std::memcpy(Block, Bytes.data(), Bytes.size() + 1);
  Record.vtRecString.pstrVal = Block;
  Record.vtRecString.strLen = static_cast<uint32_t>(Bytes.size());
}

// The payload a host puts behind the type code: host blocks for texts and
// blobs, no object behind an interface or variant pointer.
void FillPayload(FuzzedDataProvider& In, v8host::HostMemoryManager& Memory, V8Variant& Record) {
  switch (Record.vt & VTYPE_BASE_MASK) {
    case VTYPE_PWSTR: FillText(In, Memory, Record); break;
    case VTYPE_PSTR:
    case VTYPE_BLOB: FillNarrow(In, Memory, Record); break;
    case VTYPE_TM: FillTm(In, Record.tmVal); break;
    case VTYPE_INTERFACE:
    case VTYPE_VARIANT: break;
    case VTYPE_R8:
    case VTYPE_DATE:
      Record.dblVal = In.ConsumeBool() ? In.ConsumeFloatingPointInRange<double>(-1e6, 3e6) : 0;
      if (In.ConsumeBool()) FillPlain(In, Record);
      break;
    default: FillPlain(In, Record);
  }
}

}  // namespace

V8Variant TextRecord(v8host::HostMemoryManager& Memory, std::u16string_view Text) {
  V8Variant Record{};
  v8host::WriteRecord(Memory, std::u16string(Text), Record);
  return Record;
}

V8Variant FuzzedRecord(FuzzedDataProvider& In, v8host::HostMemoryManager& Memory) {
  V8Variant Record{};
  if (In.ConsumeIntegralInRange<int>(0, 7) != 0) {
    Record.vt = In.PickValueInArray(kTextKinds);
  } else {
    Record.vt =
        static_cast<uint16_t>(In.ConsumeIntegralInRange<uint16_t>(0, VTYPE_CLSID + 1) | In.PickValueInArray(kFlags));
  }
  FillPayload(In, Memory, Record);
  return Record;
}

std::u16string TextOf(const V8Variant& Record) {
  if (Record.vt != VTYPE_PWSTR || Record.vtRecWideString.pwstrVal == nullptr) return {};
  return std::u16string(Record.vtRecWideString.pwstrVal, Record.vtRecWideString.wstrLen);
}

std::u16string FuzzedText(FuzzedDataProvider& In, std::size_t MaxUnits) { return fuzztext::Text(In, MaxUnits); }

std::u16string PickText(FuzzedDataProvider& In, const std::vector<std::u16string_view>& Items, std::size_t MaxUnits) {
  if (Items.empty() || In.ConsumeIntegralInRange<int>(0, 3) == 0) return FuzzedText(In, MaxUnits);
  return std::u16string(Items[In.ConsumeIntegralInRange<std::size_t>(0, Items.size() - 1)]);
}

}  // namespace fuzzhost

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzhost::PrepareProcess();
  return 0;
}
