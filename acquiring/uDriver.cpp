#include "acquiring/uDriver.h"

#include "platform/Resources.h"
#include "platform/Text.h"
#include "resources/StringIds.h"

namespace {

// Day-count dates start on 30 December 1899; 1 January 1970 is day 25569.
constexpr double kUnixEpochDay = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr int32_t kStatusApprovedPartially = 2;
constexpr int32_t kMaxTimeoutAfterGetParams = 60000;
constexpr std::u16string_view kTimeoutAfterGetParamsRefused =
    u"Недопустимая задержка после операции получения параметров: %s (допустимо от 0 до %s мсек.)";

// The seconds are taken as they come: no shift between universal and local time.
double UnixSecondsToDate(int64_t ASeconds) { return kUnixEpochDay + static_cast<double>(ASeconds) / kSecondsPerDay; }

// A NAN fails both comparisons.
bool TimeoutAfterGetParamsAllowed(double AMilliseconds) {
  return AMilliseconds >= 0 && AMilliseconds <= kMaxTimeoutAfterGetParams;
}

[[noreturn]] void RaiseTimeoutAfterGetParamsRefused(double AMilliseconds) {
  throw Exception(
      FormatText(kTimeoutAfterGetParamsRefused, {FloatToText(AMilliseconds), IntToText(kMaxTimeoutAfterGetParams)}));
}

// The extended methods report a device error's own code (4501 when the
// outcome is undetermined), any other failure with the general code.
int32_t DeviceErrorCode() noexcept {
  try {
    throw;
  } catch (const EDevcieError& E) {
    return E.Code();
  } catch (...) {
    return kErrorCodeFailure;
  }
}

// The log masks the cashier's password of the fast refund and every card
// number; the card's BIN and last four digits, the hash and the interbank key
// (a payment's reference, not a secret) stay readable.
constexpr TExportMethod kMethods[] = {
    ORVEX_EXPORT_METHOD(TDriver, PayFPS, u"ОплатитьСБП", 8),
    ORVEX_EXPORT_METHOD(TDriver, GetQRCodeFPS, u"ПолучитьQRКодСБП", 9),
    ORVEX_EXPORT_METHOD(TDriver, GetPaymentStatusFPS, u"ПолучитьСтатусОплатыСБП", 7),
    ORVEX_EXPORT_METHOD(TDriver, ReturnPaymentFPS, u"ВернутьПлатежСБП", 9, exports::Secrets(7)),
    ORVEX_EXPORT_METHOD(TDriver, GetReturnPaymentStatusFPS, u"ПолучитьСтатусВозвратаПлатежаСБП", 8),
    ORVEX_EXPORT_METHOD(TDriver, ShowQRCodeFPSOnTerminal, u"ОтобразитьQRКодСБПнаТерминале", 2),
    ORVEX_EXPORT_METHOD(TDriver, PayByPaymentCardEx, u"ОплатитьПлатежнойКартойРасш", 9, exports::CardNumbers(1)),
    ORVEX_EXPORT_METHOD(TDriver, TestConnection, u"ПроверкаСоединения", 0),
    ORVEX_EXPORT_METHOD(TDriver, GetReport, u"ЗапросОтчета", 2),
    ORVEX_EXPORT_METHOD(TDriver, GetReceiptCopy, u"ЗапросКопииЧека", 2),
    ORVEX_EXPORT_METHOD(TDriver, GetCardExtParams, u"ПолучитьДопПараметрыКарты", 4, exports::CardNumbers(0)),
    ORVEX_EXPORT_METHOD(TDriver, PurchaseWithEnrollment, u"ПокупкаСЗачислением", 6, exports::CardNumbers(1)),
    ORVEX_EXPORT_METHOD(TDriver, GetCompositeInterbankKey, u"ПолучитьСоставнойМежбанковскийКлюч", 3),
};

using namespace params;
using E = TExtendedParams;

template <std::size_t N>
constexpr auto Layout(std::u16string_view AMethod, const TParamField<E> (&AFields)[N]) {
  return exports::Layout(kMethods, AMethod, AFields);
}
// A fast payment's answer: the merchant, the host's response code and the operation id.
constexpr TParamField<E> FpsMerchant(int32_t AIndex) { return Text(AIndex, &E::MerchantID, Out); }
constexpr TParamField<E> FpsResponseCode(int32_t AIndex) { return Text(AIndex, &E::ResponseCode, Out); }
constexpr TParamField<E> FpsOperationId(int32_t AIndex) { return Text(AIndex, &E::OperationID, Out); }
constexpr TParamField<E> Receipt(int32_t AIndex) { return Text(AIndex, &E::Slip, Out); }

constexpr auto kPayFpsLayout = Layout(
    u"PayFPS", {Amount(0, &E::Amount), Int(1, &E::FpsReceiptNumber, InOut), Text(2, &E::RRNCode, InOut),
                Int(3, &E::QRCodeLifetime, In), FpsMerchant(4), FpsResponseCode(5), FpsOperationId(6), Receipt(7)});
constexpr auto kQRCodeFpsLayout =
    Layout(u"GetQRCodeFPS", {Amount(0, &E::Amount), Int(1, &E::FpsReceiptNumber, InOut), Text(2, &E::RRNCode, InOut),
                             Int(3, &E::QRCodeLifetime, In), FpsMerchant(4), FpsResponseCode(5), FpsOperationId(6),
                             Text(7, &E::QRCodeData, Out), Receipt(8)});
// The status is asked by the payment's operation id, passed where the
// authorisation code goes.
constexpr auto kPaymentStatusFpsLayout =
    Layout(u"GetPaymentStatusFPS",
           {Amount(0, &E::Amount), Int(1, &E::FpsReceiptNumber, InOut), Text(2, &E::AuthorizationCode, InOut),
            FpsMerchant(3), FpsResponseCode(4), FpsOperationId(5), Receipt(6)});
// The reference of the returned payment and the cashier's password go in only.
constexpr auto kReturnFpsLayout =
    Layout(u"ReturnPaymentFPS", {Amount(0, &E::Amount), Int(1, &E::FpsReceiptNumber, InOut),
                                 Text(2, &E::RRNCode, InOut), Text(3, &E::AuthorizationCode, In), FpsMerchant(4),
                                 FpsResponseCode(5), FpsOperationId(6), Text(7, &E::CashierPassword, In), Receipt(8)});
constexpr auto kReturnStatusFpsLayout =
    Layout(u"GetReturnPaymentStatusFPS",
           {Amount(0, &E::Amount), Int(1, &E::FpsReceiptNumber, InOut), Text(2, &E::RRNCode, InOut),
            Text(3, &E::AuthorizationCode, InOut), FpsMerchant(4), FpsResponseCode(5), FpsOperationId(6), Receipt(7)});
constexpr auto kShowQRCodeLayout =
    Layout(u"ShowQRCodeFPSOnTerminal", {Int(0, &E::QRCodeTimeout, In), Text(1, &E::QRCodeData, In)});
// Whatever the host passes in 1 to 7 is ignored: the sale starts empty.
constexpr auto kPayExLayout = Layout(
    u"PayByPaymentCardEx", {Amount(0, &E::Amount), Text(1, &E::CardNumber, Out), Text(2, &E::ReceiptNumber, Out),
                            Text(3, &E::RRNCode, Out), Text(4, &E::AuthorizationCode, Out), Text(5, &E::CardHash, Out),
                            Text(6, &E::CardBin, Out), Text(7, &E::CardLastDigits, Out), Receipt(8)});
constexpr auto kTestConnectionLayout = exports::Layout<TParamField<E>>(kMethods, u"TestConnection");
constexpr auto kReportLayout = Layout(u"GetReport", {Bool(0, &E::FullReport), Receipt(1)});
constexpr auto kReceiptCopyLayout = Layout(u"GetReceiptCopy", {Text(0, &E::ReceiptNumber, In), Receipt(1)});
constexpr auto kCardExtLayout =
    Layout(u"GetCardExtParams", {Text(0, &E::CardNumber, Out), Text(1, &E::CardHash, Out), Text(2, &E::CardBin, Out),
                                 Text(3, &E::CardLastDigits, Out)});
constexpr auto kEnrollmentLayout = Layout(
    u"PurchaseWithEnrollment", {Amount(0, &E::Amount), Text(1, &E::CardNumber, Out), Text(2, &E::ReceiptNumber, Out),
                                Text(3, &E::RRNCode, Out), Text(4, &E::AuthorizationCode, Out), Receipt(5)});
constexpr auto kInterbankKeyLayout =
    Layout(u"GetCompositeInterbankKey",
           {Text(0, &E::Uuid, Out), Text(1, &E::PaymentSystemIdentifier, Out), Date(2, &E::KeyDate)});

}  // namespace

// Text-to-number conversions of the library always take a full stop as the
// decimal separator (platform/Text.h), so there is no process format to set.
// The description's download address is reported empty for this driver.
TDriver::TDriver() : TAcquiringTerminalDriver(&TAcquiringTerminalDriver::UpdateDriverInfo) {
  DriverInfo().DownloadURL.clear();
  FDevice = std::make_unique<TDevice>();
}

// The device goes first; the base's Close then finds none to disable.
TDriver::~TDriver() { FDevice.reset(); }

const TExportTable& TDriver::Exports() {
  static constexpr TExportProp Props[] = {
      ORVEX_EXPORT_PROPERTY(TDriver, TerminalId, u"IDТерминала", u"ID терминала", u"00000001", false),
      ORVEX_EXPORT_PROPERTY(TDriver, Port, u"Порт", u"Порт терминала", u"0", false),
      ORVEX_EXPORT_PROPERTY(TDriver, Baud, u"Скорость", u"Скорость обмена", u"115200", false),
      ORVEX_EXPORT_PROPERTY(TDriver, CurrencyCode, u"КодВалюты", u"Код валюты", u"643", false),
      ORVEX_EXPORT_READONLY_PROPERTY(TDriver, ResponseCodeHost, u"КодОтветаХоста", u"Код ответа хоста", u""),
      ORVEX_EXPORT_READONLY_PROPERTY(TDriver, Status, u"Статус", u"Статус операции", u"-1"),
      ORVEX_EXPORT_READONLY_PROPERTY(TDriver, CommandResult, u"РезультатКоманды", u"Результат выполнения команды",
                                     u"-1"),
      ORVEX_EXPORT_READONLY_PROPERTY(TDriver, ReceiptText, u"ТекстКвитанции", u"Текст квитанции", u""),
      // "параметрлв": the caption the host's settings form has always shown; keep it.
      ORVEX_EXPORT_PROPERTY(TDriver, TimeoutAfterGetParams, u"ТаймаутПослеПолученияПараметров",
                            u"Задержка после операции получения параметрлв (мсек.)", u"2000", false),
  };
  static const TExportTable Table{&TAcquiringTerminalDriver::Exports(), kMethods, Props, {}};
  return Table;
}

// A connect that cannot create the connector objects leaves the driver as it was.
void TDriver::Open() {
  FDevice->Enable();
  TAcquiringTerminalDriver::Open();
}

void TDriver::Close() {
  TAcquiringTerminalDriver::Close();
  if (FDevice) FDevice->Disable();
}

// ---------------------------------------------------------------------------
template <class Record, class DeviceCall>
void TDriver::WithSlip(Record& R, DeviceCall&& ACall) {
  RunThenWrite(ACall, [&] { R.Slip = FDevice->Receipt(); });
}

std::u16string TDriver::GetTerminalId() const { return FDevice->TerminalId(); }

void TDriver::SetTimeoutAfterGetParams(double AMilliseconds) {
  if (!TimeoutAfterGetParamsAllowed(AMilliseconds)) RaiseTimeoutAfterGetParamsRefused(AMilliseconds);
  FDevice->SetTimeoutAfterGetParams(static_cast<int32_t>(AMilliseconds));
}

// The driver offers neither cash withdrawal nor a card-operation list, whatever
// the terminal says.
void TDriver::DoTerminalParameters(TTerminalCapabilities& C) {
  C = TTerminalCapabilities();
  C.ElectronicCertificates = true;
  C.ConsumerPresentedQR = true;
  FDevice->GetTerminalParameters(C.PrintSlipOnTerminal, C.ShortSlip, C.CashWithdrawal, C.ElectronicCertificates,
                                 C.PartialCancellation, C.ConsumerPresentedQR, C.ListCardTransactions);
  C.CashWithdrawal = false;
  C.ListCardTransactions = false;
}

void TDriver::DoPayByPaymentCard(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->Sale(R.Amount, R.ConsumerPresentedQR, R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
  });
}

void TDriver::DoReturnPayment(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->Refund(R.Amount, R.ConsumerPresentedQR, R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
  });
}

void TDriver::DoCancelPayment(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->VoidSale(R.Amount, R.AmountOriginalTransaction, R.ConsumerPresentedQR, R.ReceiptNumber, R.RRNCode,
                      R.AuthorizationCode, R.CardNumber);
  });
}

void TDriver::DoAuthorisation(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->Preauthorize(R.Amount, R.ConsumerPresentedQR, R.CardNumber, R.ReceiptNumber, R.RRNCode,
                          R.AuthorizationCode);
  });
}

void TDriver::DoAuthConfirmation(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->Confirm(R.Amount, R.ConsumerPresentedQR, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode, R.CardNumber);
  });
}

// A pre-authorisation is always cancelled whole.
void TDriver::DoCancelAuthorisation(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->VoidSale(R.Amount, R.Amount, R.ConsumerPresentedQR, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode,
                      R.CardNumber);
  });
}

void TDriver::DoPayWithCashWithdrawal(TTransactParams&) {
  throw Exception(
      FormatText(resources::LoadString(resources::kMethodNotSupportedId), {u"PayByPaymentCardWithCashWithdrawal"}));
}

// The reading's BIN and last four digits have no place among the host's parameters.
void TDriver::DoGetCardParameters(bool AFromLastOperation, std::u16string& AConsumerPresentedQR, std::u16string&,
                                  std::u16string& AResult2, std::u16string& AResult3, std::u16string& AResult4,
                                  int32_t&) {
  std::u16string Bin;
  std::u16string LastDigits;
  FDevice->ReadCard(AFromLastOperation, AConsumerPresentedQR, AResult3, AResult2, Bin, LastDigits);
  AResult4 = FDevice->CardType();
}

void TDriver::DoPayElectronicCertificate(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->SaleEc(R.OwnFundsAmount, R.ElectronicCertificateAmount, R.ConsumerPresentedQR, R.BasketID, R.CardNumber,
                    R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
    R.OperationStatus = FDevice->Status() == kStatusApprovedPartially ? 1 : 0;
  });
}

void TDriver::DoReturnElectronicCertificate(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->RefundEc(R.OwnFundsAmount, R.ElectronicCertificateAmount, R.ConsumerPresentedQR, R.BasketID, R.CardNumber,
                      R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
    R.OperationStatus = FDevice->Status() == kStatusApprovedPartially ? 1 : 0;
  });
}

void TDriver::DoEmergencyReversal() { FDevice->EmergencyVoid(); }

void TDriver::DoSettlement(std::u16string& AText) {
  RunThenWrite([&] { FDevice->Settelment(); }, [&] { AText = FDevice->Receipt(); });
}

// ---------------------------------------------------------------------------
template <class DeviceCall>
bool TDriver::RunExtended(V8Variant* RetValue, V8Variant* Params, TParamLayout<TExtendedParams> ALayout,
                          DeviceCall&& ACall) {
  return RunLayout<TExtendedParams>(
      RetValue, Params, ALayout, [&](TExtendedParams& R) { WithSlip(R, [&] { ACall(R); }); }, &DeviceErrorCode);
}

bool TDriver::PayFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kPayFpsLayout, [&](E& R) {
    FDevice->SaleFPS(R.Amount, R.FpsReceiptNumber, R.RRNCode, R.QRCodeLifetime, R.MerchantID, R.ResponseCode,
                     R.OperationID);
  });
}

bool TDriver::GetQRCodeFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kQRCodeFpsLayout, [&](E& R) {
    FDevice->GetQRCodeFPS(R.Amount, R.FpsReceiptNumber, R.RRNCode, R.QRCodeLifetime, R.MerchantID, R.ResponseCode,
                          R.OperationID, R.QRCodeData);
  });
}

bool TDriver::GetPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kPaymentStatusFpsLayout, [&](E& R) {
    FDevice->GetSaleStatusFPS(R.Amount, R.FpsReceiptNumber, R.AuthorizationCode, R.MerchantID, R.ResponseCode,
                              R.OperationID);
  });
}

bool TDriver::ReturnPaymentFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kReturnFpsLayout, [&](E& R) {
    FDevice->RefundFPS(R.Amount, R.CashierPassword, R.FpsReceiptNumber, R.RRNCode, R.AuthorizationCode, R.MerchantID,
                       R.ResponseCode, R.OperationID);
  });
}

bool TDriver::GetReturnPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kReturnStatusFpsLayout, [&](E& R) {
    FDevice->GetRefundStatusFPS(R.Amount, R.FpsReceiptNumber, R.RRNCode, R.AuthorizationCode, R.MerchantID,
                                R.ResponseCode, R.OperationID);
  });
}

bool TDriver::ShowQRCodeFPSOnTerminal(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kShowQRCodeLayout,
                     [&](E& R) { FDevice->ShowQRCodeFPSOnTerminal(R.QRCodeTimeout, R.QRCodeData); });
}

// The card's extra data is read from the sale's answer only when it succeeded.
bool TDriver::PayByPaymentCardEx(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kPayExLayout, [&](E& R) {
    FDevice->Sale(R.Amount, std::u16string(), R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
    FDevice->GetCardParams(R.CardNumber, R.CardHash, R.CardBin, R.CardLastDigits);
  });
}

bool TDriver::TestConnection(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kTestConnectionLayout, [&](E&) { FDevice->TestConnection(); });
}

bool TDriver::GetReport(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kReportLayout, [&](E& R) { FDevice->GetReport(R.FullReport); });
}

bool TDriver::GetReceiptCopy(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kReceiptCopyLayout, [&](E& R) { FDevice->GetReceiptCopy(R.ReceiptNumber); });
}

bool TDriver::GetCardExtParams(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kCardExtLayout,
                     [&](E& R) { FDevice->GetCardParams(R.CardNumber, R.CardHash, R.CardBin, R.CardLastDigits); });
}

bool TDriver::PurchaseWithEnrollment(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kEnrollmentLayout, [&](E& R) {
    FDevice->TransferToCard(R.Amount, R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
  });
}

// A failed reading reports the zero date.
bool TDriver::GetCompositeInterbankKey(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunExtended(RetValue, Params, kInterbankKeyLayout, [&](E& R) {
    int64_t Seconds = 0;
    FDevice->GetCompositeInterbankKey(R.Uuid, R.PaymentSystemIdentifier, Seconds);
    R.KeyDate = UnixSecondsToDate(Seconds);
  });
}
