#pragma once
// Receipt and report texts as the terminal prints them (CR LF lines), and the
// item form they travel in: "name^middle^value~".
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/terminal-sim/Journal.h"

namespace terminal_sim {

// 12345 -> "123,45"
std::u16string Rubles(int64_t Kopecks);

struct ReceiptHead {
  std::u16string_view TerminalId;
  std::u16string_view Time;  // "dd.mm.yyyy hh:nn:ss"
};

std::u16string OperationReceipt(const ReceiptHead& Head, const JournalEntry& Entry, std::u16string_view CopyTitle);
std::u16string DeclineReceipt(const ReceiptHead& Head, std::u16string_view Title, int64_t Kopecks,
                              std::u16string_view Reason);
std::u16string TotalsReceipt(const ReceiptHead& Head, std::u16string_view Title, int32_t Batch, const Totals& Sum);
std::u16string OperationLines(const Journal& Batch);
std::u16string PlainReceipt(const ReceiptHead& Head, std::u16string_view Body);

// The receipt items: 0xDF the receipt, 0xDA its second part, 0xDE the card
// type; empty parts are left out.
std::u16string ReceiptItems(std::u16string_view Receipt, std::u16string_view Second, std::u16string_view CardType);

}  // namespace terminal_sim
