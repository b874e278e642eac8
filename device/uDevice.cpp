#include "device/uDevice.h"

#include <array>

#include "device/uBerTlv.h"
#include "device/uDeviceData.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/WaitCursor.h"

namespace {

constexpr char16_t kPacketClass[] = u"Tandemix.SAPacket";
constexpr char16_t kLinkClass[] = u"Tandemix.TXLink";

// The terminal needs a breath between two dialogues.
constexpr uint32_t kPacingMs = 250;
constexpr uint32_t kPacingCheckMs = 5;

constexpr int32_t kDefaultTimeoutMs = 180000;
constexpr int32_t kLongTimeoutMs = 1800000;

// Operation codes.
constexpr int32_t kOpSale = 1;
constexpr int32_t kOpVoid = 4;
constexpr int32_t kOpPreauthorize = 15;
constexpr int32_t kOpConfirm = 16;
constexpr int32_t kOpTerminalService = 26;
constexpr int32_t kOpRefund = 29;
constexpr int32_t kOpShowQRCode = 41;
constexpr int32_t kOpEmergencyVoid = 53;
constexpr int32_t kOpReadCard = 57;
constexpr int32_t kOpSettlement = 59;
constexpr int32_t kOpReport = 63;
constexpr int32_t kOpTransferToCard = 87;

// Processing flags.
constexpr int32_t kFlagTerminalParameters = 2;
constexpr int32_t kFlagReadNewCard = 6;
constexpr int32_t kFlagCertificate = 104;
constexpr int32_t kFlagFpsSale = 115;
constexpr int32_t kFlagFpsQRCode = 116;
constexpr int32_t kFlagFpsSaleStatus = 117;
constexpr int32_t kFlagFpsRefund = 118;
constexpr int32_t kFlagFpsRefundStatus = 119;

// Command modes.
constexpr int32_t kModeShowQRCode = 5;
constexpr int32_t kModeReportShort = 20;
constexpr int32_t kModeReportFull = 21;
constexpr int32_t kModeReceiptCopy = 22;

constexpr int32_t kCardEntryMode = 3;
constexpr int32_t kDataBits = 8;
constexpr int32_t kStopBitsMode = 2;

constexpr uint8_t kFpsTag = kQRCodeTag;
constexpr uint8_t kFpsPasswordTag = 0xD2;
constexpr uint8_t kFpsLifetimeTag = 0xD3;
constexpr uint8_t kKeyTag = 0xDE;
constexpr uint8_t kKeyUUIDTag = 0xD1;
constexpr uint8_t kKeyPaymentSystemTag = 0xD2;
constexpr uint8_t kKeyDateTimeTag = 0xD3;
constexpr std::size_t kKeyDateTimeBytes = 4;

constexpr char16_t kNoCardOperations[] = u"Операции с картой не найдены";

// A response field of an unexpected kind names itself in the error.
template <class TConvert>
auto ConvertField(const char16_t* AName, const automation::Value& AValue, TConvert AConvert) {
  try {
    return AConvert(AValue);
  } catch (const Exception& E) {
    throw Exception(FormatText(u"%s: %s", {AName, E.Message()}));
  }
}

std::u16string FpsLifetimeData(int32_t AQRCodeLifetime) {
  if (AQRCodeLifetime < 1) return {};
  return TBerTlv::MakeDataAsString({kFpsTag, kFpsLifetimeTag}, IntToText(AQRCodeLifetime));
}

std::u16string FpsPasswordData(const std::u16string& ACashierPwd) {
  if (ACashierPwd.empty()) return {};
  return TBerTlv::MakeDataAsString({kFpsTag, kFpsPasswordTag}, ACashierPwd);
}

}  // namespace

TDevice::TDevice() = default;

TDevice::~TDevice() {
  try {
    Disable();
  } catch (...) {
    // The connector's own failure to free its port must not stop the driver's release.
  }
}

void TDevice::Enable() {
  Disable();
  FRequest = automation::CreateObject(kPacketClass);
  FResponse = automation::CreateObject(kPacketClass);
  FTxLink = automation::CreateObject(kLinkClass);
  FTxLink->Call(u"InitResources", {});
}

void TDevice::Disable() {
  try {
    if (FTxLink) FTxLink->Call(u"FreeResources", {});
  } catch (...) {
    ReleaseObjects();
    throw;
  }
  ReleaseObjects();
}

void TDevice::ReleaseObjects() noexcept {
  FTxLink.reset();
  FRequest.reset();
  FResponse.reset();
}

automation::Object& TDevice::Request() {
  if (!FRequest) throw Exception(FormatText(u"Объект %s не создан", {kPacketClass}));
  return *FRequest;
}

automation::Object& TDevice::Response() {
  if (!FResponse) throw Exception(FormatText(u"Объект %s не создан", {kPacketClass}));
  return *FResponse;
}

automation::Object& TDevice::Link() {
  if (!FTxLink) throw Exception(FormatText(u"Объект %s не создан", {kLinkClass}));
  return *FTxLink;
}

// ---- packet fields

void TDevice::PutInt(const char16_t* AName, int32_t AValue) { Request().Put(AName, automation::Value(AValue)); }

void TDevice::PutText(const char16_t* AName, const std::u16string& AValue) {
  Request().Put(AName, automation::Value(AValue));
}

void TDevice::PutTextIfNotEmpty(const char16_t* AName, const std::u16string& AValue) {
  if (!AValue.empty()) PutText(AName, AValue);
}

void TDevice::PutAmount(const char16_t* AName, Currency AValue) { PutText(AName, AmountToText(AValue)); }

void TDevice::PutConsumerQR(const std::u16string& AConsumerPresentedQR) {
  PutTextIfNotEmpty(u"AdditionalData", ConsumerQRData(AConsumerPresentedQR));
}

void TDevice::PutReferences(const std::u16string& ARrn, const std::u16string& AAuthCode) {
  PutTextIfNotEmpty(u"ReferenceNumber", ARrn);
  PutTextIfNotEmpty(u"AuthorizationCode", AAuthCode);
}

void TDevice::PutRecNumOrNew(const std::u16string& ARecNum) {
  PutInt(u"TerminalTrxID", ARecNum.empty() ? NewTerminalTrxId() : RecNumValue(ARecNum));
}

int32_t TDevice::ResponseInt(const char16_t* AName) {
  return ConvertField(AName, Response().Get(AName), automation::ToInt32);
}

std::u16string TDevice::ResponseText(const char16_t* AName) {
  return ConvertField(AName, Response().Get(AName), automation::ToText);
}

std::u16string TDevice::RequestTrxIdText() {
  return IntToText(ConvertField(u"TerminalTrxID", Request().Get(u"TerminalTrxID"), automation::ToInt64));
}

// ---- the exchange

void TDevice::RunExchange(bool AFillCommon, int32_t ATimeout) {
  FReceipt.clear();
  Link().Call(u"InitResources", {});
  WaitForPacing();
  if (AFillCommon) FillCommonFields();
  const int32_t Timeout = ExchangeTimeout(ATimeout);
  std::array<automation::Argument, 6> Channel = {
      automation::Argument::ByValue(FPort),     automation::Argument::ByValue(FBaud),
      automation::Argument::ByValue(kDataBits), automation::Argument::ByValue(0),
      automation::Argument::ByValue(0),         automation::Argument::ByValue(kStopBitsMode)};
  Link().Call(u"SetChannelTerminalParam", Channel);
  CallExchange(Timeout);
  // The terminal has answered and is busy with it (printing) from here on,
  // also when the answer then cannot be read: the next exchange keeps its
  // distance from this one.
  FLastOperTime = os::CurrentClock().TickCount();
  FHasLastOper = true;
  ReadResults();
  BuildReceipt();
  CheckStatus();
}

void TDevice::WaitForPacing() {
  if (!FHasLastOper) return;
  // Unsigned difference: right across the counter's wrap-around too.
  os::IClock& Clock = os::CurrentClock();
  while (Clock.TickCount() - FLastOperTime < kPacingMs) Clock.SleepMs(kPacingCheckMs);
}

void TDevice::FillCommonFields() {
  PutInt(u"CardEntryMode", kCardEntryMode);
  PutText(u"CurrencyCode", FCurrencyCode);
  PutText(u"TerminalId", FTerminalId);
  PutText(u"TerminalDateTime", TerminalDateTimeText(os::CurrentClock().Now()));
}

int32_t TDevice::ExchangeTimeout(int32_t ATimeout) {
  if (ATimeout > 0) return ATimeout;
  const int32_t Operation = ConvertField(u"OperationCode", Request().Get(u"OperationCode"), automation::ToInt32);
  return Operation == kOpSettlement ? kLongTimeoutMs : kDefaultTimeoutMs;
}

void TDevice::CallExchange(int32_t ATimeout) {
  automation::Value RequestValue = FRequest;
  automation::Value ResponseValue = FResponse;
  automation::Value TimeoutValue = ATimeout;
  std::array<automation::Argument, 3> Arguments = {automation::Argument::ByRef(RequestValue),
                                                   automation::Argument::ByRef(ResponseValue),
                                                   automation::Argument::ByRef(TimeoutValue)};
  auto& TxLink = Link();
  const os::TWaitCursor Cursor;
  TxLink.Call(u"Exchange", Arguments);
}

void TDevice::ReadResults() {
  FStatus = ResponseInt(u"Status");
  FCommandResult = ResponseInt(u"CommandResult");
  FTextResponse = ResponseText(u"TextResponse");
  FResponseCodeHost = ResponseText(u"ResponseCodeHost");
}

void TDevice::BuildReceipt() {
  const TReceiptItems Items = ParseReceiptData(ResponseText(u"ReceiptData"));
  FReceipt = ReceiptText(Items, FCutTag);
  FCardType = ReceiptCardType(Items);
}

void TDevice::CheckStatus() {
  const bool Approved = FStatus == 1 || FStatus == 2;
  if (!Approved && FCommandResult != 0) throw EDevcieError(FStatus, FTextResponse, StatusDescription(FStatus));
}

template <class TReadOutputs>
void TDevice::RunExchangeThenRead(bool AFillCommon, int32_t ATimeout, TReadOutputs AReadOutputs) {
  try {
    RunExchange(AFillCommon, ATimeout);
  } catch (...) {
    // The caller gets what the packets hold, and the exchange's own failure.
    try {
      AReadOutputs();
    } catch (...) {
    }
    throw;
  }
  AReadOutputs();
}

// ---- shared request and output steps

void TDevice::StartPayment(int32_t AOperationCode, Currency ASum, const std::u16string& AConsumerPresentedQR) {
  Enable();
  PutInt(u"OperationCode", AOperationCode);
  PutAmount(u"Amount", ASum);
  PutInt(u"TerminalTrxID", NewTerminalTrxId());
  PutConsumerQR(AConsumerPresentedQR);
}

void TDevice::StartFps(Currency ASum, std::u16string& AMerchantID, std::u16string& AResponseCode,
                       std::u16string& AOpertationID) {
  AMerchantID.clear();
  AResponseCode.clear();
  AOpertationID.clear();
  Enable();
  PutAmount(u"Amount", ASum);
}

void TDevice::PutFpsOperation(int32_t AOperationCode, int32_t AProcessingFlag) {
  PutInt(u"OperationCode", AOperationCode);
  PutInt(u"ProcessingFlag", AProcessingFlag);
  PutInt(u"TerminalTrxID", NewTerminalTrxId());
}

void TDevice::PutFpsPayment(int32_t AProcessingFlag, const std::u16string& ARrn, int32_t AQRCodeLifetime) {
  PutText(u"ReferenceNumber", ARrn);
  PutFpsOperation(kOpSale, AProcessingFlag);
  PutText(u"AdditionalData", FpsLifetimeData(AQRCodeLifetime));
}

void TDevice::FinishPayment(std::u16string& ACardNum, std::u16string& ARecNum, std::u16string& ARrn,
                            std::u16string& AAuthCode) {
  ARecNum = RequestTrxIdText();
  ARrn = ResponseText(u"ReferenceNumber");
  AAuthCode = ResponseText(u"AuthorizationCode");
  ACardNum = ResponseText(u"PAN");
}

void TDevice::FinishFps(std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID) {
  AMerchantID = ResponseText(u"MerchantID");
  AOpertationID = ResponseText(u"FileData");
  AResponseCode = ResponseText(u"ResponseCodeHost");
}

void TDevice::ReadCardData(std::u16string& AHash, std::u16string& ABIN, std::u16string& ALast4Dig) {
  AHash.clear();
  ABIN.clear();
  ALast4Dig.clear();
  const std::u16string AdditionalData = ResponseText(u"AdditionalData");
  const TCardData Data = ParseCardData(AdditionalData, ResponseText(u"PAN"));
  AHash = Data.Hash;
  ABIN = Data.BIN;
  ALast4Dig = Data.Last4Dig;
}

// ---- card operations

void TDevice::TestConnection() {
  Enable();
  PutInt(u"OperationCode", kOpTerminalService);
  RunExchange(true, 0);
}

void TDevice::ShortTest() {
  Enable();
  PutInt(u"OperationCode", kOpTerminalService);
  PutText(u"ReceiptData", u"Test");
  RunExchange(true, 0);
}

bool TDevice::GetTerminalParameters(bool& APrintSlipOnTerminal, bool& AShortSlip, bool& ACashWithdrawal,
                                    bool& AElectronicCertificates, bool& APartialCancellation,
                                    bool& AConsumerPresentedQR, bool& AListCardTransactions) {
  Enable();
  PutInt(u"OperationCode", kOpTerminalService);
  PutInt(u"ProcessingFlag", kFlagTerminalParameters);
  RunExchange(true, 0);
  // The terminal is busy printing its parameters for a while after answering.
  if (FTimeoutAfterGetParams > 0) os::CurrentClock().SleepMs(static_cast<uint32_t>(FTimeoutAfterGetParams));
  TTerminalCapabilities Features;
  if (!ParseTerminalFeatures(ResponseText(u"ModelNo"), Features)) return false;
  APrintSlipOnTerminal = Features.PrintSlipOnTerminal;
  AShortSlip = Features.ShortSlip;
  ACashWithdrawal = Features.CashWithdrawal;
  AElectronicCertificates = Features.ElectronicCertificates;
  APartialCancellation = Features.PartialCancellation;
  AConsumerPresentedQR = Features.ConsumerPresentedQR;
  AListCardTransactions = Features.ListCardTransactions;
  return true;
}

void TDevice::Sale(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                   std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode) {
  StartPayment(kOpSale, ASum, AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

void TDevice::Preauthorize(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                           std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode) {
  StartPayment(kOpPreauthorize, ASum, AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

void TDevice::Refund(Currency ASum, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                     std::u16string& ARecNum, std::u16string& ARrn, std::u16string& AAuthCode) {
  Enable();
  PutInt(u"OperationCode", kOpRefund);
  PutAmount(u"Amount", ASum);
  PutRecNumOrNew(ARecNum);
  PutReferences(ARrn, AAuthCode);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

void TDevice::VoidSale(Currency ASum, Currency AOriginSum, const std::u16string& AConsumerPresentedQR,
                       const std::u16string& ARecNum, const std::u16string& ARrn, const std::u16string& AAuthCode,
                       std::u16string& ACardNum) {
  Enable();
  PutInt(u"OperationCode", kOpVoid);
  PutAmount(u"Amount", ASum);
  PutAmount(u"AdditionalAmount", AOriginSum);
  PutInt(u"TerminalTrxID", RecNumValue(ARecNum));
  PutReferences(ARrn, AAuthCode);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { ACardNum = ResponseText(u"PAN"); });
}

void TDevice::Confirm(Currency ASum, const std::u16string& AConsumerPresentedQR, const std::u16string& ARecNum,
                      const std::u16string& ARrn, const std::u16string& AAuthCode, std::u16string& ACardNum) {
  Enable();
  PutInt(u"OperationCode", kOpConfirm);
  PutAmount(u"Amount", ASum);
  PutInt(u"TerminalTrxID", RecNumValue(ARecNum));
  PutReferences(ARrn, AAuthCode);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { ACardNum = ResponseText(u"PAN"); });
}

void TDevice::ReadCard(bool AFromLastOperation, const std::u16string& AConsumerPresentedQR, std::u16string& ACardNum,
                       std::u16string& AHash, std::u16string& ABIN, std::u16string& ALast4Dig) {
  Enable();
  PutInt(u"OperationCode", kOpReadCard);
  if (!AFromLastOperation) PutInt(u"ProcessingFlag", kFlagReadNewCard);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] {
    ACardNum = ResponseText(u"PAN");
    ReadCardData(AHash, ABIN, ALast4Dig);
  });
}

void TDevice::GetCardParams(std::u16string& ACardNum, std::u16string& AHash, std::u16string& ABIN,
                            std::u16string& ALast4Dig) {
  if (!FResponse) throw Exception(std::u16string(kNoCardOperations));
  ACardNum = ResponseText(u"PAN");
  ReadCardData(AHash, ABIN, ALast4Dig);
}

// "Операця", spelt so: the host shows this text and callers match it; keep it.
void TDevice::EmergencyVoid() {
  if (!FRequest) throw Exception(std::u16string(u"Операця для отмены не найдена"));
  // The reversal's answer goes into a packet of its own: the connector fills
  // the packet it is given, and whatever the reversal's answer does not carry
  // would otherwise still be the last operation's (its receipt, card, texts).
  FResponse = automation::CreateObject(kPacketClass);
  PutInt(u"OperationCode", kOpEmergencyVoid);
  RunExchange(true, 0);
}

void TDevice::Settelment() {
  Enable();
  PutInt(u"OperationCode", kOpSettlement);
  PutInt(u"TerminalTrxID", NewTerminalTrxId());
  RunExchange(true, 0);
}

// ---- electronic certificates, transfers, fast payments, reports

void TDevice::SaleEc(Currency ASum, Currency ASumEc, const std::u16string& AConsumerPresentedQR,
                     const std::u16string& ABasketID, std::u16string& ACardNum, std::u16string& ARecNum,
                     std::u16string& ARrn, std::u16string& AAuthCode) {
  Enable();
  PutInt(u"OperationCode", kOpSale);
  PutAmount(u"Amount", ASum);
  PutAmount(u"AdditionalAmount", ASumEc);
  PutInt(u"TerminalTrxID", NewTerminalTrxId());
  PutText(u"FileData", ABasketID);
  PutInt(u"ProcessingFlag", kFlagCertificate);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

void TDevice::RefundEc(Currency ASum, Currency ASumEc, const std::u16string& AConsumerPresentedQR,
                       const std::u16string& ABasketID, std::u16string& ACardNum, std::u16string& ARecNum,
                       std::u16string& ARrn, std::u16string& AAuthCode) {
  Enable();
  PutInt(u"OperationCode", kOpRefund);
  PutAmount(u"Amount", ASum);
  PutAmount(u"AdditionalAmount", ASumEc);
  PutText(u"FileData", ABasketID);
  PutInt(u"ProcessingFlag", kFlagCertificate);
  PutRecNumOrNew(ARecNum);
  PutReferences(ARrn, AAuthCode);
  PutConsumerQR(AConsumerPresentedQR);
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

void TDevice::TransferToCard(Currency ASum, std::u16string& ACardNum, std::u16string& ARecNum, std::u16string& ARrn,
                             std::u16string& AAuthCode) {
  Enable();
  PutInt(u"OperationCode", kOpTransferToCard);
  PutAmount(u"Amount", ASum);
  PutInt(u"TerminalTrxID", NewTerminalTrxId());
  RunExchangeThenRead(true, 0, [&] { FinishPayment(ACardNum, ARecNum, ARrn, AAuthCode); });
}

// The fast-payment operations take ARecNum for the host's sake only: no request
// field carries it and nothing comes back into it.
void TDevice::SaleFPS(Currency ASum, [[maybe_unused]] int32_t& ARecNum, std::u16string& ARrn, int32_t AQRCodeLifetime,
                      std::u16string& AMerchantID, std::u16string& AResponseCode, std::u16string& AOpertationID) {
  StartFps(ASum, AMerchantID, AResponseCode, AOpertationID);
  PutFpsPayment(kFlagFpsSale, ARrn, AQRCodeLifetime);
  RunExchangeThenRead(true, 0, [&] { FinishFps(AMerchantID, AResponseCode, AOpertationID); });
}

void TDevice::GetQRCodeFPS(Currency ASum, [[maybe_unused]] int32_t& ARecNum, std::u16string& ARrn,
                           int32_t AQRCodeLifetime, std::u16string& AMerchantID, std::u16string& AResponseCode,
                           std::u16string& AOpertationID, std::u16string& AQRCodeData) {
  AQRCodeData.clear();
  StartFps(ASum, AMerchantID, AResponseCode, AOpertationID);
  PutFpsPayment(kFlagFpsQRCode, ARrn, AQRCodeLifetime);
  RunExchangeThenRead(true, 0, [&] {
    ARrn = ResponseText(u"ReferenceNumber");
    FinishFps(AMerchantID, AResponseCode, AOpertationID);
    AQRCodeData = TBerTlv::GetTagDataAsString({kQRCodeTag, kQRCodeValueTag}, ResponseText(u"AdditionalData"));
  });
}

void TDevice::GetSaleStatusFPS(Currency ASum, [[maybe_unused]] int32_t& ARecNum, std::u16string& AuthorizationCode,
                               std::u16string& AMerchantID, std::u16string& AResponseCode,
                               std::u16string& AOpertationID) {
  StartFps(ASum, AMerchantID, AResponseCode, AOpertationID);
  PutText(u"AuthorizationCode", AuthorizationCode);
  PutFpsOperation(kOpSale, kFlagFpsSaleStatus);
  RunExchangeThenRead(true, 0, [&] {
    AuthorizationCode = ResponseText(u"AuthorizationCode");
    FinishFps(AMerchantID, AResponseCode, AOpertationID);
  });
}

void TDevice::RefundFPS(Currency ASum, const std::u16string& ACashierPwd, [[maybe_unused]] int32_t& ARecNum,
                        std::u16string& ARrn, std::u16string& AAuthCode, std::u16string& AMerchantID,
                        std::u16string& AResponseCode, std::u16string& AOpertationID) {
  StartFps(ASum, AMerchantID, AResponseCode, AOpertationID);
  PutText(u"AuthorizationCode", AAuthCode);
  PutText(u"ReferenceNumber", ARrn);
  PutFpsOperation(kOpRefund, kFlagFpsRefund);
  PutText(u"AdditionalData", FpsPasswordData(ACashierPwd));
  RunExchangeThenRead(true, 0, [&] { FinishFps(AMerchantID, AResponseCode, AOpertationID); });
}

void TDevice::GetRefundStatusFPS(Currency ASum, [[maybe_unused]] int32_t& ARecNum, std::u16string& ARrn,
                                 std::u16string& AuthorizationCode, std::u16string& AMerchantID,
                                 std::u16string& AResponseCode, std::u16string& AOpertationID) {
  StartFps(ASum, AMerchantID, AResponseCode, AOpertationID);
  PutText(u"ReferenceNumber", ARrn);
  PutText(u"AuthorizationCode", AuthorizationCode);
  PutFpsOperation(kOpRefund, kFlagFpsRefundStatus);
  RunExchangeThenRead(true, 0, [&] {
    ARrn = ConvertField(u"ReferenceNumber", Request().Get(u"ReferenceNumber"), automation::ToText);
    AuthorizationCode = ResponseText(u"AuthorizationCode");
    FinishFps(AMerchantID, AResponseCode, AOpertationID);
  });
}

void TDevice::ShowQRCodeFPSOnTerminal(int32_t ATimeout, const std::u16string& AQRCodeData) {
  Enable();
  PutInt(u"OperationCode", kOpShowQRCode);
  if (ATimeout > 0) PutInt(u"CardWaitTimeout", ATimeout);
  PutInt(u"CommandMode", kModeShowQRCode);
  PutText(u"AdditionalData", QRCodeData(AQRCodeData));
  RunExchange(true, 0);
}

void TDevice::GetReport(bool AFullReport) {
  Enable();
  PutInt(u"OperationCode", kOpReport);
  PutInt(u"CommandMode", 0);
  PutInt(u"CommandMode2", AFullReport ? kModeReportFull : kModeReportShort);
  PutText(u"TerminalId", FTerminalId);
  RunExchange(false, AFullReport ? kLongTimeoutMs : kDefaultTimeoutMs);
}

void TDevice::GetReceiptCopy(const std::u16string& AReceiptNumber) {
  Enable();
  PutInt(u"OperationCode", kOpReport);
  PutInt(u"CommandMode", AReceiptNumber.empty() ? 1 : 0);
  PutInt(u"CommandMode2", kModeReceiptCopy);
  RunExchange(true, 0);
}

void TDevice::GetCompositeInterbankKey(std::u16string& AUUID, std::u16string& APaymentSystemIdentifier,
                                       int64_t& ADateTimeUnix) {
  if (!FResponse) throw Exception(std::u16string(kNoCardOperations));
  const std::u16string AdditionalData = ResponseText(u"AdditionalData");
  if (AdditionalData.empty())
    throw Exception(std::u16string(u"Отсутствуют дополнительные данные транзакции в поле 86"));
  AUUID = TBerTlv::GetTagDataAsString({kKeyTag, kKeyUUIDTag}, AdditionalData);
  APaymentSystemIdentifier = TBerTlv::GetTagDataAsString({kKeyTag, kKeyPaymentSystemTag}, AdditionalData);
  const TBytes Stamp = TBerTlv::GetTagData({kKeyTag, kKeyDateTimeTag}, AdditionalData);
  if (Stamp.size() < kKeyDateTimeBytes) throw Exception(std::u16string(u"Неверный формат даты транзакции"));
  uint32_t Seconds = 0;
  for (auto Byte = Stamp.end() - kKeyDateTimeBytes; Byte != Stamp.end(); ++Byte) Seconds = (Seconds << 8) | *Byte;
  ADateTimeUnix = Seconds;
}
