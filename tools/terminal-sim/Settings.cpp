#include "tools/terminal-sim/Settings.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tools/terminal-sim/Journal.h"

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/SaPacket.h"

namespace terminal_sim {

namespace {

struct FaultInfo {
  Fault Kind;
  std::u16string_view Name;
};

constexpr std::array<FaultInfo, 22> kFaults{{
    {Fault::None, u"None"},
    {Fault::CreatePacket, u"CreatePacket"},
    {Fault::CreateLink, u"CreateLink"},
    {Fault::Create, u"Create"},
    {Fault::ExchangeFails, u"ExchangeFails"},
    {Fault::Timeout, u"Timeout"},
    {Fault::StatusText, u"StatusText"},
    {Fault::CommandResultText, u"CommandResultText"},
    {Fault::MissingFields, u"MissingFields"},
    {Fault::BadAdditionalData, u"BadAdditionalData"},
    {Fault::BadReceiptData, u"BadReceiptData"},
    {Fault::InitResourcesFails, u"InitResourcesFails"},
    {Fault::FreeResourcesFails, u"FreeResourcesFails"},
    {Fault::ChannelFails, u"ChannelFails"},
    {Fault::PortBusy, u"PortBusy"},
    {Fault::StatusNumericText, u"StatusNumericText"},
    {Fault::Status64, u"Status64"},
    {Fault::StatusMissing, u"StatusMissing"},
    {Fault::PartialApproval, u"PartialApproval"},
    {Fault::OfflineApproval, u"OfflineApproval"},
    {Fault::LongTlvLengths, u"LongTlvLengths"},
    {Fault::Cp1251AdditionalData, u"Cp1251AdditionalData"},
}};

[[noreturn]] void RaiseBadSetting(std::u16string_view What, std::u16string_view Text) {
  throw Exception(FormatText(u"Terminal simulator: %s \"%s\"", {What, Text}));
}

bool ParseSwitch(std::u16string_view Name, std::u16string_view Text) {
  auto Trimmed = TrimControl(Text);
  if (Trimmed == u"1" || SameName(Trimmed, u"true") || SameName(Trimmed, u"on")) return true;
  if (Trimmed == u"0" || SameName(Trimmed, u"false") || SameName(Trimmed, u"off")) return false;
  RaiseBadSetting(u"expected 1 or 0 for", Name);
}

int32_t ParseCount(std::u16string_view Name, std::u16string_view Text) {
  int32_t Value = 0;
  if (!TryParseInt32(Text, Value) || Value < 0) RaiseBadSetting(u"expected a number of 0 or more for", Name);
  return Value;
}

std::optional<int32_t> ParseOptionalInt(std::u16string_view Name, std::u16string_view Text) {
  if (TrimControl(Text).empty()) return std::nullopt;
  int32_t Value = 0;
  if (!TryParseInt32(Text, Value)) RaiseBadSetting(u"expected a number for", Name);
  return Value;
}

// "Prefix.Field": the response field a forcing setting names.
std::u16string_view ForcedField(std::u16string_view Name, std::u16string_view Prefix) {
  if (Name.size() <= Prefix.size() || !SameName(Name.substr(0, Prefix.size()), Prefix)) return {};
  auto Field = Name.substr(Prefix.size());
  if (!IsPacketField(Field)) RaiseBadSetting(u"unknown packet field", Field);
  return Field;
}

void Force(FieldList& Fields, std::u16string_view Field, std::u16string_view Text) {
  SetField(Fields, Field, FieldFromText(Field, Text));
}

}  // namespace

std::u16string_view FaultName(Fault F) noexcept {
  return std::find_if(kFaults.begin(), kFaults.end(), [&](const FaultInfo& I) { return I.Kind == F; })->Name;
}

Fault ParseFault(std::u16string_view Name) {
  auto Trimmed = TrimControl(Name);
  if (Trimmed.empty()) return Fault::None;
  for (const FaultInfo& I : kFaults)
    if (SameName(I.Name, Trimmed)) return I.Kind;
  RaiseBadSetting(u"unknown fault", Name);
}

void Settings::Apply(std::u16string_view Name, std::u16string_view Text) {
  Name = TrimControl(Name);
  if (SameName(Name, u"ModelNo")) {
    ModelNo = Text;
  } else if (SameName(Name, u"Card")) {
    const terminal_sim::Card& Chosen = CardByType(TrimControl(Text));
    if (!SameName(Chosen.Type, TrimControl(Text))) RaiseBadSetting(u"unknown card type (MIR, VISA, MC)", Text);
    Card = Chosen.Type;
  } else if (SameName(Name, u"MerchantID")) {
    MerchantID = Text;
  } else if (SameName(Name, u"Delay")) {
    DelayMs = ParseCount(Name, Text);
  } else if (SameName(Name, u"RealDelay")) {
    RealDelayMs = ParseCount(Name, Text);
  } else if (SameName(Name, u"Strict")) {
    Strict = ParseSwitch(Name, Text);
  } else if (SameName(Name, u"FpsPaidAfter")) {
    FpsPaidAfter = ParseCount(Name, Text);
  } else if (SameName(Name, u"Fault")) {
    LastingFault = ParseFault(Text);
  } else if (SameName(Name, u"NextFault")) {
    NextFault = ParseFault(Text);
  } else if (SameName(Name, u"NextStatus")) {
    NextStatus = ParseOptionalInt(Name, Text);
  } else if (SameName(Name, u"NextCommandResult")) {
    NextCommandResult = ParseOptionalInt(Name, Text);
  } else if (auto Lasting = ForcedField(Name, u"Force."); !Lasting.empty()) {
    Force(Forced, Lasting, Text);
  } else if (auto Once = ForcedField(Name, u"Next."); !Once.empty()) {
    Force(NextFields, Once, Text);
  } else {
    RaiseBadSetting(u"unknown setting", Name);
  }
}

void Settings::ApplyText(std::u16string_view Text) {
  while (!Text.empty()) {
    size_t End = std::min(Text.find(u'\n'), Text.size());
    auto Line = TrimControl(Text.substr(0, End));
    Text.remove_prefix(std::min(End + 1, Text.size()));
    if (Line.empty() || Line.front() == u'#') continue;
    size_t Eq = Line.find(u'=');
    if (Eq == std::u16string_view::npos) RaiseBadSetting(u"expected Name=Value, got", Line);
    Apply(Line.substr(0, Eq), Line.substr(Eq + 1));
  }
}

std::u16string Settings::ToText() const {
  std::u16string Out = u"ModelNo=" + ModelNo + u"\nCard=" + Card + u"\nMerchantID=" + MerchantID + u"\nDelay=" +
                       IntToText(DelayMs) + u"\nRealDelay=" + IntToText(RealDelayMs) + u"\nStrict=" +
                       (Strict ? u"1" : u"0") + u"\nFpsPaidAfter=" + IntToText(FpsPaidAfter) + u"\nFault=" +
                       std::u16string(FaultName(LastingFault)) + u"\n";
  for (const Field& F : Forced) Out += u"Force." + F.Name + u"=" + AsText(F.Data) + u"\n";
  if (NextFault != Fault::None) Out += u"NextFault=" + std::u16string(FaultName(NextFault)) + u"\n";
  if (NextStatus) Out += u"NextStatus=" + IntToText(*NextStatus) + u"\n";
  if (NextCommandResult) Out += u"NextCommandResult=" + IntToText(*NextCommandResult) + u"\n";
  for (const Field& F : NextFields) Out += u"Next." + F.Name + u"=" + AsText(F.Data) + u"\n";
  return Out;
}

FaultStage StageOf(Fault F) noexcept {
  switch (F) {
    case Fault::None: return FaultStage::None;
    case Fault::CreatePacket:
    case Fault::CreateLink:
    case Fault::Create: return FaultStage::Creation;
    case Fault::InitResourcesFails:
    case Fault::PortBusy: return FaultStage::InitResources;
    case Fault::FreeResourcesFails: return FaultStage::FreeResources;
    case Fault::ChannelFails: return FaultStage::Channel;
    default: return FaultStage::Exchange;
  }
}

namespace {

bool FailsCreation(Fault F, bool Packet) noexcept {
  return F == Fault::Create || F == (Packet ? Fault::CreatePacket : Fault::CreateLink);
}

}  // namespace

Fault Settings::TakeFault(FaultStage Stage) noexcept {
  if (NextFault != Fault::None && StageOf(NextFault) == Stage) return std::exchange(NextFault, Fault::None);
  return StageOf(LastingFault) == Stage ? LastingFault : Fault::None;
}

bool Settings::TakeCreationFault(bool Packet) noexcept {
  if (FailsCreation(NextFault, Packet)) {
    NextFault = Fault::None;
    return true;
  }
  return FailsCreation(LastingFault, Packet);
}

}  // namespace terminal_sim
