#pragma once
// The concrete acquiring driver: one terminal device for the driver's whole
// life, its settings and last results as properties, the standard operations
// mapped to the device, and the driver's own extended methods.
#include <cstdint>
#include <memory>
#include <string>

#include "acquiring/uAcquiringTerminalDriver.h"
#include "device/uDevice.h"

// What an extended method reads from the host, hands to the terminal and
// writes back; each method's layout picks its fields.
struct TExtendedParams {
  Currency Amount = 0;
  // The fast payments number their receipts with integers, the card sales with texts.
  int32_t FpsReceiptNumber = 0;
  std::u16string ReceiptNumber;
  std::u16string RRNCode;
  std::u16string AuthorizationCode;
  int32_t QRCodeLifetime = 0;
  std::u16string MerchantID;
  std::u16string ResponseCode;
  std::u16string OperationID;
  std::u16string QRCodeData;
  int32_t QRCodeTimeout = 0;
  std::u16string CashierPassword;
  std::u16string CardNumber;
  std::u16string CardHash;
  std::u16string CardBin;
  std::u16string CardLastDigits;
  bool FullReport = false;
  std::u16string Uuid;
  std::u16string PaymentSystemIdentifier;
  double KeyDate = 0;  // the zero date, 30 December 1899, until a key is read
  std::u16string Slip;
};

class TDriver : public TAcquiringTerminalDriver {
public:
  TDriver();
  ~TDriver() override;
  TDriver(const TDriver&) = delete;
  TDriver& operator=(const TDriver&) = delete;

  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }

  void Open() override;
  void Close() override;

  std::u16string GetTerminalId() const override;
  void DoTerminalParameters(TTerminalCapabilities& ACapabilities) override;
  void DoPayByPaymentCard(TTransactParams& R) override;
  void DoReturnPayment(TTransactParams& R) override;
  void DoCancelPayment(TTransactParams& R) override;
  void DoAuthorisation(TTransactParams& R) override;
  void DoAuthConfirmation(TTransactParams& R) override;
  void DoCancelAuthorisation(TTransactParams& R) override;
  void DoPayWithCashWithdrawal(TTransactParams& R) override;
  void DoGetCardParameters(bool AFromLastOperation, std::u16string& AConsumerPresentedQR, std::u16string& AResult1,
                           std::u16string& AResult2, std::u16string& AResult3, std::u16string& AResult4,
                           int32_t& AResult5) override;
  void DoPayElectronicCertificate(TTransactParams& R) override;
  void DoReturnElectronicCertificate(TTransactParams& R) override;
  void DoEmergencyReversal() override;
  void DoSettlement(std::u16string& AText) override;

  // Properties: the device's settings and the results of its last exchange.
  void SetTerminalId(const std::u16string& AValue) { FDevice->SetTerminalId(AValue); }
  int32_t GetPort() const { return FDevice->Port(); }
  void SetPort(int32_t AValue) { FDevice->SetPort(AValue); }
  int32_t GetBaud() const { return FDevice->Baud(); }
  void SetBaud(int32_t AValue) { FDevice->SetBaud(AValue); }
  std::u16string GetCurrencyCode() const { return FDevice->CurrencyCode(); }
  void SetCurrencyCode(const std::u16string& AValue) { FDevice->SetCurrencyCode(AValue); }
  std::u16string GetResponseCodeHost() const { return FDevice->ResponseCodeHost(); }
  int32_t GetStatus() const { return FDevice->Status(); }
  int32_t GetCommandResult() const { return FDevice->CommandResult(); }
  std::u16string GetReceiptText() const { return FDevice->Receipt(); }
  int32_t GetTimeoutAfterGetParams() const { return FDevice->TimeoutAfterGetParams(); }
  // The pause holds the host's thread: a minute at most. The host's number is
  // checked as it came, before a 32-bit conversion could wrap it into range.
  void SetTimeoutAfterGetParams(double AMilliseconds);

  // Extended host methods.
  bool PayFPS(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetQRCodeFPS(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool ReturnPaymentFPS(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetReturnPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool ShowQRCodeFPSOnTerminal(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool PayByPaymentCardEx(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool TestConnection(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetReport(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetReceiptCopy(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetCardExtParams(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool PurchaseWithEnrollment(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetCompositeInterbankKey(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);

private:
  // The extended methods by their layouts, failing with the device error's own code.
  template <class DeviceCall>
  bool RunExtended(V8Variant* RetValue, V8Variant* Params, TParamLayout<TExtendedParams> ALayout, DeviceCall&& ACall);
  // The device's receipt text lands in the record also when the call fails.
  template <class Record, class DeviceCall>
  void WithSlip(Record& R, DeviceCall&& ACall);

  std::unique_ptr<TDevice> FDevice;
};
