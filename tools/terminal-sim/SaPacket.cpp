#include "tools/terminal-sim/SaPacket.h"

#include <algorithm>
#include <array>

#include "platform/Exception.h"
#include "platform/Text.h"
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

std::u16string_view KindOf(const Value& V) noexcept {
  if (std::holds_alternative<std::monostate>(V)) return u"Empty";
  if (std::holds_alternative<int32_t>(V) || std::holds_alternative<int64_t>(V)) return u"an integer";
  if (std::holds_alternative<bool>(V)) return u"a Boolean";
  if (std::holds_alternative<std::u16string>(V)) return u"a text";
  return u"an object";
}

// What the connector's interface declares: an integer field takes an integer,
// a text field a text; nothing else is converted.
Value Strictly(const FieldInfo& Info, const Value& V) {
  bool Fits = Info.Integer ? (std::holds_alternative<int32_t>(V) || std::holds_alternative<int64_t>(V))
                           : std::holds_alternative<std::u16string>(V);
  if (!Fits) {
    std::u16string Shown = std::holds_alternative<std::u16string>(V) ? u" \"" + AsText(V) + u"\"" : u"";
    throw Exception(FormatText(u"Type mismatch: the field %s takes %s, not %s%s",
                               {Info.Name, Info.Integer ? u"an integer" : u"a text", KindOf(V), Shown}));
  }
  if (auto* L = std::get_if<int64_t>(&V); L && *L >= INT32_MIN && *L <= INT32_MAX) return static_cast<int32_t>(*L);
  return V;
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
  SetField(FFields, Info.Name, Terminal::Instance().Strict() ? Strictly(Info, V) : Coerce(Info, V));
}

void SaPacket::Fill(const FieldList& Answer) {
  for (const Field& F : Answer) SetField(FFields, F.Name, F.Data);
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
