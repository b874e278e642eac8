#pragma once
// The driver's link to the terminal connector: each operation fills a request
// packet, runs one exchange on fresh connector objects and reads the response
// back into its arguments and into the last-result properties.
#include <cstdint>
#include <string>

#include "device/uTXCommon.h"
#include "platform/Automation.h"

// The pacing between exchanges, the pause after reading the terminal's
// parameters and the terminal's date and time all read the process's clock
// (platform/Clock.h), which tests replace to check them without waiting.
class TDevice {
public:
  TDevice();
  ~TDevice();
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  const std::u16string& CurrencyCode() const noexcept { return FCurrencyCode; }
  void SetCurrencyCode(const std::u16string& AValue) { FCurrencyCode = AValue; }
  const std::u16string& TerminalId() const noexcept { return FTerminalId; }
  void SetTerminalId(const std::u16string& AValue) { FTerminalId = AValue; }
  int32_t Port() const noexcept { return FPort; }
  void SetPort(int32_t AValue) noexcept { FPort = AValue; }
  int32_t Baud() const noexcept { return FBaud; }
  void SetBaud(int32_t AValue) noexcept { FBaud = AValue; }
  const std::u16string& CutTag() const noexcept { return FCutTag; }
  void SetCutTag(const std::u16string& AValue) { FCutTag = AValue; }
  int32_t TimeoutAfterGetParams() const noexcept { return FTimeoutAfterGetParams; }
  void SetTimeoutAfterGetParams(int32_t AValue) noexcept { FTimeoutAfterGetParams = AValue; }

  // The last response read, until the next exchange reads another.
  const std::u16string& Receipt() const noexcept { return FReceipt; }
  int32_t Status() const noexcept { return FStatus; }
  int32_t CommandResult() const noexcept { return FCommandResult; }
  const std::u16string& TextResponse() const noexcept { return FTextResponse; }
  const std::u16string& CardType() const noexcept { return FCardType; }
  const std::u16string& ResponseCodeHost() const noexcept { return FResponseCodeHost; }

  // Fresh request and response packets and link; Disable releases them.
  void Enable();
  void Disable();

  void TestConnection();
  void ShortTest();
  bool GetTerminalParameters(bool& APrintSlipOnTerminal, bool& AShortSlip, bool& ACashWithdrawal,
                             bool& AElectronicCertificates, bool& APartialCancellation, bool& AConsumerPresentedQR,
                             bool& AListCardTransactions);
  void Sale(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
            std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode);
  void Refund(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
              std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode);
  void Preauthorize(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                    std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode);
  void VoidSale(Currency ASum, Currency AOriginSum, const std::u16string& AConsumerPresentedQR,
                const std::u16string& ARecNum, const std::u16string& ARrn, const std::u16string& AAuthCode,
                std::u16string& ACardNum);
  void Confirm(Currency ASum, const std::u16string& AConsumerPresentedQR, const std::u16string& ARecNum,
               const std::u16string& ARrn, const std::u16string& AAuthCode, std::u16string& ACardNum);
  void ReadCard(bool AFromLastOperation, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                std::u16string& AHash, std::u16string& ABIN, std::u16string& ALast4Dig);
  // The card of the last operation, without an exchange.
  void GetCardParams(std::u16string& ACardNum, std::u16string& AHash, std::u16string& ABIN, std::u16string& ALast4Dig);
  // Resends the last operation's request as a reversal.
  void EmergencyVoid();
  // Spelt as the host method it serves (Settelment); keep the spelling.
  void Settelment();

  void SaleEc(Currency ASum, Currency ASumEc, const std::u16string& AConsumerPresentedQR,
              const std::u16string& ABasketID, std::u16string& ACardNum, std::u16string& ARecNum, std::u16string& ARrn,
              std::u16string& AAuthCode);
  void RefundEc(Currency ASum, Currency ASumEc, const std::u16string& AConsumerPresentedQR,
                const std::u16string& ABasketID, std::u16string& ACardNum, std::u16string& ARecNum,
                std::u16string& ARrn, std::u16string& AAuthCode);
  void TransferToCard(Currency ASum, std::u16string& ACardNum, std::u16string& ARecNum, std::u16string& ARrn,
                      std::u16string& AAuthCode);
  void SaleFPS(Currency ASum, int32_t& ARecNum, std::u16string& ARrn, int32_t AQRCodeLifetime,
               std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID);
  void GetQRCodeFPS(Currency ASum, int32_t& ARecNum, std::u16string& ARrn, int32_t AQRCodeLifetime,
                    std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID,
                    std::u16string& AQRCodeData);
  void GetSaleStatusFPS(Currency ASum, int32_t& ARecNum, std::u16string& AuthorizationCode, std::u16string& AMerchantID,
                        std::u16string& AResponseCode, std::u16string& AOpertationID);
  void RefundFPS(Currency ASum, const std::u16string& ACashierPwd, int32_t& ARecNum, std::u16string& ARrn,
                 std::u16string& AAuthCode, std::u16string& AMerchantID, std::u16string& AResponseCode,
                 std::u16string& AOpertationID);
  void GetRefundStatusFPS(Currency ASum, int32_t& ARecNum, std::u16string& ARrn, std::u16string& AuthorizationCode,
                          std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID);
  void ShowQRCodeFPSOnTerminal(int32_t ATimeout, const std::u16string& AQRCodeData);
  void GetReport(bool AFullReport);
  void GetReceiptCopy(const std::u16string& AReceiptNumber);
  // The composite interbank key of the last payment, from its response.
  void GetCompositeInterbankKey(std::u16string& AUUID, std::u16string& APaymentSystemIdentifier,
                                int64_t& ADateTimeUnix);

private:
  void RunExchange(bool AFillCommon, int32_t ATimeout);
  void CheckStatus();
  void WaitForPacing();
  void FillCommonFields();
  int32_t ExchangeTimeout(int32_t ATimeout);
  void CallExchange(int32_t ATimeout);
  void ReadResults();
  void BuildReceipt();

  // Runs the exchange and, whatever its outcome, the reading of the outputs.
  template <class TReadOutputs>
  void RunExchangeThenRead(bool AFillCommon, int32_t ATimeout, TReadOutputs AReadOutputs);

  void ReleaseObjects() noexcept;
  void PutInt(const char16_t* AName, int32_t AValue);
  void PutText(const char16_t* AName, const std::u16string& AValue);
  void PutTextIfNotEmpty(const char16_t* AName, const std::u16string& AValue);
  void PutAmount(const char16_t* AName, Currency AValue);
  void PutConsumerQR(const std::u16string& AConsumerPresentedQR);
  int32_t ResponseInt(const char16_t* AName);
  std::u16string ResponseText(const char16_t* AName);
  std::u16string RequestTrxIdText();

  void StartPayment(int32_t AOperationCode, Currency ASum, const std::u16string& AConsumerPresentedQR);
  void PutReferences(const std::u16string& ARrn, const std::u16string& AAuthCode);
  void PutRecNumOrNew(const std::u16string& ARecNum);
  // Fast payments: the out texts emptied, fresh objects, the amount first.
  void StartFps(Currency ASum, std::u16string& AMerchantID, std::u16string& AResponseCode,
                std::u16string& AOpertationID);
  void PutFpsOperation(int32_t AOperationCode, int32_t AProcessingFlag);
  void PutFpsPayment(int32_t AProcessingFlag, const std::u16string& ARrn, int32_t AQRCodeLifetime);
  void FinishPayment(std::u16string& ACardNum, std::u16string& ARecNum, std::u16string& ARrn,
                     std::u16string& AAuthCode);
  void FinishFps(std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID);
  void ReadCardData(std::u16string& AHash, std::u16string& ABIN, std::u16string& ALast4Dig);

  automation::Object& Request();
  automation::Object& Response();
  automation::Object& Link();

  automation::ObjectRef FRequest;
  automation::ObjectRef FResponse;
  automation::ObjectRef FTxLink;
  std::u16string FCurrencyCode = u"643";
  std::u16string FTerminalId = u"00000001";
  int32_t FPort = 0;
  int32_t FBaud = 115200;
  std::u16string FCutTag = u"[cut]";
  std::u16string FReceipt;
  int32_t FStatus = 0;
  std::u16string FTextResponse;
  int32_t FCommandResult = 0;
  // The tick count when the terminal last answered; none before the first
  // answer (a separate flag: 0 is a tick count like any other).
  uint32_t FLastOperTime = 0;
  bool FHasLastOper = false;
  std::u16string FCardType;
  std::u16string FResponseCodeHost;
  int32_t FTimeoutAfterGetParams = 2000;
};
