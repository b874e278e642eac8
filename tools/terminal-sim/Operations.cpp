#include "tools/terminal-sim/Operations.h"

#include <ctime>
#include <optional>
#include <utility>

#include "platform/Clock.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "tools/terminal-sim/Receipts.h"
#include "tools/terminal-sim/Tlv.h"

namespace terminal_sim {

namespace {

struct Outcome {
  int32_t Status;
  int32_t CommandResult;
  std::u16string_view Text;
  std::u16string_view HostCode;
};

constexpr Outcome kApproved{1, 0, u"Одобрено", u"00"};
constexpr Outcome kPartial{2, 0, u"Одобрено частично", u"10"};
constexpr Outcome kOffline{17, 0, u"Одобрено в OFFLINE", u"Y1"};
constexpr Outcome kDeclined{16, 4, u"Отказано", u"05"};
constexpr Outcome kNoFunds{16, 4, u"Недостаточно средств", u"51"};
constexpr Outcome kNoConnection{34, 34, u"Нет соединения с банком", u""};
constexpr Outcome kAborted{53, 53, u"Операция прервана", u""};
constexpr Outcome kReversedByTerminal{13, 13, u"Выполнена аварийная отмена", u""};
constexpr Outcome kInProcessing{0, 1, u"Операция в обработке", u""};
constexpr Outcome kWaitingPayment{0, 1, u"Ожидание оплаты по QR-коду", u""};
constexpr Outcome kNotFound{16, 3, u"Исходная операция не найдена", u"25"};
constexpr Outcome kNoReceipt{16, 3, u"Нет чека для копии", u"25"};
constexpr Outcome kNoCard{16, 3, u"Нет данных карты последней операции", u""};
constexpr Outcome kBadAmount{16, 2, u"Неверная сумма", u"13"};
constexpr Outcome kBadRequest{16, 2, u"Неверные данные запроса", u"30"};
constexpr Outcome kUnsupported{16, 2, u"Операция не поддерживается", u"12"};
constexpr Outcome kBusy{kBusyStatus, kBusyStatus, u"Терминал занят: идёт печать чека, повторите операцию", u""};

constexpr std::u16string_view kDigits = u"0123456789";
constexpr std::u16string_view kAlphanumeric = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

constexpr uint8_t kTagCard = 0xEE, kTagKey = 0xDE, kTagQr = 0xF6;
constexpr uint8_t kTagD1 = 0xD1, kTagD2 = 0xD2, kTagD3 = 0xD3;

Outcome OutcomeOfStatus(int32_t Status) {
  switch (Status) {
    case 0: return kInProcessing;
    case 1: return kApproved;
    case 2: return kPartial;
    case 13: return kReversedByTerminal;
    case 16: return kDeclined;
    case 17: return kOffline;
    case 34: return kNoConnection;
    case 53: return kAborted;
    default: return {Status, 99, u"Неизвестный статус", u""};
  }
}

bool IsApproval(const Outcome& O) noexcept { return O.Status == 1 || O.Status == 2 || O.Status == 17; }

// The amount's kopecks choose the answer of the bank, so that every status can
// be had by hand: ,13 declined, ,51 no funds, ,34 no connection, ,53 aborted,
// ,17 approved offline, ,02 partly approved.
std::optional<Outcome> OutcomeByAmount(int64_t Kopecks) {
  switch (Kopecks % 100) {
    case 13: return kDeclined;
    case 51: return kNoFunds;
    case 34: return kNoConnection;
    case 53: return kAborted;
    case 17: return kOffline;
    case 2: return kPartial;
    default: return std::nullopt;
  }
}

bool IsPayment(OpKind Kind) noexcept {
  return Kind == OpKind::Sale || Kind == OpKind::Completion || Kind == OpKind::EcSale || Kind == OpKind::FpsSale;
}

Bytes CardData(const Card& C) {
  std::u16string Pan(C.Pan);
  return TlvElement(kTagCard, TlvElement(kTagD1, AsciiBytes(Pan.substr(Pan.size() - 4))) +
                                  TlvElement(kTagD2, AsciiBytes(CardHash(C))) +
                                  TlvElement(kTagD3, AsciiBytes(Pan.substr(0, 6))));
}

Bytes BigEndian32(uint32_t V) {
  Bytes Out;
  for (int Shift = 24; Shift >= 0; Shift -= 8) Out += static_cast<char>((V >> Shift) & 0xFF);
  return Out;
}

// A number the connector's interface reads as a 32-bit integer stays one.
Value Narrow(int64_t V) {
  if (V >= INT32_MIN && V <= INT32_MAX) return static_cast<int32_t>(V);
  return V;
}

class Operation {
public:
  Operation(TerminalState& State, const FieldList& Request, Fault Chosen)
      : FState(State),
        FRequest(Request),
        FTime(os::FormatFixedDateTime(os::CurrentClock().Now(), true)),
        FTerminalId(Text(u"TerminalId").empty() ? u"00000001" : Text(u"TerminalId")) {
    if (Chosen == Fault::PartialApproval) FApproval = kPartial;
    if (Chosen == Fault::OfflineApproval) FApproval = kOffline;
    FApprovalChosen = FApproval.Status != 1;
  }

  FieldList Run() {
    auto Chosen = std::exchange(FState.Options.NextStatus, std::nullopt);
    auto ChosenResult = std::exchange(FState.Options.NextCommandResult, std::nullopt);
    FieldList Response;
    if (Chosen && !IsApproval(OutcomeOfStatus(*Chosen))) {
      Response = Decline(OutcomeOfStatus(*Chosen), u"ОПЕРАЦИЯ");
    } else {
      if (Chosen) {
        FApproval = OutcomeOfStatus(*Chosen);
        FApprovalChosen = true;
      }
      Response = Dispatch();
    }
    if (ChosenResult) SetField(Response, u"CommandResult", *ChosenResult);
    return Response;
  }

private:
  FieldList Dispatch() {
    int64_t Flag = Number(u"ProcessingFlag");
    switch (Number(u"OperationCode")) {
      case 1:
        if (Flag == 104) return Certificate(OpKind::EcSale);
        if (Flag == 115) return FpsStart(false);
        if (Flag == 116) return FpsStart(true);
        if (Flag == 117) return FpsStatus(false);
        return CardOperation(OpKind::Sale);
      case 15: return CardOperation(OpKind::Preauth);
      case 29:
        if (Flag == 104) return Certificate(OpKind::EcRefund);
        if (Flag == 118) return FpsRefund();
        if (Flag == 119) return FpsStatus(true);
        return CardOperation(OpKind::Refund);
      case 87: return CardOperation(OpKind::Transfer);
      case 4: return Void();
      case 16: return Completion();
      case 53: return Reversal();
      case 59: return Settlement();
      case 63: return Report();
      case 26: return TerminalCheck();
      case 57: return ReadCard();
      case 41: return ShowQr();
      default: return Decline(kUnsupported, u"ОПЕРАЦИЯ");
    }
  }

  // --- the request ---

  int64_t Number(std::u16string_view Name) const { return AsNumberOr(FieldValue(FRequest, Name), 0); }
  std::u16string Text(std::u16string_view Name) const { return AsText(FieldValue(FRequest, Name)); }
  // A positive amount in kopecks, or nothing.
  std::optional<int64_t> Amount(std::u16string_view Name = u"Amount") const {
    auto V = AsNumber(FieldValue(FRequest, Name));
    if (!V || *V <= 0 || Text(Name).empty()) return std::nullopt;
    return V;
  }
  ReceiptHead Head() const { return {FTerminalId, FTime}; }

  // --- answers ---

  FieldList Answer(const Outcome& O, std::u16string_view Receipt = {}, std::u16string_view Second = {},
                   std::u16string_view CardType = {}) const {
    FieldList R;
    SetField(R, u"Status", O.Status);
    SetField(R, u"CommandResult", O.CommandResult);
    SetField(R, u"TextResponse", std::u16string(O.Text));
    SetField(R, u"ResponseCodeHost", std::u16string(O.HostCode));
    SetField(R, u"ReceiptData", ReceiptItems(Receipt, Second, CardType));
    return R;
  }

  FieldList Decline(const Outcome& O, std::u16string_view Title) const {
    return Answer(O, DeclineReceipt(Head(), Title, Amount().value_or(0), O.Text));
  }

  FieldList Approve(const JournalEntry& E) {
    FieldList R = Answer(OutcomeOfStatus(E.Status), OperationReceipt(Head(), E, u"ЭКЗЕМПЛЯР КЛИЕНТА"),
                         OperationReceipt(Head(), E, u"ЭКЗЕМПЛЯР ПРОДАВЦА"), E.CardType);
    SetField(R, u"Amount", IntToText(E.Amount));
    SetField(R, u"TerminalTrxID", Narrow(E.TrxId));
    SetField(R, u"ReferenceNumber", E.Rrn);
    SetField(R, u"AuthorizationCode", E.AuthCode);
    Bytes Additional;
    if (!E.CardType.empty()) {
      const Card& C = CardByType(E.CardType);
      SetField(R, u"PAN", MaskedPan(C));
      Additional = CardData(C);
    }
    if (IsPayment(E.Kind)) Additional += InterbankKey(E.CardType.empty() ? u"SBP" : E.CardType);
    if (!Additional.empty()) SetField(R, u"AdditionalData", ToHex(Additional));
    return R;
  }

  JournalEntry NewEntry(OpKind Kind, int64_t Sum, std::u16string_view CardType) {
    JournalEntry E;
    E.Kind = Kind;
    E.Amount = Sum;
    E.TrxId = Number(u"TerminalTrxID");
    E.Rrn = RandomText(kDigits, 12);
    E.AuthCode = RandomText(kAlphanumeric, 6);
    E.CardType = CardType;
    E.Time = FTime;
    E.Status = FApproval.Status;
    return E;
  }

  // An approved chosen status stands; otherwise the amount may choose one.
  std::optional<Outcome> DeclineByAmount(int64_t Sum) {
    auto ByAmount = OutcomeByAmount(Sum);
    if (!ByAmount) return std::nullopt;
    if (!IsApproval(*ByAmount)) return ByAmount;
    if (!FApprovalChosen) FApproval = *ByAmount;
    return std::nullopt;
  }

  // --- card operations ---

  FieldList CardOperation(OpKind Kind) {
    auto Sum = Amount();
    if (!Sum) return Decline(kBadAmount, OpKindTitle(Kind));
    if (auto Declined = DeclineByAmount(*Sum)) return Decline(*Declined, OpKindTitle(Kind));
    std::u16string CardType = FState.Options.Card;
    if (Kind == OpKind::Refund) {
      if (const JournalEntry* Original = FindOriginal({OpKind::Sale, OpKind::Completion})) {
        if (*Sum > Original->Amount - Original->Cancelled) return Decline(kBadAmount, OpKindTitle(Kind));
        CardType = Original->CardType;
      }
    }
    return Approve(FState.Batch.Add(NewEntry(Kind, *Sum, CardType)));
  }

  JournalEntry* FindOriginal(std::initializer_list<OpKind> Kinds) {
    return FState.Batch.Find(Text(u"ReferenceNumber"), Number(u"TerminalTrxID"), Kinds);
  }

  FieldList Void() {
    JournalEntry* Original =
        FindOriginal({OpKind::Sale, OpKind::Completion, OpKind::Preauth, OpKind::EcSale, OpKind::Transfer});
    if (!Original) return Decline(kNotFound, OpKindTitle(OpKind::Void));
    int64_t Remaining = Original->Amount - Original->Cancelled;
    int64_t Sum = Amount().value_or(Remaining);
    if (Sum <= 0 || Sum > Remaining) return Decline(kBadAmount, OpKindTitle(OpKind::Void));
    Original->Cancelled += Sum;
    return Approve(FState.Batch.Add(Follower(*Original, OpKind::Void, Sum)));
  }

  FieldList Completion() {
    JournalEntry* Original = FindOriginal({OpKind::Preauth});
    if (!Original) return Decline(kNotFound, OpKindTitle(OpKind::Completion));
    auto Sum = Amount();
    if (!Sum || *Sum > Original->Amount - Original->Cancelled)
      return Decline(kBadAmount, OpKindTitle(OpKind::Completion));
    Original->Cancelled = Original->Amount;
    return Approve(FState.Batch.Add(Follower(*Original, OpKind::Completion, *Sum)));
  }

  // An operation on an earlier one: the same card, reference and codes.
  JournalEntry Follower(const JournalEntry& Original, OpKind Kind, int64_t Sum) {
    JournalEntry E = NewEntry(Kind, Sum, Original.CardType);
    E.TrxId = Original.TrxId;
    E.Rrn = Original.Rrn;
    E.AuthCode = Original.AuthCode;
    return E;
  }

  // Reverses the last operation when the request names it (or names none).
  // Nothing to reverse is no failure: the operation is not in effect either way.
  FieldList Reversal() {
    JournalEntry* Last = FState.Batch.Last();
    int64_t TrxId = Number(u"TerminalTrxID");
    if (!Last || Last->Reversed || (TrxId != 0 && Last->TrxId != TrxId)) {
      FieldList R =
          Answer(FApproval, PlainReceipt(Head(), u"АВАРИЙНАЯ ОТМЕНА\r\nОПЕРАЦИЯ НЕ НАЙДЕНА, ОТМЕНА НЕ ТРЕБУЕТСЯ"));
      SetField(R, u"TextResponse", u"Операция для отмены не найдена");
      return R;
    }
    Last->Reversed = true;
    ReleaseOriginalOf(*Last);
    std::u16string Receipt = PlainReceipt(Head(), u"АВАРИЙНАЯ ОТМЕНА") + OperationReceipt(Head(), *Last, u"ОТМЕНЕНА");
    FieldList R = Answer(FApproval, Receipt, {}, Last->CardType);
    SetField(R, u"Amount", IntToText(Last->Amount));
    SetField(R, u"ReferenceNumber", Last->Rrn);
    return R;
  }

  void ReleaseOriginalOf(const JournalEntry& Reversed) {
    if (Reversed.Kind != OpKind::Void && Reversed.Kind != OpKind::Completion) return;
    auto Kinds = Reversed.Kind == OpKind::Void
                     ? std::initializer_list<OpKind>{OpKind::Sale, OpKind::Completion, OpKind::Preauth, OpKind::EcSale,
                                                     OpKind::Transfer}
                     : std::initializer_list<OpKind>{OpKind::Preauth};
    if (JournalEntry* Original = FState.Batch.Find(Reversed.Rrn, 0, Kinds))
      Original->Cancelled = Reversed.Kind == OpKind::Void ? Original->Cancelled - Reversed.Amount : 0;
  }

  FieldList Certificate(OpKind Kind) {
    auto Sum = Amount();
    auto Certificate = Amount(u"AdditionalAmount");
    if (!Sum || !Certificate || *Certificate > *Sum) return Decline(kBadAmount, OpKindTitle(Kind));
    if (Text(u"FileData").empty()) return Decline(kBadRequest, OpKindTitle(Kind));
    if (auto Declined = DeclineByAmount(*Sum)) return Decline(*Declined, OpKindTitle(Kind));
    JournalEntry E = NewEntry(Kind, *Sum, u"MIR");
    E.EcAmount = *Certificate;
    FieldList R = Approve(FState.Batch.Add(E));
    SetField(R, u"FileData", Text(u"FileData"));
    return R;
  }

  // --- batch and reports ---

  FieldList Settlement() {
    std::u16string Receipt =
        TotalsReceipt(Head(), u"СВЕРКА ИТОГОВ", FState.Batch.Batch(), FState.Batch.Sum()) + u"ИТОГИ СОВПАЛИ\r\n";
    FState.Batch.Close();
    return Answer(FApproval, Receipt);
  }

  FieldList Report() {
    switch (Number(u"CommandMode2")) {
      case 20:
        return Answer(FApproval, TotalsReceipt(Head(), u"КРАТКИЙ ОТЧЕТ", FState.Batch.Batch(), FState.Batch.Sum()));
      case 21:
        return Answer(FApproval, TotalsReceipt(Head(), u"ПОЛНЫЙ ОТЧЕТ", FState.Batch.Batch(), FState.Batch.Sum()) +
                                     OperationLines(FState.Batch));
      case 22: return ReceiptCopy();
      default: return Decline(kUnsupported, u"ОТЧЕТ");
    }
  }

  FieldList ReceiptCopy() {
    const JournalEntry* E =
        Number(u"CommandMode") == 1
            ? nullptr
            : FindOriginal({OpKind::Sale, OpKind::Preauth, OpKind::Completion, OpKind::Refund, OpKind::Void,
                            OpKind::Transfer, OpKind::EcSale, OpKind::EcRefund, OpKind::FpsSale, OpKind::FpsRefund});
    if (!E) E = FState.Batch.Last();
    if (!E) return Decline(kNoReceipt, u"КОПИЯ ЧЕКА");
    return Answer(FApproval, u"КОПИЯ ЧЕКА\r\n" + OperationReceipt(Head(), *E, u"ЭКЗЕМПЛЯР КЛИЕНТА"), {}, E->CardType);
  }

  FieldList TerminalCheck() {
    if (Number(u"ProcessingFlag") == 2) {
      FieldList R = Answer(FApproval);
      SetField(R, u"ModelNo", FState.Options.ModelNo);
      return R;
    }
    bool PrintTest = Text(u"ReceiptData") == u"Test";
    FieldList R = Answer(FApproval, PrintTest ? PlainReceipt(Head(), u"ТЕСТ ТЕРМИНАЛА\r\nСВЯЗЬ С БАНКОМ: ЕСТЬ") : u"");
    SetField(R, u"TextResponse", u"Связь с банком установлена");
    return R;
  }

  FieldList ReadCard() {
    std::u16string CardType = FState.Options.Card;
    if (Number(u"ProcessingFlag") != 6) {
      CardType.clear();
      for (auto It = FState.Batch.Entries().rbegin(); It != FState.Batch.Entries().rend() && CardType.empty(); ++It)
        CardType = It->CardType;
      if (CardType.empty()) return Decline(kNoCard, u"ЧТЕНИЕ КАРТЫ");
    }
    const Card& C = CardByType(CardType);
    FieldList R = Answer(FApproval, {}, {}, C.Type);
    SetField(R, u"PAN", MaskedPan(C));
    SetField(R, u"AdditionalData", ToHex(CardData(C)));
    return R;
  }

  FieldList ShowQr() {
    if (FindTlv(Text(u"AdditionalData"), {kTagQr, kTagD1}).empty()) return Decline(kBadRequest, u"QR-КОД");
    FieldList R = Answer(FApproval);
    SetField(R, u"TextResponse", u"QR-код показан на экране терминала");
    return R;
  }

  // --- fast payments ---

  FpsOperation& NewFps(bool Refund, int64_t Sum) {
    FpsOperation Op;
    Op.Id = u"AS1" + RandomText(kAlphanumeric, 29);
    Op.Refund = Refund;
    Op.Amount = Sum;
    Op.Rrn = RandomText(kDigits, 12);
    Op.QrLink = u"https://qr.nspk.ru/" + Op.Id + u"?type=02&bank=100000000111&sum=" + IntToText(Sum) +
                u"&cur=RUB&crc=" + RandomText(u"0123456789ABCDEF", 4);
    FState.Fps.push_back(std::move(Op));
    return FState.Fps.back();
  }

  FieldList FpsStart(bool QrOnly) {
    auto Sum = Amount();
    if (!Sum) return Decline(kBadAmount, OpKindTitle(OpKind::FpsSale));
    if (auto Declined = DeclineByAmount(*Sum)) return Decline(*Declined, OpKindTitle(OpKind::FpsSale));
    FpsOperation& Op = NewFps(false, *Sum);
    if (!QrOnly && FState.Options.FpsPaidAfter == 0) return FpsSettle(Op);
    FieldList R = FpsAnswer(QrOnly ? FApproval : kWaitingPayment, Op);
    if (QrOnly) SetField(R, u"TextResponse", u"QR-код сформирован");
    return R;
  }

  FieldList FpsRefund() {
    FpsOperation* Original = FindFps(false, true);
    auto Sum = Amount();
    if (!Original || !Original->Settled || Original->FinalStatus != 1)
      return Decline(kNotFound, OpKindTitle(OpKind::FpsRefund));
    if (!Sum || *Sum > Original->Amount) return Decline(kBadAmount, OpKindTitle(OpKind::FpsRefund));
    FpsOperation& Op = NewFps(true, *Sum);
    if (FState.Options.FpsPaidAfter == 0) return FpsSettle(Op);
    return FpsAnswer(kInProcessing, Op);
  }

  FieldList FpsStatus(bool Refund) {
    FpsOperation* Op = FindFps(Refund, false);
    if (!Op) return Decline(kNotFound, OpKindTitle(Refund ? OpKind::FpsRefund : OpKind::FpsSale));
    if (!Op->Settled && ++Op->Queries >= FState.Options.FpsPaidAfter) return FpsSettle(*Op);
    if (Op->Settled) return FpsSettledAnswer(*Op);
    return FpsAnswer(Refund ? kInProcessing : kWaitingPayment, *Op);
  }

  // The operation the request names by its id, reference or authorisation
  // code; else (unless Strict) the newest one of its kind.
  FpsOperation* FindFps(bool Refund, bool Strict) {
    std::u16string Auth = Text(u"AuthorizationCode");
    std::u16string Rrn = Text(u"ReferenceNumber");
    FpsOperation* Newest = nullptr;
    for (auto It = FState.Fps.rbegin(); It != FState.Fps.rend(); ++It) {
      if (It->Refund != Refund) continue;
      if (!Newest) Newest = &*It;
      bool Named = (!Auth.empty() && (Auth == It->Id || Auth == It->AuthCode || Auth == It->Rrn)) ||
                   (!Rrn.empty() && Rrn == It->Rrn);
      if (Named) return &*It;
    }
    return Strict ? nullptr : Newest;
  }

  FieldList FpsSettle(FpsOperation& Op) {
    Op.Settled = true;
    Op.FinalStatus = FApproval.Status;
    Op.AuthCode = RandomText(kAlphanumeric, 6);
    Op.EntryNumber = FState.Batch.Add(FpsEntry(Op)).Number;
    return FpsSettledAnswer(Op);
  }

  JournalEntry FpsEntry(const FpsOperation& Op) {
    JournalEntry E = NewEntry(Op.Refund ? OpKind::FpsRefund : OpKind::FpsSale, Op.Amount, u"");
    E.Rrn = Op.Rrn;
    E.AuthCode = Op.AuthCode;
    E.OperationId = Op.Id;
    E.Status = Op.FinalStatus;
    return E;
  }

  FieldList FpsSettledAnswer(const FpsOperation& Op) {
    FieldList R = Approve(FpsEntry(Op));
    AddFpsFields(R, Op);
    return R;
  }

  FieldList FpsAnswer(const Outcome& O, const FpsOperation& Op) {
    FieldList R = Answer(O);
    AddFpsFields(R, Op);
    if (!Op.Refund) SetField(R, u"AdditionalData", ToHex(TlvPath({kTagQr, kTagD1}, AsciiBytes(Op.QrLink))));
    return R;
  }

  void AddFpsFields(FieldList& R, const FpsOperation& Op) const {
    SetField(R, u"MerchantID", FState.Options.MerchantID);
    SetField(R, u"FileData", Op.Id);
    SetField(R, u"ReferenceNumber", Op.Rrn);
  }

  // --- numbers and keys ---

  std::u16string RandomText(std::u16string_view Alphabet, size_t Length) {
    std::uniform_int_distribution<size_t> Pick(0, Alphabet.size() - 1);
    std::u16string Out;
    while (Out.size() < Length) {
      char16_t C = Alphabet[Pick(FState.Random)];
      if (Out.empty() && C == u'0') continue;  // reference numbers have no leading zero
      Out += C;
    }
    return Out;
  }

  Bytes InterbankKey(std::u16string_view PaymentSystem) {
    std::u16string Uuid = RandomText(u"0123456789abcdef", 32);
    Uuid[12] = u'4';
    for (size_t Dash : {20u, 16u, 12u, 8u}) Uuid.insert(Dash, 1, u'-');
    auto Now = static_cast<uint32_t>(std::time(nullptr));
    return TlvElement(kTagKey, TlvElement(kTagD1, AsciiBytes(Uuid)) + TlvElement(kTagD2, AsciiBytes(PaymentSystem)) +
                                   TlvElement(kTagD3, BigEndian32(Now)));
  }

  TerminalState& FState;
  const FieldList& FRequest;
  std::u16string FTime;
  std::u16string FTerminalId;
  Outcome FApproval = kApproved;
  bool FApprovalChosen = false;  // by NextStatus or a fault: the amount does not choose another
};

}  // namespace

FieldList RunOperation(TerminalState& State, const FieldList& Request, Fault Chosen) {
  return Operation(State, Request, Chosen).Run();
}

FieldList BusyAnswer() {
  FieldList R;
  SetField(R, u"Status", kBusy.Status);
  SetField(R, u"CommandResult", kBusy.CommandResult);
  SetField(R, u"TextResponse", std::u16string(kBusy.Text));
  SetField(R, u"ResponseCodeHost", std::u16string(kBusy.HostCode));
  SetField(R, u"ReceiptData", std::u16string());
  return R;
}

}  // namespace terminal_sim
