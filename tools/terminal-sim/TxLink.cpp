#include "tools/terminal-sim/TxLink.h"

#include <array>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/SaPacket.h"
#include "tools/terminal-sim/Terminal.h"

namespace terminal_sim {

namespace {

constexpr std::array<std::u16string_view, 3> kExchangeArguments = {u"request", u"response", u"timeout"};

SaPacket& PacketArgument(const automation::Argument& Arg) {
  auto* Object = std::get_if<automation::ObjectRef>(&Arg.Get());
  auto* Packet = Object ? dynamic_cast<SaPacket*>(Object->get()) : nullptr;
  if (!Packet) throw Exception(std::string_view("Exchange: the packet arguments must be Tandemix.SAPacket objects"));
  return *Packet;
}

// An integer argument: in strict mode only an integer (by value or by
// reference), otherwise anything COM would coerce.
int32_t IntegerArgument(const automation::Argument& Arg, bool Strict, std::u16string_view Call, size_t Index) {
  const Value& V = Arg.Get();
  if (Strict && !std::holds_alternative<int32_t>(V) && !std::holds_alternative<int64_t>(V))
    throw Exception(FormatText(u"Type mismatch: %s, argument %s takes an integer, not \"%s\"",
                               {Call, IntToText(static_cast<int32_t>(Index + 1)), AsText(V)}));
  return RequireInt32(V);
}

}  // namespace

TxLink::TxLink() { Terminal::Instance().Created(ObjectKind::Link); }

TxLink::~TxLink() { Terminal::Instance().Destroyed(ObjectKind::Link); }

void TxLink::Put(std::u16string_view Name, const Value&) { RaiseUnknownMember(Name); }

Value TxLink::Get(std::u16string_view Name) { RaiseUnknownMember(Name); }

Value TxLink::Call(std::u16string_view Name, std::span<automation::Argument> Args) {
  if (SameName(Name, u"InitResources")) {
    RequireArgumentCount(Args, 0);
    InitResources();
  } else if (SameName(Name, u"FreeResources")) {
    RequireArgumentCount(Args, 0);
    FInitialised = false;
    Terminal::Instance().FreeResources();
  } else if (SameName(Name, u"SetChannelTerminalParam")) {
    SetChannel(Args);
  } else if (SameName(Name, u"Exchange")) {
    Exchange(Args);
  } else {
    RaiseUnknownMember(Name);
  }
  return {};
}

MemberKind TxLink::Member(std::u16string_view Name) const {
  return NameIn(Name, {u"InitResources", u"FreeResources", u"SetChannelTerminalParam", u"Exchange"})
             ? MemberKind::Method
             : MemberKind::None;
}

void TxLink::InitResources() {
  FInitialised = false;
  Terminal::Instance().InitResources(FRefusedChannel);
  FInitialised = true;
}

void TxLink::SetChannel(std::span<automation::Argument> Args) {
  RequireArgumentCount(Args, 6);
  Terminal& T = Terminal::Instance();
  const bool Strict = T.Strict();
  std::array<int32_t, 6> Params{};
  for (size_t I = 0; I < Params.size(); ++I)
    Params[I] = IntegerArgument(Args[I], Strict, u"SetChannelTerminalParam", I);
  try {
    T.SetChannel(Params);
    FRefusedChannel.clear();
  } catch (const ChannelRefused& Refused) {
    FRefusedChannel = Refused.Channel();
    throw;
  }
}

void TxLink::Exchange(std::span<automation::Argument> Args) {
  RequireArgumentCount(Args, 3);
  Terminal& T = Terminal::Instance();
  const bool Strict = T.Strict();
  if (Strict) {
    // The connector writes the answer through the caller's variables: a copy
    // would leave the caller without one.
    for (size_t I = 0; I < Args.size(); ++I)
      if (!Args[I].IsByRef())
        throw Exception(FormatText(u"Exchange: the %s (argument %s) must be passed by reference (VT_BYREF)",
                                   {kExchangeArguments[I], IntToText(static_cast<int32_t>(I + 1))}));
  }
  SaPacket& Request = PacketArgument(Args[0]);
  SaPacket& Response = PacketArgument(Args[1]);
  int32_t Timeout = IntegerArgument(Args[2], Strict, u"Exchange", 2);
  if (!FInitialised) throw Exception(std::u16string(u"Канал связи с терминалом не открыт (InitResources)"));
  if (Strict && !FRefusedChannel.empty())
    throw Exception(
        FormatText(u"Канал связи с терминалом не открыт: параметры канала %s отклонены", {FRefusedChannel}));
  FieldList Answer = T.Exchange(Request.Fields(), Timeout);
  if (Strict)
    Response.Fill(Answer);
  else
    Response.Replace(std::move(Answer));
}

}  // namespace terminal_sim
