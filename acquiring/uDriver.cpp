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

Currency ReadAmount(const V8Variant& AValue) { return AmountToCurrency(V8AsDouble(AValue)); }

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

// The log masks the cashier's password of the fast refund and every card
// number; the card's BIN and last four digits, the hash and the interbank key
// (a payment's reference, not a secret) stay readable.
const TExportTable& TDriver::Exports() {
  static constexpr TExportMethod Methods[] = {
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
  static const TExportTable Table{&TAcquiringTerminalDriver::Exports(), Methods, Props, {}};
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
template <class DeviceCall>
void TDriver::WithSlip(TTransactParams& R, DeviceCall&& ACall) {
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
  throw Exception(FormatText(resources::LoadString(resources::kMethodNotSupportedId),
                             {u"PayByPaymentCardWithCashWithdrawal"}));
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
    FDevice->SaleEc(R.OwnFundsAmount, R.ElectronicCertificateAmount, R.ConsumerPresentedQR, R.BasketID,
                    R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
    R.OperationStatus = FDevice->Status() == kStatusApprovedPartially ? 1 : 0;
  });
}

void TDriver::DoReturnElectronicCertificate(TTransactParams& R) {
  WithSlip(R, [&] {
    FDevice->RefundEc(R.OwnFundsAmount, R.ElectronicCertificateAmount, R.ConsumerPresentedQR, R.BasketID,
                      R.CardNumber, R.ReceiptNumber, R.RRNCode, R.AuthorizationCode);
    R.OperationStatus = FDevice->Status() == kStatusApprovedPartially ? 1 : 0;
  });
}

void TDriver::DoEmergencyReversal() { FDevice->EmergencyVoid(); }

void TDriver::DoSettlement(std::u16string& AText) {
  RunThenWrite([&] { FDevice->Settelment(); }, [&] { AText = FDevice->Receipt(); });
}

// ---------------------------------------------------------------------------
void TDriver::WriteReceipt(V8Variant& Param) { SetTextParam(Param, FDevice->Receipt()); }

void TDriver::WriteFpsAnswer(V8Variant* Params, int32_t AFirst, const TFpsAnswer& AAnswer) {
  SetTextParam(Params[AFirst], AAnswer.MerchantID);
  SetTextParam(Params[AFirst + 1], AAnswer.ResponseCode);
  SetTextParam(Params[AFirst + 2], AAnswer.OpertationID);
}

// Parameters 0 to 6 of the two fast payments that start with a QR code.
TDriver::TFpsPayment TDriver::ReadFpsPayment(const V8Variant* Params) {
  return {ReadAmount(Params[0]), V8AsInt(Params[1]), V8AsWString(Params[2]), V8AsInt(Params[3]), {}};
}

void TDriver::WriteFpsPayment(V8Variant* Params, const TFpsPayment& APayment) {
  V8SetInt(Params[1], APayment.ReceiptNumber);
  SetTextParam(Params[2], APayment.Rrn);
  WriteFpsAnswer(Params, 4, APayment.Answer);
}

bool TDriver::PayFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    TFpsPayment P = ReadFpsPayment(Params);
    RunThenWrite(
        [&] {
          FDevice->SaleFPS(P.Amount, P.ReceiptNumber, P.Rrn, P.Lifetime, P.Answer.MerchantID,
                           P.Answer.ResponseCode, P.Answer.OpertationID);
        },
        [&] {
          WriteFpsPayment(Params, P);
          WriteReceipt(Params[7]);
        });
  }, &DeviceErrorCode);
}

bool TDriver::GetQRCodeFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    TFpsPayment P = ReadFpsPayment(Params);
    std::u16string QRCodeData;
    RunThenWrite(
        [&] {
          FDevice->GetQRCodeFPS(P.Amount, P.ReceiptNumber, P.Rrn, P.Lifetime, P.Answer.MerchantID,
                                P.Answer.ResponseCode, P.Answer.OpertationID, QRCodeData);
        },
        [&] {
          WriteFpsPayment(Params, P);
          SetTextParam(Params[7], QRCodeData);
          WriteReceipt(Params[8]);
        });
  }, &DeviceErrorCode);
}

bool TDriver::GetPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const Currency Amount = ReadAmount(Params[0]);
    int32_t ReceiptNumber = V8AsInt(Params[1]);
    std::u16string AuthorizationCode = V8AsWString(Params[2]);
    TFpsAnswer Answer;
    RunThenWrite(
        [&] {
          FDevice->GetSaleStatusFPS(Amount, ReceiptNumber, AuthorizationCode, Answer.MerchantID,
                                    Answer.ResponseCode, Answer.OpertationID);
        },
        [&] {
          V8SetInt(Params[1], ReceiptNumber);
          SetTextParam(Params[2], AuthorizationCode);
          WriteFpsAnswer(Params, 3, Answer);
          WriteReceipt(Params[6]);
        });
  }, &DeviceErrorCode);
}

// The reference of the returned payment and the cashier's password go in only.
bool TDriver::ReturnPaymentFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const Currency Amount = ReadAmount(Params[0]);
    int32_t ReceiptNumber = V8AsInt(Params[1]);
    std::u16string Rrn = V8AsWString(Params[2]);
    std::u16string AuthorizationCode = V8AsWString(Params[3]);
    const std::u16string CashierPassword = V8AsWString(Params[7]);
    TFpsAnswer Answer;
    RunThenWrite(
        [&] {
          FDevice->RefundFPS(Amount, CashierPassword, ReceiptNumber, Rrn, AuthorizationCode, Answer.MerchantID,
                             Answer.ResponseCode, Answer.OpertationID);
        },
        [&] {
          V8SetInt(Params[1], ReceiptNumber);
          SetTextParam(Params[2], Rrn);
          WriteFpsAnswer(Params, 4, Answer);
          WriteReceipt(Params[8]);
        });
  }, &DeviceErrorCode);
}

bool TDriver::GetReturnPaymentStatusFPS(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const Currency Amount = ReadAmount(Params[0]);
    int32_t ReceiptNumber = V8AsInt(Params[1]);
    std::u16string Rrn = V8AsWString(Params[2]);
    std::u16string AuthorizationCode = V8AsWString(Params[3]);
    TFpsAnswer Answer;
    RunThenWrite(
        [&] {
          FDevice->GetRefundStatusFPS(Amount, ReceiptNumber, Rrn, AuthorizationCode, Answer.MerchantID,
                                      Answer.ResponseCode, Answer.OpertationID);
        },
        [&] {
          V8SetInt(Params[1], ReceiptNumber);
          SetTextParam(Params[2], Rrn);
          SetTextParam(Params[3], AuthorizationCode);
          WriteFpsAnswer(Params, 4, Answer);
          WriteReceipt(Params[7]);
        });
  }, &DeviceErrorCode);
}

bool TDriver::ShowQRCodeFPSOnTerminal(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(
      RetValue, [&] { FDevice->ShowQRCodeFPSOnTerminal(V8AsInt(Params[0]), V8AsWString(Params[1])); },
      &DeviceErrorCode);
}

// Whatever the host passes in 1 to 7 is ignored: the sale starts empty, and
// the card's extra data is read from the sale's answer only when it succeeded.
bool TDriver::PayByPaymentCardEx(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const Currency Amount = ReadAmount(Params[0]);
    TCardSale Sale;
    RunThenWrite(
        [&] {
          FDevice->Sale(Amount, std::u16string(), Sale.CardNumber, Sale.ReceiptNumber, Sale.Rrn,
                        Sale.AuthorizationCode);
          FDevice->GetCardParams(Sale.CardNumber, Sale.Hash, Sale.Bin, Sale.LastDigits);
        },
        [&] {
          SetTextParam(Params[1], Sale.CardNumber);
          SetTextParam(Params[2], Sale.ReceiptNumber);
          SetTextParam(Params[3], Sale.Rrn);
          SetTextParam(Params[4], Sale.AuthorizationCode);
          SetTextParam(Params[5], Sale.Hash);
          SetTextParam(Params[6], Sale.Bin);
          SetTextParam(Params[7], Sale.LastDigits);
          WriteReceipt(Params[8]);
        });
  }, &DeviceErrorCode);
}

bool TDriver::TestConnection(V8Variant* RetValue, V8Variant*, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] { FDevice->TestConnection(); }, &DeviceErrorCode);
}

bool TDriver::GetReport(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const bool FullReport = V8AsBool(Params[0]);
    RunThenWrite([&] { FDevice->GetReport(FullReport); }, [&] { WriteReceipt(Params[1]); });
  }, &DeviceErrorCode);
}

bool TDriver::GetReceiptCopy(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const std::u16string ReceiptNumber = V8AsWString(Params[0]);
    RunThenWrite([&] { FDevice->GetReceiptCopy(ReceiptNumber); }, [&] { WriteReceipt(Params[1]); });
  }, &DeviceErrorCode);
}

bool TDriver::GetCardExtParams(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    std::u16string Card[4];
    RunThenWrite([&] { FDevice->GetCardParams(Card[0], Card[1], Card[2], Card[3]); },
                 [&] {
                   for (int32_t Index = 0; Index < 4; ++Index) SetTextParam(Params[Index], Card[Index]);
                 });
  }, &DeviceErrorCode);
}

bool TDriver::PurchaseWithEnrollment(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    const Currency Amount = ReadAmount(Params[0]);
    std::u16string Card[4];
    RunThenWrite([&] { FDevice->TransferToCard(Amount, Card[0], Card[1], Card[2], Card[3]); },
                 [&] {
                   for (int32_t Index = 0; Index < 4; ++Index) SetTextParam(Params[Index + 1], Card[Index]);
                   WriteReceipt(Params[5]);
                 });
  }, &DeviceErrorCode);
}

// A failed reading reports the zero date, 30 December 1899.
bool TDriver::GetCompositeInterbankKey(V8Variant* RetValue, V8Variant* Params, int32_t, TV8AddInDefBaseEx*&) {
  return RunGuarded(RetValue, [&] {
    std::u16string Uuid;
    std::u16string PaymentSystemIdentifier;
    int64_t Seconds = 0;
    double Date = 0;
    RunThenWrite(
        [&] {
          FDevice->GetCompositeInterbankKey(Uuid, PaymentSystemIdentifier, Seconds);
          Date = UnixSecondsToDate(Seconds);
        },
        [&] {
          SetTextParam(Params[0], Uuid);
          SetTextParam(Params[1], PaymentSystemIdentifier);
          V8SetDate(Params[2], Date);
        });
  }, &DeviceErrorCode);
}
