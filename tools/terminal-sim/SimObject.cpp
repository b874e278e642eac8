#include "tools/terminal-sim/SimObject.h"

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/Control.h"
#include "tools/terminal-sim/SaPacket.h"
#include "tools/terminal-sim/SimValue.h"
#include "tools/terminal-sim/TxLink.h"

namespace terminal_sim {

std::unique_ptr<SimObject> CreateSimObject(std::u16string_view ProgId) {
  if (SameName(ProgId, kPacketProgId)) return std::make_unique<SaPacket>();
  if (SameName(ProgId, kLinkProgId)) return std::make_unique<TxLink>();
  if (SameName(ProgId, kControlProgId)) return std::make_unique<Control>();
  return nullptr;
}

void RaiseUnknownMember(std::u16string_view Name) { throw Exception(FormatText(u"Unknown name: %s", {Name})); }

void RequireArgumentCount(std::span<automation::Argument> Args, size_t Count) {
  if (Args.size() != Count) throw Exception(std::string_view("Invalid number of parameters"));
}

}  // namespace terminal_sim
