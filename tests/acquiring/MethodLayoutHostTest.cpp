// The parameter layouts of the pre-authorisation, card-reading, electronic
// certificate and extended methods as the host sees them: what reaches the
// terminal, what comes back into which parameter with which value kind, what
// stays as the host passed it, after an approval and after a decline.
#include <optional>

#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

using Fields = std::vector<std::pair<std::u16string, std::u16string>>;

// Markers in an expected parameter list, for values the terminal makes up.
const HostValue kAnyText = Text(u"<any text>");
const HostValue kReceipt = Text(u"<receipt text>");
const HostValue kAnyDate = Text(u"<a date after 1970>");

struct LayoutCase {
  const char16_t* Method;
  Values Args;
  Values Approved;
  Fields Sent;
  // The same call answered with status 16: a declined answer carries no card
  // or reference, so the in-out texts the terminal answers come back empty.
  Values Declined;
  const char16_t* ApprovingStatus = nullptr;  // for operations the terminal leaves pending
};

class MethodLayout : public HostSession {
protected:
  MethodLayout() { Object = &Open(u"a_orvextx1c83n"); }

  // Calls the method and checks its return, its code when it failed, the
  // parameters afterwards and the fields the terminal received.
  void Check(std::u16string_view Method, const Values& Args, std::optional<int32_t> FailureCode, const Values& After,
             const Fields& Sent = {}) {
    SCOPED_TRACE(ToUtf8(Method) + (FailureCode ? " failing" : " approved"));
    const CallOutcome Outcome = Object->Call(Method, Args);
    ASSERT_TRUE(Outcome.Ok);
    const HostValue Receipt = Object->GetProperty(Prop(u"ReceiptText")).Return.value_or(HostValue{});
    const auto [Code, Message] = LastError();
    EXPECT_EQ(Outcome.Return, HostValue(!FailureCode)) << ToUtf8(TextOf(Message));
    if (FailureCode) {
      EXPECT_EQ(Code, HostValue(*FailureCode));
    }
    ASSERT_EQ(Outcome.Params.size(), After.size());
    for (std::size_t Index = 0; Index < After.size(); ++Index)
      ExpectParam(Outcome.Params[Index], After[Index], Receipt, Index);
    for (const auto& [Field, Value] : Sent) EXPECT_EQ(Simulator.RequestField(Field), Value) << ToUtf8(Field);
  }

  static void ExpectParam(const HostValue& Actual, const HostValue& Expected, const HostValue& Receipt,
                          std::size_t Index) {
    if (Expected == kAnyText) {
      const auto* Found = std::get_if<std::u16string>(&Actual);
      EXPECT_TRUE(Found && !Found->empty()) << "parameter " << Index;
    } else if (Expected == kAnyDate) {
      const auto* Found = std::get_if<HostDate>(&Actual);
      EXPECT_TRUE(Found && Found->DayCount > 25569.0) << "parameter " << Index;
    } else {
      EXPECT_EQ(Actual, Expected == kReceipt ? Receipt : Expected) << "parameter " << Index;
    }
  }

  // An approved call whose outputs later rows take as their references.
  CallOutcome Approved(std::u16string_view Method, const Values& Args) {
    const CallOutcome Outcome = Object->Call(Method, Args);
    EXPECT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(Method);
    return Outcome;
  }

  void RunApprovedThenDeclined(const LayoutCase& Case) {
    if (Case.ApprovingStatus) Simulator.Set(u"NextStatus", Case.ApprovingStatus);
    Check(Case.Method, Case.Args, std::nullopt, Case.Approved, Case.Sent);
    Simulator.Set(u"NextStatus", u"16");
    Check(Case.Method, Case.Args, int32_t{1001}, Case.Declined);
  }

  device_test::TSimulator Simulator;
  Component* Object = nullptr;
};

TEST_F(MethodLayout, PreAuthorisationCardReadingAndCertificates) {
  const HostValue Dev = Text(u"dev");
  // One pre-authorisation to confirm and one to cancel, each of 30.00.
  Values PreAuthorisation(9, Text(u""));
  PreAuthorisation[1] = int32_t{1};
  PreAuthorisation[3] = 30.0;
  const CallOutcome ForConfirm = Approved(u"AuthorisationByPaymentCard", PreAuthorisation);
  const CallOutcome ForCancel = Approved(u"AuthorisationByPaymentCard", PreAuthorisation);
  const CallOutcome Certificate =
      Approved(u"PayElectronicCertificate", {Dev, int32_t{1}, Text(u""), Text(u"basket-0"), 5.0, 20.0, Text(u""),
                                             Text(u""), Text(u""), Text(u""), int32_t{0}, Text(u"")});
  const HostValue ConfirmTrx = ForConfirm.Params.at(5);
  const HostValue CancelRrn = ForCancel.Params.at(6);
  const HostValue CancelAuth = ForCancel.Params.at(7);
  const HostValue CertificateRrn = Certificate.Params.at(8);

  const LayoutCase Cases[] = {
      {u"AuthorisationByPaymentCard",
       {Dev, int32_t{-5}, Text(u""), 12.5, Text(u"card-in"), Text(u""), Text(u"rrn-in"), Text(u"auth-in"),
        Text(u"slip-in")},
       {Dev, int32_t{-5}, Text(u""), 12.5, kAnyText, kAnyText, kAnyText, kAnyText, kReceipt},
       {{u"OperationCode", u"15"}, {u"Amount", u"1250"}, {u"ReferenceNumber", u""}},
       {Dev, int32_t{-5}, Text(u""), 12.5, Text(u""), kAnyText, Text(u""), Text(u""), kReceipt}},
      {u"AuthConfirmationByPaymentCard",
       {Dev, int32_t{1}, Text(u""), 12.5, Text(u""), ConfirmTrx, Text(u"rrn-in"), Text(u"auth-in"), Text(u"x")},
       {Dev, int32_t{1}, Text(u""), 12.5, kAnyText, ConfirmTrx, Text(u"rrn-in"), Text(u"auth-in"), kReceipt},
       {{u"OperationCode", u"16"},
        {u"TerminalTrxID", TextOf(ConfirmTrx)},
        {u"ReferenceNumber", u""},
        {u"AuthorizationCode", u""}},
       {Dev, int32_t{1}, Text(u""), 12.5, Text(u""), ConfirmTrx, Text(u"rrn-in"), Text(u"auth-in"), kReceipt}},
      {u"CancelAuthorisationByPaymentCard",
       {Dev, int32_t{1}, Text(u""), 30.0, Text(u""), Text(u""), CancelRrn, CancelAuth, Text(u"x")},
       {Dev, int32_t{1}, Text(u""), 30.0, kAnyText, Text(u""), CancelRrn, CancelAuth, kReceipt},
       {{u"OperationCode", u"4"},
        {u"Amount", u"3000"},
        {u"AdditionalAmount", u"3000"},
        {u"ReferenceNumber", TextOf(CancelRrn)},
        {u"AuthorizationCode", TextOf(CancelAuth)}},
       {Dev, int32_t{1}, Text(u""), 30.0, Text(u""), Text(u""), CancelRrn, CancelAuth, kReceipt}},
      {u"GetCardParametrs",
       {Dev, Text(u""), false, Text(u"x"), Text(u"x"), Text(u"x"), Text(u"x"), int32_t{5}},
       {Dev, Text(u""), false, Text(u""), kAnyText, kAnyText, kAnyText, int32_t{0}},
       {{u"OperationCode", u"57"}, {u"ProcessingFlag", u"6"}},
       {Dev, Text(u""), false, Text(u""), Text(u""), Text(u""), Text(u"Unknown"), int32_t{0}}},
      {u"GetCardParametrs",
       {Dev, Text(u""), true, Text(u"x"), Text(u"x"), Text(u"x"), Text(u"x"), int32_t{5}},
       {Dev, Text(u""), true, Text(u""), kAnyText, kAnyText, kAnyText, int32_t{0}},
       {{u"OperationCode", u"57"}, {u"ProcessingFlag", u""}},
       {Dev, Text(u""), true, Text(u""), Text(u""), Text(u""), Text(u"Unknown"), int32_t{0}}},
      {u"PayElectronicCertificate",
       {Dev, int32_t{1}, Text(u""), Text(u"basket-1"), 2.0, 10.5, Text(u"c"), Text(u"r"), Text(u"n"), Text(u"a"),
        int32_t{9}, Text(u"s")},
       {Dev, int32_t{1}, Text(u""), Text(u"basket-1"), 2.0, 10.5, kAnyText, kAnyText, kAnyText, kAnyText, int32_t{0},
        kReceipt},
       {{u"OperationCode", u"1"},
        {u"ProcessingFlag", u"104"},
        {u"Amount", u"1050"},
        {u"AdditionalAmount", u"200"},
        {u"FileData", u"basket-1"}},
       {Dev, int32_t{1}, Text(u""), Text(u"basket-1"), 2.0, 10.5, Text(u""), kAnyText, Text(u""), Text(u""), int32_t{0},
        kReceipt}},
      {u"ReturnElectronicCertificate",
       {Dev, int32_t{1}, Text(u""), Text(u"basket-0"), 5.0, 20.0, Text(u"card-in"), Text(u""), CertificateRrn,
        Text(u"a"), int32_t{9}, Text(u"s")},
       {Dev, int32_t{1}, Text(u""), Text(u"basket-0"), 5.0, 20.0, kAnyText, kAnyText, kAnyText, kAnyText, int32_t{0},
        kReceipt},
       {{u"OperationCode", u"29"},
        {u"ProcessingFlag", u"104"},
        {u"Amount", u"2000"},
        {u"AdditionalAmount", u"500"},
        {u"ReferenceNumber", TextOf(CertificateRrn)},
        {u"AuthorizationCode", u""}},
       {Dev, int32_t{1}, Text(u""), Text(u"basket-0"), 5.0, 20.0, Text(u""), kAnyText, Text(u""), Text(u""), int32_t{0},
        kReceipt}},
  };
  for (const LayoutCase& Case : Cases) RunApprovedThenDeclined(Case);
}

TEST_F(MethodLayout, APartlyApprovedCertificatePaymentReportsItsStatus) {
  Simulator.Set(u"NextStatus", u"2");
  Check(u"PayElectronicCertificate",
        {Text(u"dev"), int32_t{1}, Text(u""), Text(u"b"), 2.0, 10.5, Text(u""), Text(u""), Text(u""), Text(u""),
         int32_t{0}, Text(u"")},
        std::nullopt,
        {Text(u"dev"), int32_t{1}, Text(u""), Text(u"b"), 2.0, 10.5, kAnyText, kAnyText, kAnyText, kAnyText, int32_t{1},
         kReceipt});
}

// The fast payments' receipt number is an integer whatever the host passes:
// the text "15" reads as 15, a text that is no integer as 0.
TEST_F(MethodLayout, ExtendedMethods) {
  Simulator.Set(u"FpsPaidAfter", u"0");
  const CallOutcome Qr = Approved(u"GetQRCodeFPS", {12.5, int32_t{1}, Text(u""), int32_t{5}, Text(u""), Text(u""),
                                                    Text(u""), Text(u""), Text(u"")});
  const HostValue PaymentRrn = Qr.Params.at(2);
  const HostValue OperationId = Qr.Params.at(6);
  const HostValue Merchant = Text(u"MA0000012345");

  const LayoutCase Cases[] = {
      {u"PayFPS",
       {12.5, Text(u"15"), Text(u"rrn-in"), int32_t{5}, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"s")},
       {12.5, int32_t{15}, Text(u"rrn-in"), int32_t{5}, Merchant, kAnyText, kAnyText, kReceipt},
       {{u"ProcessingFlag", u"115"}, {u"Amount", u"1250"}, {u"ReferenceNumber", u"rrn-in"}},
       {12.5, int32_t{15}, Text(u"rrn-in"), int32_t{5}, Text(u""), Text(u"05"), Text(u""), kReceipt},
       u"1"},
      {u"GetQRCodeFPS",
       {12.5, Text(u"x1"), Text(u""), int32_t{5}, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"q"), Text(u"s")},
       {12.5, int32_t{0}, kAnyText, int32_t{5}, Merchant, kAnyText, kAnyText, kAnyText, kReceipt},
       {{u"ProcessingFlag", u"116"}, {u"Amount", u"1250"}},
       {12.5, int32_t{0}, Text(u""), int32_t{5}, Text(u""), Text(u"05"), Text(u""), Text(u""), kReceipt}},
      {u"GetPaymentStatusFPS",
       {12.5, int32_t{7}, OperationId, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"s")},
       {12.5, int32_t{7}, kAnyText, Merchant, kAnyText, kAnyText, kReceipt},
       {{u"ProcessingFlag", u"117"}, {u"AuthorizationCode", TextOf(OperationId)}},
       {12.5, int32_t{7}, Text(u""), Text(u""), Text(u"05"), Text(u""), kReceipt}},
      {u"ReturnPaymentFPS",
       {12.5, Text(u"15"), Text(u"ret-1"), PaymentRrn, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"pwd"), Text(u"s")},
       {12.5, int32_t{15}, Text(u"ret-1"), PaymentRrn, Merchant, kAnyText, kAnyText, Text(u"pwd"), kReceipt},
       {{u"OperationCode", u"29"},
        {u"ProcessingFlag", u"118"},
        {u"ReferenceNumber", u"ret-1"},
        {u"AuthorizationCode", TextOf(PaymentRrn)}},
       {12.5, int32_t{15}, Text(u"ret-1"), PaymentRrn, Text(u""), Text(u"05"), Text(u""), Text(u"pwd"), kReceipt},
       u"1"},
      {u"GetReturnPaymentStatusFPS",
       {12.5, int32_t{3}, Text(u"ret-1"), PaymentRrn, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"s")},
       {12.5, int32_t{3}, Text(u"ret-1"), kAnyText, Merchant, kAnyText, kAnyText, kReceipt},
       {{u"OperationCode", u"29"}, {u"ProcessingFlag", u"119"}, {u"ReferenceNumber", u"ret-1"}},
       {12.5, int32_t{3}, Text(u"ret-1"), Text(u""), Text(u""), Text(u"05"), Text(u""), kReceipt}},
      {u"ShowQRCodeFPSOnTerminal",
       {int32_t{30}, Text(u"https://qr.example/1")},
       {int32_t{30}, Text(u"https://qr.example/1")},
       {{u"OperationCode", u"41"}, {u"CardWaitTimeout", u"30"}},
       {int32_t{30}, Text(u"https://qr.example/1")}},
      {u"PayByPaymentCardEx",
       {12.5, Text(u"c"), Text(u"77"), Text(u"r"), Text(u"a"), Text(u"h"), Text(u"b"), Text(u"l"), Text(u"s")},
       {12.5, kAnyText, kAnyText, kAnyText, kAnyText, kAnyText, kAnyText, kAnyText, kReceipt},
       {{u"OperationCode", u"1"}, {u"Amount", u"1250"}, {u"ReferenceNumber", u""}, {u"AuthorizationCode", u""}},
       {12.5, Text(u""), kAnyText, Text(u""), Text(u""), Text(u""), Text(u""), Text(u""), kReceipt}},
      {u"TestConnection", {}, {}, {{u"OperationCode", u"26"}}, {}},
      {u"GetReport",
       {true, Text(u"s")},
       {true, kReceipt},
       {{u"OperationCode", u"63"}, {u"CommandMode2", u"21"}},
       {true, kReceipt}},
      {u"GetReport", {false, Text(u"s")}, {false, kReceipt}, {{u"CommandMode2", u"20"}}, {false, kReceipt}},
      {u"GetReceiptCopy",
       {Text(u""), Text(u"s")},
       {Text(u""), kReceipt},
       {{u"CommandMode2", u"22"}, {u"CommandMode", u"1"}},
       {Text(u""), kReceipt}},
      {u"GetReceiptCopy",
       {Text(u"5"), Text(u"s")},
       {Text(u"5"), kReceipt},
       {{u"CommandMode", u"0"}},
       {Text(u"5"), kReceipt}},
      {u"PurchaseWithEnrollment",
       {12.5, Text(u"c"), Text(u"r"), Text(u"n"), Text(u"a"), Text(u"s")},
       {12.5, kAnyText, kAnyText, kAnyText, kAnyText, kReceipt},
       {{u"OperationCode", u"87"}, {u"Amount", u"1250"}},
       {12.5, Text(u""), kAnyText, Text(u""), Text(u""), kReceipt}},
  };
  for (const LayoutCase& Case : Cases) RunApprovedThenDeclined(Case);
}

// A payment the terminal still waits for is undetermined: code 4501, and the
// host gets the merchant and the operation id to ask for its status later.
TEST_F(MethodLayout, APendingFastPaymentFailsWithItsAnswerWritten) {
  Check(u"PayFPS", {12.5, Text(u"15"), Text(u""), int32_t{5}, Text(u"m"), Text(u"r"), Text(u"o"), Text(u"s")},
        int32_t{4501},
        {12.5, int32_t{15}, Text(u""), int32_t{5}, Text(u"MA0000012345"), Text(u""), kAnyText, kReceipt});
}

// Both read the answer the driver holds, without an exchange: after a
// payment, and not at all once the driver was disconnected.
TEST_F(MethodLayout, CardExtrasAndTheInterbankKeyReadTheHeldAnswer) {
  Values Payment(9, Text(u""));
  Payment[0] = 12.5;
  Approved(u"PayByPaymentCardEx", Payment);
  const int32_t Exchanges = Simulator.Count(u"ExchangeCount");
  const Values Sentinels = {Text(u"x"), Text(u"x"), Text(u"x"), Text(u"x")};
  Check(u"GetCardExtParams", Sentinels, std::nullopt, {kAnyText, kAnyText, kAnyText, kAnyText});
  Check(u"GetCompositeInterbankKey", {Text(u"x"), Text(u"x"), Text(u"x")}, std::nullopt,
        {kAnyText, kAnyText, kAnyDate});
  EXPECT_EQ(Simulator.Count(u"ExchangeCount"), Exchanges);

  ASSERT_EQ(Object->Call(u"Close", {Text(u"dev")}).Return, HostValue(true));
  Check(u"GetCardExtParams", Sentinels, int32_t{1001}, {Text(u""), Text(u""), Text(u""), Text(u"")});
  Check(u"GetCompositeInterbankKey", {Text(u"x"), Text(u"x"), Text(u"x")}, int32_t{1001},
        {Text(u""), Text(u""), HostDate{0}});
}

}  // namespace
}  // namespace hosttest
