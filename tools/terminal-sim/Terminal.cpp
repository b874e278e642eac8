#include "tools/terminal-sim/Terminal.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/Exception.h"
#include "platform/Text.h"

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

void ApplyDataFault(FieldList& Response, Fault F) {
  switch (F) {
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

void Terminal::InitResources() {
  std::lock_guard Guard(FLock);
  ++FCount.InitResources;
}

void Terminal::FreeResources() {
  std::lock_guard Guard(FLock);
  ++FCount.FreeResources;
}

void Terminal::SetChannel(const std::array<int32_t, 6>& Params) {
  std::lock_guard Guard(FLock);
  FChannel = Channel(Params);
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
  int32_t Delay = 0;
  {
    std::lock_guard Guard(FLock);
    RecordRequest(Request, Timeout);
    Chosen = FState.Options.TakeExchangeFault();
    Delay = FState.Options.DelayMs;
  }
  if (Chosen == Fault::ExchangeFails)
    throw Exception(std::u16string(u"Ошибка обмена с терминалом: терминал не отвечает"));
  // The driver would wait the whole timeout for nothing: fail at once instead.
  if (Chosen == Fault::Timeout || (Timeout > 0 && Delay > Timeout))
    throw Exception(FormatText(u"Превышено время ожидания ответа терминала (%s мс)", {IntToText(Timeout)}));
  if (Delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(Delay));

  std::lock_guard Guard(FLock);
  FieldList Response = RunOperation(FState, Request);
  ApplyForced(Response, FState.Options.Forced);
  ApplyForced(Response, std::exchange(FState.Options.NextFields, {}));
  ApplyDataFault(Response, Chosen);
  FLastResponse = Response;
  SaveJournal();
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
