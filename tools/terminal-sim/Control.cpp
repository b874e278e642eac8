#include "tools/terminal-sim/Control.h"

#include <algorithm>
#include <array>
#include <functional>

#include "tools/terminal-sim/Terminal.h"

namespace terminal_sim {

namespace {

using Reader = std::function<Value(const Snapshot&)>;

struct Property {
  std::u16string_view Name;
  Reader Read;
  bool Writable;  // a setting of the same name
};

Value Text(std::u16string T) { return Value(std::move(T)); }

std::u16string Lines(const std::vector<std::u16string>& Items) {
  std::u16string Out;
  for (const auto& Item : Items) Out += Item + u"\n";
  return Out;
}

const std::vector<Property>& Properties() {
  static const std::vector<Property> kProperties{
      {u"LastRequest", [](const Snapshot& S) { return Text(FieldsToText(S.LastRequest)); }, false},
      {u"LastResponse", [](const Snapshot& S) { return Text(FieldsToText(S.LastResponse)); }, false},
      {u"Requests", [](const Snapshot& S) { return Text(Lines(S.Requests)); }, false},
      {u"LastTimeout", [](const Snapshot& S) { return Value(S.LastTimeout); }, false},
      {u"LastChannel", [](const Snapshot& S) { return Text(S.Channel); }, false},
      {u"ExchangeCount", [](const Snapshot& S) { return Value(S.Count.Exchanges); }, false},
      {u"InitResourcesCount", [](const Snapshot& S) { return Value(S.Count.InitResources); }, false},
      {u"FreeResourcesCount", [](const Snapshot& S) { return Value(S.Count.FreeResources); }, false},
      {u"PacketsCreated", [](const Snapshot& S) { return Value(S.Count.PacketsCreated); }, false},
      {u"LinksCreated", [](const Snapshot& S) { return Value(S.Count.LinksCreated); }, false},
      {u"LivePackets", [](const Snapshot& S) { return Value(S.Count.LivePackets); }, false},
      {u"LiveLinks", [](const Snapshot& S) { return Value(S.Count.LiveLinks); }, false},
      {u"Journal", [](const Snapshot& S) { return Text(S.Journal); }, false},
      {u"JournalCount", [](const Snapshot& S) { return Value(S.JournalCount); }, false},
      {u"Batch", [](const Snapshot& S) { return Value(S.Batch); }, false},
      {u"Settings", [](const Snapshot& S) { return Text(S.Options.ToText()); }, false},
      {u"Fault", [](const Snapshot& S) { return Text(std::u16string(FaultName(S.Options.LastingFault))); }, true},
      {u"NextFault", [](const Snapshot& S) { return Text(std::u16string(FaultName(S.Options.NextFault))); }, true},
      {u"NextStatus", [](const Snapshot& S) { return S.Options.NextStatus ? Value(*S.Options.NextStatus) : Value(); },
       true},
      {u"NextCommandResult",
       [](const Snapshot& S) { return S.Options.NextCommandResult ? Value(*S.Options.NextCommandResult) : Value(); },
       true},
      {u"Delay", [](const Snapshot& S) { return Value(S.Options.DelayMs); }, true},
      {u"RealDelay", [](const Snapshot& S) { return Value(S.Options.RealDelayMs); }, true},
      {u"Strict", [](const Snapshot& S) { return Value(S.Options.Strict ? 1 : 0); }, true},
      {u"FpsPaidAfter", [](const Snapshot& S) { return Value(S.Options.FpsPaidAfter); }, true},
      {u"ModelNo", [](const Snapshot& S) { return Text(S.Options.ModelNo); }, true},
      {u"Card", [](const Snapshot& S) { return Text(S.Options.Card); }, true},
      {u"MerchantID", [](const Snapshot& S) { return Text(S.Options.MerchantID); }, true},
  };
  return kProperties;
}

const Property* FindProperty(std::u16string_view Name) {
  const auto& All = Properties();
  auto It = std::find_if(All.begin(), All.end(), [&](const Property& P) { return SameName(P.Name, Name); });
  return It == All.end() ? nullptr : &*It;
}

std::u16string TextArgument(std::span<automation::Argument> Args, size_t Index) { return AsText(Args[Index].Get()); }

}  // namespace

void Control::Put(std::u16string_view Name, const Value& V) {
  const Property* P = FindProperty(Name);
  if (!P || !P->Writable) RaiseUnknownMember(Name);
  Terminal::Instance().Set(P->Name, AsText(V));
}

Value Control::Get(std::u16string_view Name) {
  const Property* P = FindProperty(Name);
  if (!P) RaiseUnknownMember(Name);
  return P->Read(Terminal::Instance().Look());
}

Value Control::Call(std::u16string_view Name, std::span<automation::Argument> Args) {
  Terminal& T = Terminal::Instance();
  if (SameName(Name, u"Reset")) {
    RequireArgumentCount(Args, 0);
    T.Reset();
  } else if (SameName(Name, u"Configure")) {
    RequireArgumentCount(Args, 1);
    T.Configure(TextArgument(Args, 0));
  } else if (SameName(Name, u"Set")) {
    RequireArgumentCount(Args, 2);
    T.Set(TextArgument(Args, 0), TextArgument(Args, 1));
  } else if (SameName(Name, u"RequestField")) {
    RequireArgumentCount(Args, 1);
    return FieldValue(T.Look().LastRequest, TextArgument(Args, 0));
  } else if (SameName(Name, u"ResponseField")) {
    RequireArgumentCount(Args, 1);
    return FieldValue(T.Look().LastResponse, TextArgument(Args, 0));
  } else {
    RaiseUnknownMember(Name);
  }
  return {};
}

MemberKind Control::Member(std::u16string_view Name) const {
  if (NameIn(Name, {u"Reset", u"Configure", u"Set", u"RequestField", u"ResponseField"})) return MemberKind::Method;
  return FindProperty(Name) ? MemberKind::Property : MemberKind::None;
}

}  // namespace terminal_sim
