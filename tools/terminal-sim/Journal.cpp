#include "tools/terminal-sim/Journal.h"

#include <algorithm>
#include <array>

#include "platform/Text.h"
#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

namespace {

struct KindInfo {
  OpKind Kind;
  std::u16string_view Name;
  std::u16string_view Title;
};

constexpr std::array<KindInfo, 10> kKinds{{
    {OpKind::Sale, u"Sale", u"ОПЛАТА"},
    {OpKind::Preauth, u"Preauth", u"ПРЕДАВТОРИЗАЦИЯ"},
    {OpKind::Completion, u"Completion", u"ЗАВЕРШЕНИЕ РАСЧЕТА"},
    {OpKind::Refund, u"Refund", u"ВОЗВРАТ"},
    {OpKind::Void, u"Void", u"ОТМЕНА"},
    {OpKind::Transfer, u"Transfer", u"ПЕРЕВОД НА КАРТУ"},
    {OpKind::EcSale, u"EcSale", u"ОПЛАТА ЭЛ. СЕРТИФИКАТОМ"},
    {OpKind::EcRefund, u"EcRefund", u"ВОЗВРАТ ЭЛ. СЕРТИФИКАТА"},
    {OpKind::FpsSale, u"FpsSale", u"ОПЛАТА СБП"},
    {OpKind::FpsRefund, u"FpsRefund", u"ВОЗВРАТ СБП"},
}};

constexpr std::array<Card, 3> kCards{{
    {u"MIR", u"2200001234567890"},
    {u"VISA", u"4111111111111111"},
    {u"MC", u"5555555555554444"},
}};

const KindInfo& InfoOf(OpKind Kind) noexcept {
  return *std::find_if(kKinds.begin(), kKinds.end(), [&](const KindInfo& I) { return I.Kind == Kind; });
}

bool IsPayment(OpKind Kind) noexcept {
  return Kind == OpKind::Sale || Kind == OpKind::Completion || Kind == OpKind::EcSale || Kind == OpKind::FpsSale;
}

bool IsRefund(OpKind Kind) noexcept {
  return Kind == OpKind::Refund || Kind == OpKind::EcRefund || Kind == OpKind::FpsRefund;
}

FieldList EntryFields(const JournalEntry& E) {
  FieldList F;
  SetField(F, u"No", E.Number);
  SetField(F, u"Op", std::u16string(OpKindName(E.Kind)));
  SetField(F, u"Amount", E.Amount);
  if (E.EcAmount != 0) SetField(F, u"EcAmount", E.EcAmount);
  SetField(F, u"TerminalTrxID", E.TrxId);
  SetField(F, u"RRN", E.Rrn);
  SetField(F, u"Auth", E.AuthCode);
  SetField(F, u"Card", E.CardType);
  if (!E.OperationId.empty()) SetField(F, u"OperationId", E.OperationId);
  SetField(F, u"Status", E.Status);
  if (E.Cancelled != 0) SetField(F, u"Cancelled", E.Cancelled);
  if (E.Reversed) SetField(F, u"Reversed", u"1");
  SetField(F, u"Time", E.Time);
  return F;
}

FieldList ParseLine(std::u16string_view Line) {
  FieldList F;
  while (!Line.empty()) {
    size_t End = std::min(Line.find(u';'), Line.size());
    auto Item = Line.substr(0, End);
    size_t Eq = Item.find(u'=');
    if (Eq != std::u16string_view::npos) SetField(F, Item.substr(0, Eq), std::u16string(Item.substr(Eq + 1)));
    Line.remove_prefix(std::min(End + 1, Line.size()));
  }
  return F;
}

std::optional<JournalEntry> EntryFromLine(std::u16string_view Line) {
  FieldList F = ParseLine(Line);
  auto Kind = OpKindFromName(AsText(FieldValue(F, u"Op")));
  if (!Kind) return std::nullopt;
  JournalEntry E;
  E.Kind = *Kind;
  E.Number = static_cast<int32_t>(AsNumberOr(FieldValue(F, u"No"), 0));
  E.Amount = AsNumberOr(FieldValue(F, u"Amount"), 0);
  E.EcAmount = AsNumberOr(FieldValue(F, u"EcAmount"), 0);
  E.TrxId = AsNumberOr(FieldValue(F, u"TerminalTrxID"), 0);
  E.Rrn = AsText(FieldValue(F, u"RRN"));
  E.AuthCode = AsText(FieldValue(F, u"Auth"));
  E.CardType = AsText(FieldValue(F, u"Card"));
  E.OperationId = AsText(FieldValue(F, u"OperationId"));
  E.Status = static_cast<int32_t>(AsNumberOr(FieldValue(F, u"Status"), 1));
  E.Cancelled = AsNumberOr(FieldValue(F, u"Cancelled"), 0);
  E.Reversed = AsText(FieldValue(F, u"Reversed")) == u"1";
  E.Time = AsText(FieldValue(F, u"Time"));
  return E;
}

}  // namespace

std::u16string_view OpKindName(OpKind Kind) noexcept { return InfoOf(Kind).Name; }
std::u16string_view OpKindTitle(OpKind Kind) noexcept { return InfoOf(Kind).Title; }

std::optional<OpKind> OpKindFromName(std::u16string_view Name) noexcept {
  for (const KindInfo& I : kKinds)
    if (SameName(I.Name, Name)) return I.Kind;
  return std::nullopt;
}

const Card& CardByType(std::u16string_view Type) noexcept {
  for (const Card& C : kCards)
    if (SameName(C.Type, Type)) return C;
  return kCards.front();
}

std::u16string MaskedPan(const Card& C) {
  std::u16string Pan(C.Pan);
  return Pan.substr(0, 6) + std::u16string(Pan.size() - 10, u'*') + Pan.substr(Pan.size() - 4);
}

std::u16string CardHash(const Card& C) {
  uint64_t Hash = 1469598103934665603ull;
  for (char16_t Ch : C.Pan) Hash = (Hash ^ Ch) * 1099511628211ull;
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string Out;
  for (int Shift = 60; Shift >= 0; Shift -= 4) Out += kDigits[(Hash >> Shift) & 0xF];
  return Out;
}

JournalEntry& Journal::Add(JournalEntry Entry) {
  Entry.Number = FEntries.empty() ? 1 : FEntries.back().Number + 1;
  FEntries.push_back(std::move(Entry));
  return FEntries.back();
}

JournalEntry* Journal::Find(std::u16string_view Rrn, int64_t TrxId, std::initializer_list<OpKind> Kinds) noexcept {
  for (auto It = FEntries.rbegin(); It != FEntries.rend(); ++It) {
    if (It->Reversed || std::find(Kinds.begin(), Kinds.end(), It->Kind) == Kinds.end()) continue;
    if (Rrn.empty() ? (TrxId != 0 && It->TrxId == TrxId) : It->Rrn == Rrn) return &*It;
  }
  return nullptr;
}

bool Journal::CancelsPreauth(const JournalEntry& Void) const {
  return std::any_of(FEntries.begin(), FEntries.end(),
                     [&](const JournalEntry& E) { return E.Kind == OpKind::Preauth && E.Rrn == Void.Rrn; });
}

// Pre-authorisations hold money without taking it: neither they nor their
// cancellations are in the totals.
Totals Journal::Sum() const {
  Totals T;
  for (const JournalEntry& E : FEntries) {
    if (E.Reversed || E.Kind == OpKind::Preauth || (E.Kind == OpKind::Void && CancelsPreauth(E))) continue;
    if (IsPayment(E.Kind)) {
      ++T.Payments;
      T.PaymentSum += E.Amount;
    } else if (IsRefund(E.Kind)) {
      ++T.Refunds;
      T.RefundSum += E.Amount;
    } else if (E.Kind == OpKind::Void) {
      ++T.Voids;
      T.VoidSum += E.Amount;
    } else {
      ++T.Transfers;
      T.TransferSum += E.Amount;
    }
  }
  return T;
}

void Journal::Close() {
  FEntries.clear();
  ++FBatch;
}

void Journal::Clear() {
  FEntries.clear();
  FBatch = 1;
}

std::u16string Journal::ToText() const {
  std::u16string Out;
  for (const JournalEntry& E : FEntries) Out += FieldsToText(EntryFields(E)) + u"\n";
  return Out;
}

void Journal::LoadText(std::u16string_view Text) {
  Clear();
  while (!Text.empty()) {
    size_t End = std::min(Text.find(u'\n'), Text.size());
    auto Line = TrimControl(Text.substr(0, End));
    if (Line.starts_with(u"Batch=")) {
      FBatch = static_cast<int32_t>(AsNumberOr(std::u16string(Line.substr(6)), 1));
    } else if (auto E = EntryFromLine(Line)) {
      if (E->Number <= 0) E->Number = static_cast<int32_t>(FEntries.size() + 1);
      FEntries.push_back(*E);
    }
    Text.remove_prefix(std::min(End + 1, Text.size()));
  }
}

}  // namespace terminal_sim
