#pragma once
// The simulator's automation objects. Besides Put/Get/Call they say which
// members they have, so that a COM wrapper can answer name lookups the way a
// real server does (an unknown name fails at once).
#include <memory>
#include <string_view>

#include "platform/Automation.h"

namespace terminal_sim {

using automation::Value;

enum class MemberKind { None, Property, Method };

class SimObject : public automation::Object {
public:
  virtual MemberKind Member(std::u16string_view Name) const = 0;
};

inline constexpr std::u16string_view kPacketProgId = u"Tandemix.SAPacket";
inline constexpr std::u16string_view kLinkProgId = u"Tandemix.TXLink";
inline constexpr std::u16string_view kControlProgId = u"Tandemix.Simulator";

// A new object for one of the three ProgIDs, null for any other. Raises
// "Class not registered" while a creation fault is chosen for the class.
std::unique_ptr<SimObject> CreateSimObject(std::u16string_view ProgId);

// "Unknown name" as COM says it, with the member's name.
[[noreturn]] void RaiseUnknownMember(std::u16string_view Name);
// Raises unless the call has exactly Count arguments.
void RequireArgumentCount(std::span<automation::Argument> Args, size_t Count);

}  // namespace terminal_sim
