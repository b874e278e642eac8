#pragma once
// The terminal's batch: every operation that went through since the last
// settlement, with what its receipt, reports and reversals need.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace terminal_sim {

enum class OpKind { Sale, Preauth, Completion, Refund, Void, Transfer, EcSale, EcRefund, FpsSale, FpsRefund };

std::u16string_view OpKindName(OpKind Kind) noexcept;
std::optional<OpKind> OpKindFromName(std::u16string_view Name) noexcept;
// Title of the operation on receipts and reports.
std::u16string_view OpKindTitle(OpKind Kind) noexcept;

struct Card {
  std::u16string_view Type;  // "MIR", "VISA", "MC"
  std::u16string_view Pan;
};

const Card& CardByType(std::u16string_view Type) noexcept;  // MIR for an unknown type
std::u16string MaskedPan(const Card& C);
std::u16string CardHash(const Card& C);  // 16 hex digits, the same for the same card

struct JournalEntry {
  int32_t Number = 0;  // within the batch, from 1
  OpKind Kind = OpKind::Sale;
  int64_t Amount = 0;  // kopecks
  int64_t EcAmount = 0;
  int64_t TrxId = 0;
  std::u16string Rrn;
  std::u16string AuthCode;
  std::u16string CardType;     // empty for fast payments
  std::u16string OperationId;  // fast payments
  std::u16string Time;         // "dd.mm.yyyy hh:nn:ss"
  int32_t Status = 1;
  int64_t Cancelled = 0;  // voided or completed part of the amount
  bool Reversed = false;
};

struct Totals {
  int32_t Payments = 0, Refunds = 0, Voids = 0, Transfers = 0;
  int64_t PaymentSum = 0, RefundSum = 0, VoidSum = 0, TransferSum = 0;
};

class Journal {
public:
  JournalEntry& Add(JournalEntry Entry);
  const std::vector<JournalEntry>& Entries() const noexcept { return FEntries; }
  JournalEntry* Last() noexcept { return FEntries.empty() ? nullptr : &FEntries.back(); }
  // The newest entry of the kinds given matching the reference number, else
  // (with no reference) the terminal transaction number.
  JournalEntry* Find(std::u16string_view Rrn, int64_t TrxId, std::initializer_list<OpKind> Kinds) noexcept;
  Totals Sum() const;
  int32_t Batch() const noexcept { return FBatch; }
  void Close();  // settlement: a new, empty batch
  void Clear();

  // One line per entry, "No=1;Op=Sale;Amount=12345;...".
  std::u16string ToText() const;
  void LoadText(std::u16string_view Text);

private:
  bool CancelsPreauth(const JournalEntry& Void) const;

  std::vector<JournalEntry> FEntries;
  int32_t FBatch = 1;
};

}  // namespace terminal_sim
