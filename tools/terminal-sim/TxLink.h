#pragma once
// Tandemix.TXLink: the link to the terminal; Exchange hands a request packet
// to the simulated terminal and fills the response packet with its answer.
#include <string>

#include "tools/terminal-sim/SimObject.h"

namespace terminal_sim {

class TxLink final : public SimObject {
public:
  TxLink();
  ~TxLink() override;
  TxLink(const TxLink&) = delete;
  TxLink& operator=(const TxLink&) = delete;

  void Put(std::u16string_view Name, const Value& V) override;
  Value Get(std::u16string_view Name) override;
  Value Call(std::u16string_view Name, std::span<automation::Argument> Args) override;
  MemberKind Member(std::u16string_view Name) const override;

private:
  void InitResources();
  void SetChannel(std::span<automation::Argument> Args);
  void Exchange(std::span<automation::Argument> Args);
  bool FInitialised = false;
  // The channel the strict connector refused, empty when none was: its port
  // cannot be opened by the next InitResources, nor used by Exchange.
  std::u16string FRefusedChannel;
};

}  // namespace terminal_sim
