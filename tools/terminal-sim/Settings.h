#pragma once
// What the user or a test has chosen for the terminal: lasting settings, and
// one-shot choices that the next exchange uses up.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/terminal-sim/SimValue.h"

namespace terminal_sim {

enum class Fault {
  None,
  CreatePacket,          // Tandemix.SAPacket cannot be created
  CreateLink,            // Tandemix.TXLink cannot be created
  Create,                // neither
  ExchangeFails,         // Exchange raises
  Timeout,               // Exchange raises the timeout at once
  StatusText,            // Status is a text, not a number
  CommandResultText,     // CommandResult is a text, not a number
  MissingFields,         // only Status and CommandResult come back
  BadAdditionalData,     // AdditionalData is not valid hex BER-TLV
  BadReceiptData,        // ReceiptData items are broken
  InitResourcesFails,    // InitResources raises
  FreeResourcesFails,    // FreeResources raises
  ChannelFails,          // SetChannelTerminalParam raises
  PortBusy,              // InitResources raises: the port is held by another program
  StatusNumericText,     // Status is the text of its number ("1")
  Status64,              // Status is a 64-bit integer (VT_I8)
  StatusMissing,         // the answer carries no Status
  PartialApproval,       // every approved operation answers status 2
  OfflineApproval,       // every approved operation answers status 17
  LongTlvLengths,        // AdditionalData elements with long-form lengths (81 nn)
  Cp1251AdditionalData,  // Cyrillic texts in AdditionalData as code page 1251 bytes
};

// Which call a fault hits: a one-shot fault waits for its own call.
enum class FaultStage { None, Creation, InitResources, FreeResources, Channel, Exchange };
FaultStage StageOf(Fault F) noexcept;

std::u16string_view FaultName(Fault F) noexcept;
Fault ParseFault(std::u16string_view Name);  // raises for an unknown name

struct Settings {
  std::u16string ModelNo = u"Tandemix SIM-1^FAN:PST;SSLIP;ECNCPK;PC;CPQR;LCT;";
  std::u16string Card = u"MIR";
  std::u16string MerchantID = u"MA0000012345";
  int32_t DelayMs = 0;
  int32_t RealDelayMs = 0;
  // The connector's checks of what the driver sends (README, "Strict mode").
  bool Strict = true;
  int32_t FpsPaidAfter = 2;
  Fault LastingFault = Fault::None;
  FieldList Forced;

  Fault NextFault = Fault::None;
  std::optional<int32_t> NextStatus;
  std::optional<int32_t> NextCommandResult;
  FieldList NextFields;

  // One "Name=Value" setting; raises for an unknown name or a bad value.
  void Apply(std::u16string_view Name, std::u16string_view Value);
  // Lines of "Name=Value"; blank lines and lines starting with '#' are skipped.
  void ApplyText(std::u16string_view Text);
  std::u16string ToText() const;

  // The fault of this call (InitResources, FreeResources, SetChannelTerminalParam
  // or Exchange), using up a one-shot one; faults of other calls are left for
  // them.
  Fault TakeFault(FaultStage Stage) noexcept;
  Fault TakeExchangeFault() noexcept { return TakeFault(FaultStage::Exchange); }
  // Whether creating a packet (or a link) fails now, using up a one-shot fault.
  bool TakeCreationFault(bool Packet) noexcept;
};

}  // namespace terminal_sim
