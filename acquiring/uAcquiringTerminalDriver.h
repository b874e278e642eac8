#pragma once
// The acquiring-terminal half of the connected-equipment standard: every
// standard acquiring method reads the host's parameters into one transaction
// record, hands it to one operation and writes the record back. The operations
// are left to the concrete driver, which knows the terminal.
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "device/uTXCommon.h"
#include "equipment/uCommonDriver.h"

// The host's number of currency units as ten-thousandths, the exact product
// rounded half to even. Refuses a value that is not finite or does not fit.
Currency AmountToCurrency(double AValue);

// ---------------------------------------------------------------------------
// Where a record's field sits among a method's parameters, which way it
// travels and how the host's value converts. A method's layout is a table of
// these, built with exports::Layout against the method's export entry.
enum class TDirection : uint8_t { dIn, dOut, dInOut };
enum class TFieldKind : uint8_t { fkLong, fkAmount, fkInt, fkBool, fkText, fkDate };

template <class Record>
struct TParamField {
  int32_t Index = 0;
  TDirection Direction = TDirection::dIn;
  TFieldKind Kind = TFieldKind::fkText;
  std::u16string Record::*Text = nullptr;
  int64_t Record::*Int64 = nullptr;  // a long integer or an amount
  int32_t Record::*Int = nullptr;
  bool Record::*Bool = nullptr;
  double Record::*Date = nullptr;  // a day count from 30 December 1899

  constexpr bool Reads() const { return Direction != TDirection::dOut; }
  constexpr bool Writes() const { return Direction != TDirection::dIn; }
};

template <class Record>
using TParamLayout = std::span<const TParamField<std::type_identity_t<Record>>>;

// The fields, by the conversion each needs. Numbers the host only passes in
// and dates it only gets back have no other direction.
namespace params {

constexpr TDirection In = TDirection::dIn;
constexpr TDirection Out = TDirection::dOut;
constexpr TDirection InOut = TDirection::dInOut;

template <class Record>
constexpr TParamField<Record> Text(int32_t AIndex, std::u16string Record::*AField, TDirection ADirection) {
  return {.Index = AIndex, .Direction = ADirection, .Kind = TFieldKind::fkText, .Text = AField};
}
template <class Record>
constexpr TParamField<Record> Int(int32_t AIndex, int32_t Record::*AField, TDirection ADirection) {
  return {.Index = AIndex, .Direction = ADirection, .Kind = TFieldKind::fkInt, .Int = AField};
}
template <class Record>
constexpr TParamField<Record> Long(int32_t AIndex, int64_t Record::*AField) {
  return {.Index = AIndex, .Direction = In, .Kind = TFieldKind::fkLong, .Int64 = AField};
}
template <class Record>
constexpr TParamField<Record> Amount(int32_t AIndex, Currency Record::*AField) {
  return {.Index = AIndex, .Direction = In, .Kind = TFieldKind::fkAmount, .Int64 = AField};
}
template <class Record>
constexpr TParamField<Record> Bool(int32_t AIndex, bool Record::*AField) {
  return {.Index = AIndex, .Direction = In, .Kind = TFieldKind::fkBool, .Bool = AField};
}
template <class Record>
constexpr TParamField<Record> Date(int32_t AIndex, double Record::*AField) {
  return {.Index = AIndex, .Direction = Out, .Kind = TFieldKind::fkDate, .Date = AField};
}

}  // namespace params

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
  bool ReturnPaymantByPaymantCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool CancelPaymentByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool AuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool AuthConfirmationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                     TV8AddInDefBaseEx*& v8);
  bool CancelAuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                        TV8AddInDefBaseEx*& v8);
  bool PayByPaymentCardWithCashWithdrawal(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount,
                                          TV8AddInDefBaseEx*& v8);
  bool GetCardParametrs(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool PayElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool ReturnElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool EmergencyReversal(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool GetOperationByCards(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);
  bool Settelment(V8Variant* RetValue, V8Variant* Params, int32_t ParamCount, TV8AddInDefBaseEx*& v8);

protected:
  explicit TAcquiringTerminalDriver(TUpdateDriverInfo UpdateInfo) : TCommonDriver(UpdateInfo) {}

  // A method by its layout: the inputs read into a fresh record, the operation
  // run on it, the outputs written back whether it returned or failed. An
  // input the record cannot hold (an amount) fails before the operation, and
  // then nothing is written back: the terminal never saw the call.
  template <class Record, class Operation>
  bool RunLayout(V8Variant* RetValue, V8Variant* Params, TParamLayout<Record> ALayout, Operation&& AOperation,
                 TErrorCodeOf AErrorCodeOf = &GeneralFailureCode) {
    return RunGuarded(
        RetValue,
        [&] {
          Record R{};
          ReadInputs(Params, ALayout, R);
          RunThenWrite([&] { AOperation(R); }, [&] { WriteOutputs(Params, ALayout, R); });
        },
        AErrorCodeOf);
  }
  template <class Record>
  void ReadInputs(const V8Variant* Params, TParamLayout<Record> ALayout, Record& R) const {
    for (const TParamField<Record>& Field : ALayout) {
      if (!Field.Reads()) continue;
      const V8Variant& Value = Params[Field.Index];
      switch (Field.Kind) {
        case TFieldKind::fkLong: R.*Field.Int64 = V8AsLong(Value); break;
        case TFieldKind::fkAmount: R.*Field.Int64 = AmountToCurrency(V8AsDouble(Value)); break;
        case TFieldKind::fkInt: R.*Field.Int = V8AsInt(Value); break;
        case TFieldKind::fkBool: R.*Field.Bool = V8AsBool(Value); break;
        case TFieldKind::fkText: R.*Field.Text = V8AsWString(Value); break;
        case TFieldKind::fkDate: break;  // never an input
      }
    }
  }
  template <class Record>
  void WriteOutputs(V8Variant* Params, TParamLayout<Record> ALayout, const Record& R) {
    for (const TParamField<Record>& Field : ALayout) {
      if (!Field.Writes()) continue;
      V8Variant& Value = Params[Field.Index];
      switch (Field.Kind) {
        case TFieldKind::fkInt: V8SetInt(Value, R.*Field.Int); break;
        case TFieldKind::fkText: SetTextParam(Value, R.*Field.Text); break;
        case TFieldKind::fkDate: V8SetDate(Value, R.*Field.Date); break;
        case TFieldKind::fkLong:
        case TFieldKind::fkAmount:
        case TFieldKind::fkBool: break;  // never an output
      }
    }
  }

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
  bool RunTransaction(V8Variant* RetValue, V8Variant* Params, TParamLayout<TTransactParams> ALayout,
                      TTransactOperation AOperation);
  std::u16string BuildTerminalParametersXml(const TTerminalCapabilities& ACapabilities);
};
