#pragma once
// Tandemix.Simulator: the simulator's own control object. It chooses faults and
// answers for the terminal and shows what the driver sent.
#include "tools/terminal-sim/SimObject.h"

namespace terminal_sim {

class Control final : public SimObject {
public:
  void Put(std::u16string_view Name, const Value& V) override;
  Value Get(std::u16string_view Name) override;
  Value Call(std::u16string_view Name, std::span<automation::Argument> Args) override;
  MemberKind Member(std::u16string_view Name) const override;
};

}  // namespace terminal_sim
