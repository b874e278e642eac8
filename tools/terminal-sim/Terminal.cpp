#include "tools/terminal-sim/Terminal.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ClockSeam.h"
#include "tools/terminal-sim/Tlv.h"

namespace terminal_sim {

namespace {

// Requests kept for the control object; older ones are dropped.
constexpr size_t kRequestsKept = 1000;

std::string Variable(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? std::string(V) : std::string();
}

bool ReadFile(const std::string& Path, std::u16string& Text) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) return false;
  std::ostringstream Bytes;
  Bytes << In.rdbuf();
  Text = FromUtf8(Bytes.str());
  return true;
}

std::u16string Channel(const std::array<int32_t, 6>& Params) {
  std::u16string Out;
  for (int32_t P : Params) Out += (Out.empty() ? u"" : u",") + IntToText(P);
  return Out;
}

void ApplyForced(FieldList& Response, const FieldList& Forced) {
  for (const Field& F : Forced) SetField(Response, F.Name, F.Data);
}

// Serial speeds a COM port of the terminal takes.
constexpr std::array<int32_t, 9> kSpeeds = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
constexpr int32_t kLastComPort = 255;

// What is wrong with a channel, empty when nothing is: port 0 (TCP/IP) or a
// COM port 1 to 255, a serial speed the port takes (not looked at for TCP/IP),
// and the fixed framing 8, 0, 0, 2.
std::u16string ChannelProblem(const std::array<int32_t, 6>& P) {
  if (P[0] < 0 || P[0] > kLastComPort)
    return FormatText(u"неверный номер порта %s (0 — TCP/IP, 1–255 — COM-порт)", {IntToText(P[0])});
  if (P[0] > 0 && std::find(kSpeeds.begin(), kSpeeds.end(), P[1]) == kSpeeds.end())
    return FormatText(u"неверная скорость обмена %s", {IntToText(P[1])});
  if (P[2] != 8 || P[3] != 0 || P[4] != 0 || P[5] != 2)
    return FormatText(u"неверные параметры кадра %s,%s,%s,%s (ожидаются 8,0,0,2)",
                      {IntToText(P[2]), IntToText(P[3]), IntToText(P[4]), IntToText(P[5])});
  return {};
}

// ISO 4217 numeric codes of the currencies the terminal knows.
constexpr std::array<std::u16string_view, 22> kCurrencies = {
    u"643", u"810", u"840", u"978", u"826", u"756", u"392", u"156", u"933", u"398", u"051",
    u"944", u"981", u"417", u"498", u"972", u"934", u"860", u"980", u"949", u"356", u"784"};

bool IsDigits(std::u16string_view Text) noexcept {
  return !Text.empty() && std::all_of(Text.begin(), Text.end(), [](char16_t C) { return C >= u'0' && C <= u'9'; });
}

int32_t DigitsValue(std::u16string_view Text) noexcept {
  int32_t Value = 0;
  for (char16_t C : Text) Value = Value * 10 + (C - u'0');
  return Value;
}

// "YYYYMMDDHHMMSS" of a real moment (years 1970 to 2099).
bool IsTerminalDateTime(std::u16string_view Text) noexcept {
  if (Text.size() != 14 || !IsDigits(Text)) return false;
  const int32_t Year = DigitsValue(Text.substr(0, 4)), Month = DigitsValue(Text.substr(4, 2)),
                Day = DigitsValue(Text.substr(6, 2)), Hour = DigitsValue(Text.substr(8, 2)),
                Minute = DigitsValue(Text.substr(10, 2)), Second = DigitsValue(Text.substr(12, 2));
  if (Year < 1970 || Year > 2099 || Month < 1 || Month > 12 || Hour > 23 || Minute > 59 || Second > 59) return false;
  constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool Leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
  return Day >= 1 && Day <= kDays[Month - 1] + (Month == 2 && Leap ? 1 : 0);
}

// 1 to 8 printable ASCII characters, no blanks.
bool IsTerminalId(std::u16string_view Text) noexcept {
  return !Text.empty() && Text.size() <= 8 &&
         std::all_of(Text.begin(), Text.end(), [](char16_t C) { return C > u' ' && C < 0x7F; });
}

// What the strict connector refuses in a request, empty when nothing: every
// request names its terminal; every one but the totals reports (63 with
// CommandMode2 20 or 21, which the terminal makes on its own) also carries the
// card entry mode, the currency and the date and time. A common field that is
// there must be well formed.
std::u16string RequestProblem(const FieldList& Request) {
  const Field* Id = FindField(Request, u"TerminalId");
  if (!Id) return u"нет поля TerminalId";
  if (!IsTerminalId(AsText(Id->Data)))
    return FormatText(u"неверный TerminalId \"%s\" (1–8 видимых символов ASCII)", {AsText(Id->Data)});
  const int64_t Operation = AsNumberOr(FieldValue(Request, u"OperationCode"), 0);
  const int64_t Mode2 = AsNumberOr(FieldValue(Request, u"CommandMode2"), 0);
  const bool TotalsReport = Operation == 63 && (Mode2 == 20 || Mode2 == 21);
  for (std::u16string_view Name : {u"CardEntryMode", u"CurrencyCode", u"TerminalDateTime"})
    if (!TotalsReport && !FindField(Request, Name)) return FormatText(u"нет поля %s", {Name});
  if (const Field* Currency = FindField(Request, u"CurrencyCode")) {
    std::u16string Code = AsText(Currency->Data);
    if (std::find(kCurrencies.begin(), kCurrencies.end(), Code) == kCurrencies.end())
      return FormatText(u"неизвестный код валюты \"%s\"", {Code});
  }
  if (const Field* Time = FindField(Request, u"TerminalDateTime"); Time && !IsTerminalDateTime(AsText(Time->Data)))
    return FormatText(u"неверные дата и время TerminalDateTime \"%s\" (ожидается ГГГГММДДччммсс)",
                      {AsText(Time->Data)});
  return {};
}

void ApplyDataFault(FieldList& Response, Fault F) {
  const int32_t Status = static_cast<int32_t>(AsNumberOr(FieldValue(Response, u"Status"), 0));
  switch (F) {
    case Fault::StatusNumericText: SetField(Response, u"Status", IntToText(Status)); break;
    case Fault::Status64: SetField(Response, u"Status", static_cast<int64_t>(Status)); break;
    case Fault::StatusMissing: RemoveField(Response, u"Status"); break;
    case Fault::LongTlvLengths:
    case Fault::Cp1251AdditionalData:
      if (const Field* Data = FindField(Response, u"AdditionalData"))
        SetField(
            Response, u"AdditionalData",
            F == Fault::LongTlvLengths ? WithLongLengths(AsText(Data->Data)) : WithCp1251Texts(AsText(Data->Data)));
      break;
    case Fault::StatusText: SetField(Response, u"Status", u"OK"); break;
    case Fault::CommandResultText: SetField(Response, u"CommandResult", u"ERR"); break;
    case Fault::MissingFields:
      std::erase_if(Response,
                    [](const Field& X) { return !SameName(X.Name, u"Status") && !SameName(X.Name, u"CommandResult"); });
      break;
    case Fault::BadAdditionalData: SetField(Response, u"AdditionalData", u"EE0AD1043132ZZ9DE"); break;
    case Fault::BadReceiptData: SetField(Response, u"ReceiptData", u"^0xDF^^ЧЕК~0xDF^ЧЕК~0xDE^^MIR"); break;
    default: break;
  }
}

}  // namespace

Terminal& Terminal::Instance() {
  // Never destroyed: objects a host leaks may still call in at process exit.
  static Terminal* const kTerminal = new Terminal();
  return *kTerminal;
}

Terminal::Terminal() {
  ApplyStartScenario();
  std::u16string Saved;
  if (std::string Path = Variable(kStateVariable); !Path.empty() && ReadFile(Path, Saved)) FState.Batch.LoadText(Saved);
}

void Terminal::ApplyStartScenario() {
  std::string Path = Variable(kScenarioVariable);
  if (Path.empty()) return;
  std::u16string Text;
  if (!ReadFile(Path, Text))
    throw Exception(FormatText(u"Terminal simulator: cannot read the scenario file \"%s\"", {FromUtf8(Path)}));
  FState.Options.ApplyText(Text);
}

void Terminal::SaveJournal() const {
  std::string Path = Variable(kStateVariable);
  if (Path.empty()) return;
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out << ToUtf8(u"Batch=" + IntToText(FState.Batch.Batch()) + u"\n" + FState.Batch.ToText());
}

void Terminal::Created(ObjectKind Kind) {
  std::lock_guard Guard(FLock);
  if (Kind != ObjectKind::Control && FState.Options.TakeCreationFault(Kind == ObjectKind::Packet))
    throw Exception(std::string_view("Class not registered"));
  if (Kind == ObjectKind::Packet) ++FCount.PacketsCreated, ++FCount.LivePackets;
  if (Kind == ObjectKind::Link) ++FCount.LinksCreated, ++FCount.LiveLinks;
}

void Terminal::Destroyed(ObjectKind Kind) noexcept {
  std::lock_guard Guard(FLock);
  if (Kind == ObjectKind::Packet) --FCount.LivePackets;
  if (Kind == ObjectKind::Link) --FCount.LiveLinks;
}

bool Terminal::Strict() {
  std::lock_guard Guard(FLock);
  return FState.Options.Strict;
}

void Terminal::InitResources(const std::u16string& RefusedChannel) {
  std::lock_guard Guard(FLock);
  ++FCount.InitResources;
  switch (FState.Options.TakeFault(FaultStage::InitResources)) {
    case Fault::InitResourcesFails:
      throw Exception(std::u16string(u"Ошибка инициализации ресурсов связи с терминалом"));
    case Fault::PortBusy: throw Exception(std::u16string(u"Не удалось открыть порт: порт занят другим приложением"));
    default: break;
  }
  if (FState.Options.Strict && !RefusedChannel.empty())
    throw Exception(FormatText(u"Не удалось открыть порт: параметры канала %s отклонены", {RefusedChannel}));
}

void Terminal::FreeResources() {
  std::lock_guard Guard(FLock);
  ++FCount.FreeResources;
  if (FState.Options.TakeFault(FaultStage::FreeResources) == Fault::FreeResourcesFails)
    throw Exception(std::u16string(u"Ошибка освобождения ресурсов связи с терминалом"));
}

void Terminal::SetChannel(const std::array<int32_t, 6>& Params) {
  std::lock_guard Guard(FLock);
  FChannel = Channel(Params);
  if (FState.Options.TakeFault(FaultStage::Channel) == Fault::ChannelFails)
    throw Exception(std::u16string(u"Ошибка установки параметров канала связи с терминалом"));
  if (!FState.Options.Strict) return;
  if (std::u16string Problem = ChannelProblem(Params); !Problem.empty())
    throw ChannelRefused(u"SetChannelTerminalParam: " + Problem, FChannel);
}

void UseClock(os::IClock* Clock) noexcept {
  os::SetClock(Clock);
  Terminal::Instance().ClockChanged();
}

void Terminal::ClockChanged() {
  std::lock_guard Guard(FLock);
  FLastAnswerTick.reset();
}

void Terminal::RecordRequest(const FieldList& Request, int32_t Timeout) {
  ++FCount.Exchanges;
  FLastRequest = Request;
  FLastTimeout = Timeout;
  if (FRequests.size() == kRequestsKept) FRequests.erase(FRequests.begin());
  FRequests.push_back(FieldsToText(Request));
}

FieldList Terminal::Exchange(const FieldList& Request, int32_t Timeout) {
  Fault Chosen = Fault::None;
  int32_t Delay = 0, RealDelay = 0;
  {
    std::lock_guard Guard(FLock);
    RecordRequest(Request, Timeout);
    if (FState.Options.Strict) {
      // The connector checks the packet before the terminal sees it.
      if (std::u16string Problem = RequestProblem(Request); !Problem.empty())
        throw Exception(u"Запрос отклонён коннектором: " + Problem);
      // Still printing the last receipt: the terminal takes nothing yet. The
      // refusal does not make it any busier.
      const uint32_t Now = os::CurrentClock().TickCount();
      if (FLastAnswerTick && Now - *FLastAnswerTick < kBusyAfterAnswerMs) {
        FLastResponse = BusyAnswer();
        return FLastResponse;
      }
    }
    // Only an exchange that reaches the terminal uses up a one-shot fault.
    Chosen = FState.Options.TakeExchangeFault();
    Delay = FState.Options.DelayMs;
    RealDelay = FState.Options.RealDelayMs;
  }
  if (Chosen == Fault::ExchangeFails)
    throw Exception(std::u16string(u"Ошибка обмена с терминалом: терминал не отвечает"));
  auto TimedOut = [&] {
    return Exception(FormatText(u"Превышено время ожидания ответа терминала (%s мс)", {IntToText(Timeout)}));
  };
  // The driver would wait the whole timeout for nothing: fail at once instead.
  if (Chosen == Fault::Timeout || (Timeout > 0 && Delay > Timeout)) throw TimedOut();
  // A real wait, whatever clock the simulator reads: the timeout is waited out.
  if (RealDelay > 0) {
    const bool Late = Timeout > 0 && RealDelay > Timeout;
    os::SystemClock().SleepMs(static_cast<uint32_t>(Late ? Timeout : RealDelay));
    if (Late) throw TimedOut();
  }
  if (Delay > 0) os::CurrentClock().SleepMs(static_cast<uint32_t>(Delay));

  std::lock_guard Guard(FLock);
  FieldList Response = RunOperation(FState, Request, Chosen);
  ApplyForced(Response, FState.Options.Forced);
  ApplyForced(Response, std::exchange(FState.Options.NextFields, {}));
  ApplyDataFault(Response, Chosen);
  FLastResponse = Response;
  SaveJournal();
  FLastAnswerTick = os::CurrentClock().TickCount();
  return Response;
}

void Terminal::Reset() {
  std::lock_guard Guard(FLock);
  FState.Options = Settings();
  FState.Batch.Clear();
  FState.Fps.clear();
  FCount = Counters{0, 0, FCount.LivePackets, FCount.LiveLinks, 0, 0, 0};
  FLastRequest.clear();
  FLastResponse.clear();
  FRequests.clear();
  FLastTimeout = 0;
  FChannel.clear();
  FLastAnswerTick.reset();
  SaveJournal();
  ApplyStartScenario();
}

void Terminal::Configure(std::u16string_view Text) {
  std::lock_guard Guard(FLock);
  Settings Changed = FState.Options;
  Changed.ApplyText(Text);
  FState.Options = std::move(Changed);
}

void Terminal::Set(std::u16string_view Name, std::u16string_view Text) {
  std::lock_guard Guard(FLock);
  FState.Options.Apply(Name, Text);
}

Snapshot Terminal::Look() {
  std::lock_guard Guard(FLock);
  Snapshot S;
  S.LastRequest = FLastRequest;
  S.LastResponse = FLastResponse;
  S.Requests = FRequests;
  S.LastTimeout = FLastTimeout;
  S.Channel = FChannel;
  S.Count = FCount;
  S.Journal = FState.Batch.ToText();
  S.JournalCount = static_cast<int32_t>(FState.Batch.Entries().size());
  S.Batch = FState.Batch.Batch();
  S.Options = FState.Options;
  return S;
}

}  // namespace terminal_sim
