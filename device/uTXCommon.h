#pragma once
// The records the acquiring driver hands to the terminal device and back, and
// the device's own failure.
#include <cstdint>
#include <string>

#include "platform/Exception.h"

// A money amount in ten-thousandths of the currency unit.
using Currency = int64_t;

struct TTransactParams {
  int64_t MerchantNumber = 0;
  std::u16string ConsumerPresentedQR;
  Currency Amount = 0;
  Currency AmountCash = 0;
  std::u16string CardNumber;
  std::u16string ReceiptNumber;
  std::u16string RRNCode;
  std::u16string AuthorizationCode;
  std::u16string Slip;
  Currency AmountOriginalTransaction = 0;
  std::u16string BasketID;
  Currency ElectronicCertificateAmount = 0;
  Currency OwnFundsAmount = 0;
  int32_t OperationStatus = 0;

  void Clear() { *this = TTransactParams(); }
};

struct TCardOperation {
  int64_t MerchantNumber = 0;
  std::u16string CardNumber;
  std::u16string CardNumberHash;
  Currency Amount = 0;
  Currency AmountCash = 0;
  Currency ElectronicCertificateAmount = 0;
  Currency ReturnElectronicCertificate = 0;
  std::u16string TypeOperation;
  std::u16string AuthorizationCode;
  std::u16string RRNCode;
  std::u16string OperationDate;
  std::u16string OperationTime;

  void Clear() { *this = TCardOperation(); }
};

// What the terminal can do: read from its capability list and reported to the
// host in the terminal-parameters document.
struct TTerminalCapabilities {
  bool PrintSlipOnTerminal = false;
  bool ShortSlip = false;
  bool CashWithdrawal = false;
  bool ElectronicCertificates = false;
  bool PartialCancellation = false;
  bool ConsumerPresentedQR = false;
  bool ListCardTransactions = false;
};

// A transaction status the terminal answered as failed. Code tells the host
// whether the outcome is unknown (4501: status 0, the payment may still be in
// progress) or a plain failure (1001). "Devcie" is the name callers catch it
// by: keep the spelling.
class EDevcieError : public Exception {
public:
  static constexpr int32_t kUndeterminedCode = 4501;
  static constexpr int32_t kFailureCode = 1001;

  EDevcieError(int32_t AStatus, const std::u16string& ATextResponse, const std::u16string& ADescription);
  int32_t Code() const noexcept { return FCode; }

private:
  int32_t FCode;
};
