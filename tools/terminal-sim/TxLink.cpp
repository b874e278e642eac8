#include "tools/terminal-sim/TxLink.h"

#include <array>

#include "platform/Exception.h"
#include "tools/terminal-sim/SaPacket.h"
#include "tools/terminal-sim/Terminal.h"

namespace terminal_sim {

namespace {

SaPacket& PacketArgument(const automation::Argument& Arg) {
  auto* Object = std::get_if<automation::ObjectRef>(&Arg.Get());
  auto* Packet = Object ? dynamic_cast<SaPacket*>(Object->get()) : nullptr;
  if (!Packet) throw Exception(std::string_view("Exchange: the packet arguments must be Tandemix.SAPacket objects"));
  return *Packet;
}

}  // namespace

TxLink::TxLink() { Terminal::Instance().Created(ObjectKind::Link); }

TxLink::~TxLink() { Terminal::Instance().Destroyed(ObjectKind::Link); }

void TxLink::Put(std::u16string_view Name, const Value&) { RaiseUnknownMember(Name); }

Value TxLink::Get(std::u16string_view Name) { RaiseUnknownMember(Name); }

Value TxLink::Call(std::u16string_view Name, std::span<automation::Argument> Args) {
  if (SameName(Name, u"InitResources")) {
    RequireArgumentCount(Args, 0);
    Terminal::Instance().InitResources();
    FInitialised = true;
  } else if (SameName(Name, u"FreeResources")) {
    RequireArgumentCount(Args, 0);
    Terminal::Instance().FreeResources();
    FInitialised = false;
  } else if (SameName(Name, u"SetChannelTerminalParam")) {
    RequireArgumentCount(Args, 6);
    std::array<int32_t, 6> Params{};
    for (size_t I = 0; I < Params.size(); ++I) Params[I] = RequireInt32(Args[I].Get());
    Terminal::Instance().SetChannel(Params);
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

void TxLink::Exchange(std::span<automation::Argument> Args) {
  RequireArgumentCount(Args, 3);
  SaPacket& Request = PacketArgument(Args[0]);
  SaPacket& Response = PacketArgument(Args[1]);
  int32_t Timeout = RequireInt32(Args[2].Get());
  if (!FInitialised) throw Exception(std::u16string(u"Канал связи с терминалом не открыт (InitResources)"));
  Response.Replace(Terminal::Instance().Exchange(Request.Fields(), Timeout));
}

}  // namespace terminal_sim
