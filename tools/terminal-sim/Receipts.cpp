#include "tools/terminal-sim/Receipts.h"

#include "platform/Text.h"

namespace terminal_sim {

namespace {

constexpr std::u16string_view kEol = u"\r\n";

void Line(std::u16string& Out, std::u16string_view A, std::u16string_view B = {}) {
  Out += A;
  Out += B;
  Out += kEol;
}

std::u16string Head(const ReceiptHead& H, std::u16string_view Title) {
  std::u16string Out;
  Line(Out, u"ТЕСТОВЫЙ ТЕРМИНАЛ TANDEMIX");
  Line(Out, u"ТЕРМИНАЛ: ", H.TerminalId);
  Line(Out, u"ДАТА И ВРЕМЯ: ", H.Time);
  Line(Out, Title);
  return Out;
}

std::u16string Amount(int64_t Kopecks) { return Rubles(Kopecks) + u" руб."; }

void TotalsLine(std::u16string& Out, std::u16string_view Name, int32_t Count, int64_t Sum) {
  Line(Out, Name, u": " + IntToText(Count) + u" НА СУММУ " + Amount(Sum));
}

void AppendItem(std::u16string& Out, std::u16string_view Name, std::u16string_view Value) {
  if (Value.empty()) return;
  Out += Name;
  Out += u'^';
  Out += IntToText(static_cast<int64_t>(Value.size()));
  Out += u'^';
  Out += Value;
  Out += u'~';
}

}  // namespace

std::u16string Rubles(int64_t Kopecks) {
  uint64_t Abs = Kopecks < 0 ? 0 - static_cast<uint64_t>(Kopecks) : static_cast<uint64_t>(Kopecks);
  std::u16string Cents = IntToText(static_cast<int64_t>(Abs % 100));
  if (Cents.size() < 2) Cents.insert(Cents.begin(), u'0');
  return (Kopecks < 0 ? u"-" : u"") + IntToText(static_cast<int64_t>(Abs / 100)) + u"," + Cents;
}

std::u16string OperationReceipt(const ReceiptHead& H, const JournalEntry& E, std::u16string_view CopyTitle) {
  std::u16string Out = Head(H, OpKindTitle(E.Kind));
  Line(Out, CopyTitle);
  if (!E.CardType.empty()) Line(Out, u"КАРТА: ", E.CardType + u" " + MaskedPan(CardByType(E.CardType)));
  if (!E.OperationId.empty()) Line(Out, u"ОПЕРАЦИЯ СБП: ", E.OperationId);
  Line(Out, u"СУММА: ", Amount(E.Amount));
  if (E.EcAmount != 0) Line(Out, u"ЭЛ. СЕРТИФИКАТ: ", Amount(E.EcAmount));
  Line(Out, u"НОМЕР ОПЕРАЦИИ: ", IntToText(E.TrxId));
  Line(Out, u"КОД АВТОРИЗАЦИИ: ", E.AuthCode);
  Line(Out, u"RRN: ", E.Rrn);
  Line(Out, E.Status == 2 ? u"ОДОБРЕНО ЧАСТИЧНО" : u"ОДОБРЕНО");
  return Out;
}

std::u16string DeclineReceipt(const ReceiptHead& H, std::u16string_view Title, int64_t Kopecks,
                              std::u16string_view Reason) {
  std::u16string Out = Head(H, Title);
  if (Kopecks != 0) Line(Out, u"СУММА: ", Amount(Kopecks));
  Line(Out, u"ОТКАЗ: ", Reason);
  return Out;
}

std::u16string TotalsReceipt(const ReceiptHead& H, std::u16string_view Title, int32_t Batch, const Totals& Sum) {
  std::u16string Out = Head(H, Title);
  Line(Out, u"ПАКЕТ: ", IntToText(Batch));
  TotalsLine(Out, u"ОПЛАТЫ", Sum.Payments, Sum.PaymentSum);
  TotalsLine(Out, u"ВОЗВРАТЫ", Sum.Refunds, Sum.RefundSum);
  TotalsLine(Out, u"ОТМЕНЫ", Sum.Voids, Sum.VoidSum);
  TotalsLine(Out, u"ПЕРЕВОДЫ", Sum.Transfers, Sum.TransferSum);
  Line(Out, u"ИТОГО: ", Amount(Sum.PaymentSum - Sum.RefundSum - Sum.VoidSum - Sum.TransferSum));
  return Out;
}

std::u16string OperationLines(const Journal& Batch) {
  std::u16string Out;
  for (const JournalEntry& E : Batch.Entries()) {
    Line(Out, IntToText(E.Number) + u" " + std::u16string(OpKindTitle(E.Kind)) + u" " + Amount(E.Amount) + u" RRN " +
                  E.Rrn + (E.Reversed ? u" АВАРИЙНО ОТМЕНЕНА" : u""));
  }
  return Out;
}

std::u16string PlainReceipt(const ReceiptHead& H, std::u16string_view Body) {
  std::u16string Out = Head(H, Body);
  return Out;
}

std::u16string ReceiptItems(std::u16string_view Receipt, std::u16string_view Second, std::u16string_view CardType) {
  std::u16string Out;
  AppendItem(Out, u"0xDF", Receipt);
  AppendItem(Out, u"0xDA", Second);
  AppendItem(Out, u"0xDE", CardType);
  return Out;
}

}  // namespace terminal_sim
