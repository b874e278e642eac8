#pragma once
// The terminal's answers: one request in, one response out, with the journal
// and the fast-payment operations changed as a real terminal would change them.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/terminal-sim/Journal.h"
#include "tools/terminal-sim/Settings.h"
#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

// A fast payment or refund by QR code, from its creation until it is paid.
struct FpsOperation {
  std::u16string Id;  // the operation id (FileData) inside the QR link
  bool Refund = false;
  int64_t Amount = 0;
  std::u16string Rrn, AuthCode, QrLink;
  int32_t Queries = 0;
  bool Settled = false;  // paid (or refunded) or declined: queries no longer move it
  int32_t FinalStatus = 0;
  int32_t EntryNumber = 0;
};

struct TerminalState {
  Settings Options;
  Journal Batch;
  std::vector<FpsOperation> Fps;
  std::mt19937 Random{std::random_device{}()};
};

// The terminal's answer to one request. Chosen is the fault of this exchange:
// PartialApproval and OfflineApproval turn every approval into status 2 or 17.
FieldList RunOperation(TerminalState& State, const FieldList& Request, Fault Chosen = Fault::None);

// The answer of a terminal still busy with the last operation (printing its
// receipt): nothing done, status 20 (no status of the connector's table).
FieldList BusyAnswer();
inline constexpr int32_t kBusyStatus = 20;

}  // namespace terminal_sim
