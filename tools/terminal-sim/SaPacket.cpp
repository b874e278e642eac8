#include "tools/terminal-sim/SaPacket.h"

#include <algorithm>
#include <array>

#include "platform/Exception.h"
#include "tools/terminal-sim/Terminal.h"

namespace terminal_sim {

namespace {

struct FieldInfo {
  std::u16string_view Name;
  bool Integer;
};

constexpr std::array<FieldInfo, 24> kFields{{
    {u"OperationCode", true},
    {u"Amount", false},
    {u"AdditionalAmount", false},
    {u"TerminalTrxID", true},
    {u"ReferenceNumber", false},
    {u"AuthorizationCode", false},
    {u"PAN", false},
    {u"ResponseCodeHost", false},
    {u"TerminalId", false},
    {u"MerchantID", false},
    {u"Status", true},
    {u"CardWaitTimeout", true},
    {u"CommandResult", true},
    {u"FileData", false},
    {u"AdditionalData", false},
    {u"ReceiptData", false},
    {u"CardEntryMode", true},
    {u"ProcessingFlag", true},
    {u"CommandMode", true},
    {u"CommandMode2", true},
    {u"CurrencyCode", false},
    {u"TerminalDateTime", false},
    {u"TextResponse", false},
    {u"ModelNo", false},
}};

const FieldInfo* FindInfo(std::u16string_view Name) noexcept {
  auto It = std::find_if(kFields.begin(), kFields.end(), [&](const FieldInfo& F) { return SameName(F.Name, Name); });
  return It == kFields.end() ? nullptr : &*It;
}

const FieldInfo& RequireInfo(std::u16string_view Name) {
  const FieldInfo* Info = FindInfo(Name);
  if (!Info) RaiseUnknownMember(Name);
  return *Info;
}

// What COM's coercion would store: integer fields take numbers (and numeric
// texts), text fields take texts (and numbers as their decimal text).
Value Coerce(const FieldInfo& Info, const Value& V) {
  if (std::holds_alternative<automation::ObjectRef>(V)) throw Exception(std::string_view("Type mismatch"));
  if (!Info.Integer) return AsText(V);
  auto Number = AsNumber(V);
  if (!Number) throw Exception(std::string_view("Type mismatch"));
  if (*Number >= INT32_MIN && *Number <= INT32_MAX) return static_cast<int32_t>(*Number);
  return *Number;
}

}  // namespace

bool IsPacketField(std::u16string_view Name) noexcept { return FindInfo(Name) != nullptr; }

bool IsIntegerField(std::u16string_view Name) noexcept {
  const FieldInfo* Info = FindInfo(Name);
  return Info && Info->Integer;
}

Value FieldFromText(std::u16string_view Name, std::u16string_view Text) {
  std::u16string Owned(Text);
  if (IsIntegerField(Name)) {
    auto Number = AsNumber(Value(Owned));
    if (Number && !Owned.empty() && *Number >= INT32_MIN && *Number <= INT32_MAX) return static_cast<int32_t>(*Number);
  }
  return Owned;
}

SaPacket::SaPacket() { Terminal::Instance().Created(ObjectKind::Packet); }

SaPacket::~SaPacket() { Terminal::Instance().Destroyed(ObjectKind::Packet); }

void SaPacket::Put(std::u16string_view Name, const Value& V) {
  const FieldInfo& Info = RequireInfo(Name);
  SetField(FFields, Info.Name, Coerce(Info, V));
}

Value SaPacket::Get(std::u16string_view Name) {
  const FieldInfo& Info = RequireInfo(Name);
  // A field the packet does not carry is Empty: the reader makes it "" or 0.
  return FieldValue(FFields, Info.Name);
}

Value SaPacket::Call(std::u16string_view Name, std::span<automation::Argument> Args) {
  if (!SameName(Name, u"Clear")) RaiseUnknownMember(Name);
  RequireArgumentCount(Args, 0);
  FFields.clear();
  return {};
}

MemberKind SaPacket::Member(std::u16string_view Name) const {
  if (SameName(Name, u"Clear")) return MemberKind::Method;
  return IsPacketField(Name) ? MemberKind::Property : MemberKind::None;
}

}  // namespace terminal_sim
