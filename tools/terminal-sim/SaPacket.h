#pragma once
// Tandemix.SAPacket: named SA fields set by property put, read by property get.
#include "tools/terminal-sim/SimObject.h"
#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

bool IsPacketField(std::u16string_view Name) noexcept;
bool IsIntegerField(std::u16string_view Name) noexcept;
// A text as the field's own kind: a number for an integer field when it is one.
Value FieldFromText(std::u16string_view Name, std::u16string_view Text);

class SaPacket final : public SimObject {
public:
  SaPacket();
  ~SaPacket() override;
  SaPacket(const SaPacket&) = delete;
  SaPacket& operator=(const SaPacket&) = delete;

  void Put(std::u16string_view Name, const Value& V) override;
  Value Get(std::u16string_view Name) override;
  Value Call(std::u16string_view Name, std::span<automation::Argument> Args) override;
  MemberKind Member(std::u16string_view Name) const override;

  // The fields in the order of their first put.
  const FieldList& Fields() const noexcept { return FFields; }
  // The answer as a whole instead of what the packet held (the lenient mode).
  void Replace(FieldList Fields) { FFields = std::move(Fields); }
  // The answer's fields put into the packet: a field it does not carry keeps
  // what an earlier answer left there, as a real packet object does.
  void Fill(const FieldList& Answer);

private:
  FieldList FFields;
};

}  // namespace terminal_sim
