#pragma once
// The acquiring-terminal half of the connected-equipment standard: every
// standard acquiring method reads the host's parameters into one transaction
// record, hands it to one operation and writes the record back. The operations
// are left to the concrete driver, which knows the terminal.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/uTXCommon.h"
#include "equipment/uCommonDriver.h"

// The host's number of currency units as ten-thousandths, the exact product
// rounded half to even. Refuses a value that is not finite or does not fit.
Currency AmountToCurrency(double AValue);

struct TTransactField;

class TAcquiringTerminalDriver : public TCommonDriver {
public:
  TAcquiringTerminalDriver() : TAcquiringTerminalDriver(&TAcquiringTerminalDriver::UpdateDriverInfo) {}

  static const TExportTable& Exports();
  const TExportTable& ObjectExports() const override { return Exports(); }

  static void UpdateDriverInfo(TDriverInfo& ADriverInfo);
  int32_t GetRevision() override;

  // Operations of the concrete driver; each fails with "Abstract Error" here.
  virtual std::u16string GetTerminalId() const;
  virtual void DoTerminalParameters(TTerminalCapabilities& ACapabilities);
  virtual void DoPayByPaymentCard(TTransactParams& R);
  virtual void DoReturnPayment(TTransactParams& R);
  virtual void DoCancelPayment(TTransactParams& R);
  virtual void DoAuthorisation(TTransactParams& R);
  virtual void DoAuthConfirmation(TTransactParams& R);
  virtual void DoCancelAuthorisation(TTransactParams& R);
  virtual void DoPayWithCashWithdrawal(TTransactParams& R);
  virtual void DoGetCardParameters(bool AFromLastOperation, std::u16string& AConsumerPresentedQR,
                                   std::u16string& AResult1, std::u16string& AResult2, std::u16string& AResult3,
                                   std::u16string& AResult4, int32_t& AResult5);
  virtual void DoPayElectronicCertificate(TTransactParams& R);
  virtual void DoReturnElectronicCertificate(TTransactParams& R);
  virtual void DoEmergencyReversal();
  virtual void DoGetOperationByCards(std::vector<TCardOperation>& AOperations);
  virtual void DoSettlement(std::u16string& AText);

  // Host methods. ReturnPaymantByPaymantCard, GetCardParametrs and Settelment
  // are the names the host calls, misspelt as it spells them: keep them so.
  bool TerminalParameters(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool PayByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool ReturnPaymantByPaymantCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                  TV8AddInDefBaseEx*& v8);
  bool CancelPaymentByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                  TV8AddInDefBaseEx*& v8);
  bool AuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                  TV8AddInDefBaseEx*& v8);
  bool AuthConfirmationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                     TV8AddInDefBaseEx*& v8);
  bool CancelAuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                        TV8AddInDefBaseEx*& v8);
  bool PayByPaymentCardWithCashWithdrawal(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                          TV8AddInDefBaseEx*& v8);
  bool GetCardParametrs(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool PayElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                TV8AddInDefBaseEx*& v8);
  bool ReturnElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                   TV8AddInDefBaseEx*& v8);
  bool EmergencyReversal(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetOperationByCards(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool Settelment(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);

protected:
  explicit TAcquiringTerminalDriver(TUpdateDriverInfo UpdateInfo) : TCommonDriver(UpdateInfo) {}

  // Outputs reach the host whether the operation returned or failed: the host
  // sees what the terminal had answered before the failure.
  template <class Operation, class WriteOutputs>
  static void RunThenWrite(Operation&& AOperation, WriteOutputs&& AWriteOutputs) {
    try {
      AOperation();
    } catch (...) {
      AWriteOutputs();
      throw;
    }
    AWriteOutputs();
  }

private:
  using TTransactOperation = void (TAcquiringTerminalDriver::*)(TTransactParams&);
  bool RunTransaction(V8Variant* RetValue, V8Variant* Params, std::span<const TTransactField> ALayout,
                      TTransactOperation AOperation);
  void ReadInputs(const V8Variant* Params, std::span<const TTransactField> ALayout, TTransactParams& R) const;
  void WriteOutputs(V8Variant* Params, std::span<const TTransactField> ALayout, const TTransactParams& R);
  std::u16string BuildTerminalParametersXml(const TTerminalCapabilities& ACapabilities);
};
