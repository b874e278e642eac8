#include "acquiring/uAcquiringTerminalDriver.h"

#include <pugixml.hpp>

#include <cmath>
#include <limits>
#include <sstream>

#include "platform/Text.h"

namespace {

constexpr int32_t kAcquiringRevision = 4000;

[[noreturn]] void RaiseAbstractError() { throw Exception(std::u16string(u"Abstract Error")); }

[[noreturn]] void RaiseAmountRefused(double AValue) {
  throw Exception(FormatText(u"Недопустимая сумма: %s", {FloatToText(AValue)}));
}

// Rounds Value / 2^Shift to the nearest integer, a tie to the even one.
uint64_t ShiftRightHalfEven(uint64_t Value, int Shift) {
  if (Shift >= 64) return 0;  // Value < 2^63: below one half
  const uint64_t Quotient = Value >> Shift;
  const uint64_t Remainder = Value & ((uint64_t{1} << Shift) - 1);
  const uint64_t Half = uint64_t{1} << (Shift - 1);
  const bool RoundUp = Remainder > Half || (Remainder == Half && (Quotient & 1) != 0);
  return Quotient + (RoundUp ? 1 : 0);
}

}  // namespace

// A double is M * 2^E with M an integer below 2^53, so the amount times 10000
// is M * 625 * 2^(E + 4), and M * 625 stays below 2^63: the product is exact in
// 64-bit integers, and one rounding of it is the rounding of the true value.
// Multiplying in floating point first would round the product in binary and
// could move it onto or off a tie.
Currency AmountToCurrency(double AValue) {
  if (!std::isfinite(AValue)) RaiseAmountRefused(AValue);
  int Exponent = 0;
  const double Fraction = std::frexp(std::fabs(AValue), &Exponent);
  const uint64_t Scaled = static_cast<uint64_t>(std::ldexp(Fraction, 53)) * 625;
  const int Shift = Exponent - 53 + 4;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t Units = 0;
  if (Shift >= 0) {
    if (Scaled != 0 && (Shift >= 63 || Scaled > (kLimit >> Shift))) RaiseAmountRefused(AValue);
    Units = Scaled << Shift;
  } else {
    Units = ShiftRightHalfEven(Scaled, -Shift);
  }
  if (Units > kLimit) RaiseAmountRefused(AValue);
  const auto Signed = static_cast<int64_t>(Units);
  return AValue < 0 ? -Signed : Signed;
}

// ---------------------------------------------------------------------------
namespace {

using D = TAcquiringTerminalDriver;

// Every card number a method takes or gives is marked for the log, the
// card-reading's two as well: the standard's place for the number (3) and the
// place this driver's reading writes it to (5). The English names are the
// host's, misspellings included (ReturnPaymantByPaymantCard, GetCardParametrs,
// Settelment): the host finds the methods by them, so they stay as they are.
constexpr TExportMethod kMethods[] = {
    ORVEX_EXPORT_METHOD(D, TerminalParameters, u"ПараметрыТерминала", 2),
    ORVEX_EXPORT_METHOD(D, PayByPaymentCard, u"ОплатитьПлатежнойКартой", 9, exports::CardNumbers(4)),
    ORVEX_EXPORT_METHOD(D, ReturnPaymantByPaymantCard, u"ВернутьПлатежПоПлатежнойКарте", 9, exports::CardNumbers(4)),
    ORVEX_EXPORT_METHOD(D, CancelPaymentByPaymentCard, u"ОтменитьПлатежПоПлатежнойКарте", 10, exports::CardNumbers(5)),
    ORVEX_EXPORT_METHOD(D, AuthorisationByPaymentCard, u"ПреавторизацияПоПлатежнойКарте", 9, exports::CardNumbers(4)),
    ORVEX_EXPORT_METHOD(D, AuthConfirmationByPaymentCard, u"ЗавершитьПреавторизациюПоПлатежнойКарте", 9,
                        exports::CardNumbers(4)),
    ORVEX_EXPORT_METHOD(D, CancelAuthorisationByPaymentCard, u"ОтменитьПреавторизациюПоПлатежнойКарте", 9,
                        exports::CardNumbers(4)),
    ORVEX_EXPORT_METHOD(D, PayByPaymentCardWithCashWithdrawal, u"ОплатитьПлатежнойКартойСВыдачейНаличных", 10,
                        exports::CardNumbers(5)),
    ORVEX_EXPORT_METHOD(D, GetCardParametrs, u"ПолучитьПараметрыКарты", 8, exports::CardNumbers(3, 5)),
    ORVEX_EXPORT_METHOD(D, PayElectronicCertificate, u"ОплатитьЭлектроннымСертификатом", 12, exports::CardNumbers(6)),
    ORVEX_EXPORT_METHOD(D, ReturnElectronicCertificate, u"ВернутьЭлектроннымСертификатом", 12, exports::CardNumbers(6)),
    ORVEX_EXPORT_METHOD(D, EmergencyReversal, u"АварийнаяОтменаОперации", 1),
    ORVEX_EXPORT_METHOD(D, GetOperationByCards, u"ПолучитьОперацииПоКартам", 2),
    ORVEX_EXPORT_METHOD(D, Settelment, u"ИтогиДняПоКартам", 2),
};

using namespace params;
using TP = TTransactParams;

template <std::size_t N>
constexpr auto Layout(std::u16string_view AMethod, const TParamField<TP> (&AFields)[N]) {
  return exports::Layout(kMethods, AMethod, AFields);
}
constexpr TParamField<TP> Merchant(int32_t AIndex) { return Long(AIndex, &TP::MerchantNumber); }
constexpr TParamField<TP> OperationStatus(int32_t AIndex) { return Int(AIndex, &TP::OperationStatus, Out); }

constexpr auto kPayLayout =
    Layout(u"PayByPaymentCard",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Text(4, &TP::CardNumber, InOut),
            Text(5, &TP::ReceiptNumber, InOut), Text(6, &TP::RRNCode, InOut), Text(7, &TP::AuthorizationCode, InOut),
            Text(8, &TP::Slip, Out)});
// The refund keeps the host's authorisation code.
constexpr auto kReturnLayout =
    Layout(u"ReturnPaymantByPaymantCard",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Text(4, &TP::CardNumber, InOut),
            Text(5, &TP::ReceiptNumber, InOut), Text(6, &TP::RRNCode, InOut), Text(7, &TP::AuthorizationCode, In),
            Text(8, &TP::Slip, Out)});
constexpr auto kCancelLayout =
    Layout(u"CancelPaymentByPaymentCard", {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount),
                                           Amount(4, &TP::AmountOriginalTransaction), Text(5, &TP::CardNumber, InOut),
                                           Text(6, &TP::ReceiptNumber, InOut), Text(7, &TP::RRNCode, In),
                                           Text(8, &TP::AuthorizationCode, In), Text(9, &TP::Slip, Out)});
constexpr auto kAuthorisationLayout =
    Layout(u"AuthorisationByPaymentCard",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Text(4, &TP::CardNumber, InOut),
            Text(5, &TP::ReceiptNumber, InOut), Text(6, &TP::RRNCode, Out), Text(7, &TP::AuthorizationCode, Out),
            Text(8, &TP::Slip, Out)});
// The confirmation is found by its receipt number alone: 6 and 7 stay untouched.
constexpr auto kConfirmationLayout =
    Layout(u"AuthConfirmationByPaymentCard",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Text(4, &TP::CardNumber, InOut),
            Text(5, &TP::ReceiptNumber, InOut), Text(8, &TP::Slip, Out)});
constexpr auto kCancelAuthorisationLayout =
    Layout(u"CancelAuthorisationByPaymentCard",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Text(4, &TP::CardNumber, InOut),
            Text(5, &TP::ReceiptNumber, InOut), Text(6, &TP::RRNCode, In), Text(7, &TP::AuthorizationCode, In),
            Text(8, &TP::Slip, Out)});
constexpr auto kCashWithdrawalLayout =
    Layout(u"PayByPaymentCardWithCashWithdrawal",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Amount(3, &TP::Amount), Amount(4, &TP::AmountCash),
            Text(5, &TP::CardNumber, Out), Text(6, &TP::ReceiptNumber, Out), Text(7, &TP::RRNCode, Out),
            Text(8, &TP::AuthorizationCode, Out), Text(9, &TP::Slip, Out)});
constexpr auto kPayCertificateLayout =
    Layout(u"PayElectronicCertificate",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Text(3, &TP::BasketID, InOut),
            Amount(4, &TP::ElectronicCertificateAmount), Amount(5, &TP::OwnFundsAmount), Text(6, &TP::CardNumber, Out),
            Text(7, &TP::ReceiptNumber, Out), Text(8, &TP::RRNCode, Out), Text(9, &TP::AuthorizationCode, Out),
            OperationStatus(10), Text(11, &TP::Slip, Out)});
constexpr auto kReturnCertificateLayout =
    Layout(u"ReturnElectronicCertificate",
           {Merchant(1), Text(2, &TP::ConsumerPresentedQR, In), Text(3, &TP::BasketID, InOut),
            Amount(4, &TP::ElectronicCertificateAmount), Amount(5, &TP::OwnFundsAmount),
            Text(6, &TP::CardNumber, InOut), Text(7, &TP::ReceiptNumber, InOut), Text(8, &TP::RRNCode, InOut),
            Text(9, &TP::AuthorizationCode, Out), OperationStatus(10), Text(11, &TP::Slip, Out)});

// The card reading keeps its own values: the transaction record has no place
// for them. The card type is "Unknown" until the terminal names it.
struct TCardReading {
  std::u16string ConsumerPresentedQR;
  bool FromLastOperation = false;
  std::u16string Result1;
  std::u16string Result2;
  std::u16string Result3;
  std::u16string Result4 = u"Unknown";
  int32_t Result5 = 0;
};
using CR = TCardReading;

constexpr auto kCardParametersLayout = exports::Layout(
    kMethods, u"GetCardParametrs",
    {Text(1, &CR::ConsumerPresentedQR, In), Bool(2, &CR::FromLastOperation), Text(3, &CR::Result1, Out),
     Text(4, &CR::Result2, Out), Text(5, &CR::Result3, Out), Text(6, &CR::Result4, Out), Int(7, &CR::Result5, Out)});

std::u16string BoolText(bool AValue) { return AValue ? u"true" : u"false"; }

}  // namespace

const TExportTable& TAcquiringTerminalDriver::Exports() {
  static const TExportTable Table{&TCommonDriver::Exports(), kMethods, {}, {}};
  return Table;
}

void TAcquiringTerminalDriver::UpdateDriverInfo(TDriverInfo& ADriverInfo) {
  TCommonDriver::UpdateDriverInfo(ADriverInfo);
  ADriverInfo.EquipmentType = TEquipmentType::etAcquiringTerminal;
}

int32_t TAcquiringTerminalDriver::GetRevision() { return kAcquiringRevision; }

std::u16string TAcquiringTerminalDriver::GetTerminalId() const { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoTerminalParameters(TTerminalCapabilities&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoPayByPaymentCard(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoReturnPayment(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoCancelPayment(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoAuthorisation(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoAuthConfirmation(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoCancelAuthorisation(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoPayWithCashWithdrawal(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoGetCardParameters(bool, std::u16string&, std::u16string&, std::u16string&,
                                                   std::u16string&, std::u16string&, int32_t&) {
  RaiseAbstractError();
}
void TAcquiringTerminalDriver::DoPayElectronicCertificate(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoReturnElectronicCertificate(TTransactParams&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoEmergencyReversal() { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoGetOperationByCards(std::vector<TCardOperation>&) { RaiseAbstractError(); }
void TAcquiringTerminalDriver::DoSettlement(std::u16string&) { RaiseAbstractError(); }

// ---------------------------------------------------------------------------
bool TAcquiringTerminalDriver::RunTransaction(V8Variant* RetValue, V8Variant* Params,
                                              TParamLayout<TTransactParams> ALayout, TTransactOperation AOperation) {
  return RunLayout<TTransactParams>(RetValue, Params, ALayout, [&](TTransactParams& R) { (this->*AOperation)(R); });
}

bool TAcquiringTerminalDriver::PayByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kPayLayout, &TAcquiringTerminalDriver::DoPayByPaymentCard);
}

bool TAcquiringTerminalDriver::ReturnPaymantByPaymantCard(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                          TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kReturnLayout, &TAcquiringTerminalDriver::DoReturnPayment);
}

bool TAcquiringTerminalDriver::CancelPaymentByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                          TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kCancelLayout, &TAcquiringTerminalDriver::DoCancelPayment);
}

bool TAcquiringTerminalDriver::AuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                          TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kAuthorisationLayout, &TAcquiringTerminalDriver::DoAuthorisation);
}

bool TAcquiringTerminalDriver::AuthConfirmationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                             TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kConfirmationLayout, &TAcquiringTerminalDriver::DoAuthConfirmation);
}

bool TAcquiringTerminalDriver::CancelAuthorisationByPaymentCard(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                                TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kCancelAuthorisationLayout, &TAcquiringTerminalDriver::DoCancelAuthorisation);
}

bool TAcquiringTerminalDriver::PayByPaymentCardWithCashWithdrawal(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                                  TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kCashWithdrawalLayout, &TAcquiringTerminalDriver::DoPayWithCashWithdrawal);
}

bool TAcquiringTerminalDriver::PayElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                        TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kPayCertificateLayout, &TAcquiringTerminalDriver::DoPayElectronicCertificate);
}

bool TAcquiringTerminalDriver::ReturnElectronicCertificate(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                           TV8AddInDefBaseEx*&) {
  return RunTransaction(RetValue, Params, kReturnCertificateLayout,
                        &TAcquiringTerminalDriver::DoReturnElectronicCertificate);
}

bool TAcquiringTerminalDriver::GetCardParametrs(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunLayout<TCardReading>(RetValue, Params, kCardParametersLayout, [&](TCardReading& R) {
    DoGetCardParameters(R.FromLastOperation, R.ConsumerPresentedQR, R.Result1, R.Result2, R.Result3, R.Result4,
                        R.Result5);
  });
}

bool TAcquiringTerminalDriver::EmergencyReversal(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { DoEmergencyReversal(); });
}

// No list document is defined for the host: the operation is the whole method.
bool TAcquiringTerminalDriver::GetOperationByCards(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    std::vector<TCardOperation> Operations;
    DoGetOperationByCards(Operations);
  });
}

bool TAcquiringTerminalDriver::Settelment(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    std::u16string Slip;
    DoSettlement(Slip);
    SetTextParam(Params[1], Slip);
  });
}

bool TAcquiringTerminalDriver::TerminalParameters(V8Variant* RetValue, V8Variant* Params, int32_t,
                                                  TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    TTerminalCapabilities Capabilities;
    DoTerminalParameters(Capabilities);
    SetTextParam(Params[1], BuildTerminalParametersXml(Capabilities));
  });
}

// The attribute is "TerminalID" although the property is TerminalId: the host
// reads the document by this name.
std::u16string TAcquiringTerminalDriver::BuildTerminalParametersXml(const TTerminalCapabilities& ACapabilities) {
  const std::pair<const char*, std::u16string> Attributes[] = {
      {"TerminalID", GetTerminalId()},
      {"PrintSlipOnTerminal", BoolText(ACapabilities.PrintSlipOnTerminal)},
      {"ShortSlip", BoolText(ACapabilities.ShortSlip)},
      {"CashWithdrawal", BoolText(ACapabilities.CashWithdrawal)},
      {"ElectronicCertificates", BoolText(ACapabilities.ElectronicCertificates)},
      {"PartialCancellation", BoolText(ACapabilities.PartialCancellation)},
      {"ConsumerPresentedQR", BoolText(ACapabilities.ConsumerPresentedQR)},
      {"ListCardTransactions", BoolText(ACapabilities.ListCardTransactions)},
  };
  pugi::xml_document Document;
  pugi::xml_node Root = Document.append_child("TerminalParameters");
  for (const auto& [Name, Value] : Attributes) Root.append_attribute(Name).set_value(ToUtf8(Value).c_str());
  // Without a declaration node the serialiser writes version "1.0" and no encoding.
  std::ostringstream Xml;
  Document.save(Xml, "\t", pugi::format_default, pugi::encoding_utf8);
  return FromUtf8(Xml.str());
}
