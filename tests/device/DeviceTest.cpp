#include <gtest/gtest.h>

#include <functional>

#include "device/uDevice.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/support/FakeClock.h"
#include "tests/support/SimulatorSupport.h"

using device_test::TSimulator;
using testsupport::TFakeClock;

namespace {

constexpr Currency kAmount = 12345000;  // 1234.50
constexpr Currency kOrigin = 20000000;  // 2000.00
const std::u16string kCommon = u"CardEntryMode=3;CurrencyCode=643;TerminalId=00000001;TerminalDateTime=*";

std::vector<std::u16string_view> SplitFields(std::u16string_view Text) {
  std::vector<std::u16string_view> Fields;
  while (!Text.empty()) {
    const auto At = Text.find(u';');
    Fields.push_back(Text.substr(0, At));
    if (At == std::u16string_view::npos) break;
    Text.remove_prefix(At + 1);
  }
  return Fields;
}

bool IsDigits(std::u16string_view Text) {
  if (Text.empty()) return false;
  for (const char16_t C : Text) {
    if (C < u'0' || C > u'9') return false;
  }
  return true;
}

// Compares field by field; "Name=*" stands for a value drawn or taken from the
// clock, which must still be a number (a date of 14 digits, a transaction
// number from 1 to 65534).
::testing::AssertionResult RequestMatches(const std::u16string& Actual, const std::u16string& Expected) {
  const auto A = SplitFields(Actual);
  const auto E = SplitFields(Expected);
  auto Failure = [&] {
    return ::testing::AssertionFailure() << "\n  sent:     " << ToUtf8(Actual) << "\n  expected: " << ToUtf8(Expected);
  };
  if (A.size() != E.size()) return Failure();
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (!E[I].ends_with(u"=*")) {
      if (A[I] != E[I]) return Failure();
      continue;
    }
    const auto Name = E[I].substr(0, E[I].size() - 1);
    if (!A[I].starts_with(Name)) return Failure();
    const auto Value = A[I].substr(Name.size());
    int32_t Number = 0;
    const bool Good = Name == u"TerminalDateTime=" ? Value.size() == 14 && IsDigits(Value)
                                                   : TryParseInt32(Value, Number) && Number >= 1 && Number <= 65534;
    if (!Good) return Failure() << "\n  bad value of " << ToUtf8(Name);
  }
  return ::testing::AssertionSuccess();
}

class DeviceTest : public ::testing::Test {
protected:
  // The terminal approves whatever comes, so that only the request is looked at.
  void ApproveNext() {
    Sim.Set(u"NextStatus", u"1");
    Sim.Set(u"NextCommandResult", u"0");
  }

  TSimulator Sim;
  TFakeClock Clock;
  device_test::TSimulatorClock SimClock{Clock};  // the terminal reads it too
  TDevice Device;                                // reads Clock, which is in force from here on
  std::u16string CardNum, RecNum, Rrn, AuthCode;
};

struct TRequestCase {
  const char* Name;
  std::function<void(TDevice&)> Run;
  std::u16string Request;
  int32_t Timeout;
};

}  // namespace

TEST_F(DeviceTest, RequestsCarryTheirFieldsInOrder) {
  const int32_t Default = 180000;
  const int32_t Long = 1800000;
  std::u16string Card, Rec, Ref, Auth, Hash, Bin, Last4, Merchant, Response, OpId, QR;
  int32_t Number = 0;
  bool F[7] = {};
  const TRequestCase Cases[] = {
      {"TestConnection", [&](TDevice& D) { D.TestConnection(); }, u"OperationCode=26;" + kCommon, Default},
      {"ShortTest", [&](TDevice& D) { D.ShortTest(); }, u"OperationCode=26;ReceiptData=Test;" + kCommon, Default},
      {"GetTerminalParameters", [&](TDevice& D) { D.GetTerminalParameters(F[0], F[1], F[2], F[3], F[4], F[5], F[6]); },
       u"OperationCode=26;ProcessingFlag=2;" + kCommon, Default},
      {"Sale with QR", [&](TDevice& D) { D.Sale(kAmount, u"AB", Card, Rec, Ref, Auth); },
       u"OperationCode=1;Amount=123450;TerminalTrxID=*;AdditionalData=F604D1024142;" + kCommon, Default},
      {"Sale without QR", [&](TDevice& D) { D.Sale(-100000, u"", Card, Rec, Ref, Auth); },
       u"OperationCode=1;Amount=-1000;TerminalTrxID=*;" + kCommon, Default},
      {"Preauthorize", [&](TDevice& D) { D.Preauthorize(150, u"", Card, Rec, Ref, Auth); },
       u"OperationCode=15;Amount=2;TerminalTrxID=*;" + kCommon, Default},
      {"Refund with references",
       [&](TDevice& D) {
         Rec = u"123", Ref = u"RRN1", Auth = u"";
         D.Refund(kAmount, u"AB", Card, Rec, Ref, Auth);
       },
       u"OperationCode=29;Amount=123450;TerminalTrxID=123;ReferenceNumber=RRN1;AdditionalData=F604D1024142;" + kCommon,
       Default},
      {"Refund without references",
       [&](TDevice& D) {
         Rec = u"", Ref = u"", Auth = u"A1";
         D.Refund(0, u"", Card, Rec, Ref, Auth);
       },
       u"OperationCode=29;Amount=0;TerminalTrxID=*;AuthorizationCode=A1;" + kCommon, Default},
      {"VoidSale with an empty number", [&](TDevice& D) { D.VoidSale(kAmount, kOrigin, u"", u"", u"", u"A1", Card); },
       u"OperationCode=4;Amount=123450;AdditionalAmount=200000;TerminalTrxID=0;AuthorizationCode=A1;" + kCommon,
       Default},
      {"VoidSale with references", [&](TDevice& D) { D.VoidSale(kAmount, kOrigin, u"AB", u"42", u"RRN1", u"", Card); },
       u"OperationCode=4;Amount=123450;AdditionalAmount=200000;TerminalTrxID=42;ReferenceNumber=RRN1;"
       u"AdditionalData=F604D1024142;" +
           kCommon,
       Default},
      {"Confirm", [&](TDevice& D) { D.Confirm(kAmount, u"", u"x7", u"RRN1", u"A1", Card); },
       u"OperationCode=16;Amount=123450;TerminalTrxID=0;ReferenceNumber=RRN1;AuthorizationCode=A1;" + kCommon, Default},
      {"ReadCard from the last operation", [&](TDevice& D) { D.ReadCard(true, u"", Card, Hash, Bin, Last4); },
       u"OperationCode=57;" + kCommon, Default},
      {"ReadCard of a new card", [&](TDevice& D) { D.ReadCard(false, u"AB", Card, Hash, Bin, Last4); },
       u"OperationCode=57;ProcessingFlag=6;AdditionalData=F604D1024142;" + kCommon, Default},
      {"Settelment", [&](TDevice& D) { D.Settelment(); }, u"OperationCode=59;TerminalTrxID=*;" + kCommon, Long},
      {"SaleEc", [&](TDevice& D) { D.SaleEc(kAmount, kOrigin, u"", u"B-1", Card, Rec, Ref, Auth); },
       u"OperationCode=1;Amount=123450;AdditionalAmount=200000;TerminalTrxID=*;FileData=B-1;ProcessingFlag=104;" +
           kCommon,
       Default},
      {"RefundEc",
       [&](TDevice& D) {
         Rec = u"77", Ref = u"RRN1", Auth = u"A1";
         D.RefundEc(kAmount, kOrigin, u"AB", u"B-1", Card, Rec, Ref, Auth);
       },
       u"OperationCode=29;Amount=123450;AdditionalAmount=200000;FileData=B-1;ProcessingFlag=104;TerminalTrxID=77;"
       u"ReferenceNumber=RRN1;AuthorizationCode=A1;AdditionalData=F604D1024142;" +
           kCommon,
       Default},
      {"TransferToCard", [&](TDevice& D) { D.TransferToCard(kAmount, Card, Rec, Ref, Auth); },
       u"OperationCode=87;Amount=123450;TerminalTrxID=*;" + kCommon, Default},
      {"SaleFPS with a lifetime",
       [&](TDevice& D) {
         Ref = u"";
         D.SaleFPS(kAmount, Number, Ref, 15, Merchant, Response, OpId);
       },
       u"Amount=123450;ReferenceNumber=;OperationCode=1;ProcessingFlag=115;TerminalTrxID=*;"
       u"AdditionalData=F604D3023135;" +
           kCommon,
       Default},
      {"SaleFPS without a lifetime",
       [&](TDevice& D) {
         Ref = u"RRN1";
         D.SaleFPS(kAmount, Number, Ref, -5, Merchant, Response, OpId);
       },
       u"Amount=123450;ReferenceNumber=RRN1;OperationCode=1;ProcessingFlag=115;TerminalTrxID=*;AdditionalData=;" +
           kCommon,
       Default},
      {"GetQRCodeFPS",
       [&](TDevice& D) {
         Ref = u"";
         D.GetQRCodeFPS(kAmount, Number, Ref, 0, Merchant, Response, OpId, QR);
       },
       u"Amount=123450;ReferenceNumber=;OperationCode=1;ProcessingFlag=116;TerminalTrxID=*;AdditionalData=;" + kCommon,
       Default},
      {"GetSaleStatusFPS",
       [&](TDevice& D) {
         Auth = u"";
         D.GetSaleStatusFPS(kAmount, Number, Auth, Merchant, Response, OpId);
       },
       u"Amount=123450;AuthorizationCode=;OperationCode=1;ProcessingFlag=117;TerminalTrxID=*;" + kCommon, Default},
      {"RefundFPS with a password",
       [&](TDevice& D) {
         Ref = u"RRN1", Auth = u"A1";
         D.RefundFPS(kAmount, u"12", Number, Ref, Auth, Merchant, Response, OpId);
       },
       u"Amount=123450;AuthorizationCode=A1;ReferenceNumber=RRN1;OperationCode=29;ProcessingFlag=118;"
       u"TerminalTrxID=*;AdditionalData=F604D2023132;" +
           kCommon,
       Default},
      {"RefundFPS without a password",
       [&](TDevice& D) {
         Ref = u"", Auth = u"";
         D.RefundFPS(kAmount, u"", Number, Ref, Auth, Merchant, Response, OpId);
       },
       u"Amount=123450;AuthorizationCode=;ReferenceNumber=;OperationCode=29;ProcessingFlag=118;"
       u"TerminalTrxID=*;AdditionalData=;" +
           kCommon,
       Default},
      {"GetRefundStatusFPS",
       [&](TDevice& D) {
         Ref = u"RRN1", Auth = u"A1";
         D.GetRefundStatusFPS(kAmount, Number, Ref, Auth, Merchant, Response, OpId);
       },
       u"Amount=123450;ReferenceNumber=RRN1;AuthorizationCode=A1;OperationCode=29;ProcessingFlag=119;"
       u"TerminalTrxID=*;" +
           kCommon,
       Default},
      {"ShowQRCodeFPSOnTerminal without a timeout", [&](TDevice& D) { D.ShowQRCodeFPSOnTerminal(0, u""); },
       u"OperationCode=41;CommandMode=5;AdditionalData=F602D100;" + kCommon, Default},
      {"ShowQRCodeFPSOnTerminal with a timeout", [&](TDevice& D) { D.ShowQRCodeFPSOnTerminal(30, u"AB"); },
       u"OperationCode=41;CardWaitTimeout=30;CommandMode=5;AdditionalData=F604D1024142;" + kCommon, Default},
      {"full report", [&](TDevice& D) { D.GetReport(true); },
       u"OperationCode=63;CommandMode=0;CommandMode2=21;TerminalId=00000001", Long},
      {"short report", [&](TDevice& D) { D.GetReport(false); },
       u"OperationCode=63;CommandMode=0;CommandMode2=20;TerminalId=00000001", Default},
      {"last receipt copy", [&](TDevice& D) { D.GetReceiptCopy(u""); },
       u"OperationCode=63;CommandMode=1;CommandMode2=22;" + kCommon, Default},
      {"numbered receipt copy", [&](TDevice& D) { D.GetReceiptCopy(u"5"); },
       u"OperationCode=63;CommandMode=0;CommandMode2=22;" + kCommon, Default},
  };
  for (const auto& Case : Cases) {
    ApproveNext();
    try {
      Case.Run(Device);
    } catch (const EDevcieError&) {
      // The terminal's verdict on the operation is not what is checked here.
    }
    EXPECT_TRUE(RequestMatches(Sim.LastRequest(), Case.Request)) << Case.Name;
    EXPECT_EQ(Sim.LastTimeout(), Case.Timeout) << Case.Name;
    EXPECT_EQ(Sim.LastChannel(), u"0,115200,8,0,0,2") << Case.Name;
  }
}

TEST_F(DeviceTest, SettingsReachTheRequestAndTheChannel) {
  Device.SetPort(3);
  Device.SetBaud(9600);
  Device.SetCurrencyCode(u"398");
  Device.SetTerminalId(u"T-77");
  ApproveNext();
  Device.TestConnection();
  EXPECT_TRUE(RequestMatches(Sim.LastRequest(),
                             u"OperationCode=26;CardEntryMode=3;CurrencyCode=398;TerminalId=T-77;TerminalDateTime=*"));
  EXPECT_EQ(Sim.LastChannel(), u"3,9600,8,0,0,2");
}

namespace {

struct TPaymentCase {
  const char* Name;
  std::function<void(TDevice&, std::u16string&, std::u16string&, std::u16string&, std::u16string&)> Run;
};

const TPaymentCase kPayments[] = {
    {"Sale", [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.Sale(kAmount, u"", C, N, R, A); }},
    {"Preauthorize", [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.Preauthorize(kAmount, u"", C, N, R, A); }},
    {"Refund", [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.Refund(kAmount, u"", C, N, R, A); }},
    {"SaleEc",
     [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.SaleEc(kAmount, kOrigin, u"", u"B", C, N, R, A); }},
    {"RefundEc",
     [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.RefundEc(kAmount, kOrigin, u"", u"B", C, N, R, A); }},
    {"TransferToCard", [](TDevice& D, auto& C, auto& N, auto& R, auto& A) { D.TransferToCard(kAmount, C, N, R, A); }},
};

}  // namespace

// The outputs come from the packets also when the status check raised.
TEST_F(DeviceTest, PaymentOutputsAreReadAlsoAfterAFailedStatus) {
  for (const bool Declined : {false, true}) {
    for (const auto& Case : kPayments) {
      Sim.Set(u"NextStatus", Declined ? u"16" : u"1");
      Sim.Set(u"NextCommandResult", Declined ? u"5" : u"0");
      Sim.Set(u"Next.ReferenceNumber", u"RRN-9");
      Sim.Set(u"Next.AuthorizationCode", u"AUTH-9");
      Sim.Set(u"Next.PAN", u"220000******7890");
      CardNum = RecNum = Rrn = AuthCode = u"old";
      RecNum.clear();  // a new transaction number for Refund and RefundEc too
      if (Declined) {
        EXPECT_THROW(Case.Run(Device, CardNum, RecNum, Rrn, AuthCode), EDevcieError) << Case.Name;
      } else {
        Case.Run(Device, CardNum, RecNum, Rrn, AuthCode);
      }
      EXPECT_EQ(RecNum, Sim.RequestField(u"TerminalTrxID")) << Case.Name;
      EXPECT_FALSE(RecNum.empty()) << Case.Name;
      EXPECT_EQ(Rrn, u"RRN-9") << Case.Name;
      EXPECT_EQ(AuthCode, u"AUTH-9") << Case.Name;
      EXPECT_EQ(CardNum, u"220000******7890") << Case.Name;
    }
  }
}

TEST_F(DeviceTest, VoidAndConfirmGiveTheCardNumber) {
  Sim.Set(u"NextStatus", u"16");
  Sim.Set(u"NextCommandResult", u"5");
  Sim.Set(u"Next.PAN", u"220000******1111");
  EXPECT_THROW(Device.VoidSale(kAmount, kOrigin, u"", u"1", u"", u"", CardNum), EDevcieError);
  EXPECT_EQ(CardNum, u"220000******1111");
  ApproveNext();
  Sim.Set(u"Next.PAN", u"220000******2222");
  Device.Confirm(kAmount, u"", u"1", u"", u"", CardNum);
  EXPECT_EQ(CardNum, u"220000******2222");
}

TEST_F(DeviceTest, StatusCheck) {
  const struct {
    const char16_t* Status;
    const char16_t* CommandResult;
    const char16_t* TextResponse;
    bool Raises;
    std::u16string Message;
    int32_t Code;
  } Cases[] = {
      {u"1", u"0", u"", false, u"", 0},
      {u"2", u"7", u"", false, u"", 0},
      {u"1", u"7", u"", false, u"", 0},
      {u"16", u"0", u"", false, u"", 0},
      {u"0", u"0", u"", false, u"", 0},
      {u"16", u"5", u"", true, u"Статус=16 (Отклонено)", 1001},
      {u"16", u"5", u"Отказ эмитента", true, u"Отказ эмитента. Статус=16 (Отклонено)", 1001},
      {u"0", u"3", u"", true, u"Статус=0 (Неопределённый статус или транзакция в обработке)", 4501},
      {u"34", u"1", u"", true, u"Статус=34 (Нет соединения)", 1001},
      {u"99", u"1", u"", true, u"Статус=99 (Неизвестный статус транзакции)", 1001},
      {u"-1", u"1", u"", true, u"Статус=-1 (Неизвестный статус транзакции)", 1001},
  };
  for (const auto& Case : Cases) {
    const std::string Name = ToUtf8(std::u16string(Case.Status) + u"/" + Case.CommandResult);
    Sim.Set(u"Next.Status", Case.Status);
    Sim.Set(u"Next.CommandResult", Case.CommandResult);
    Sim.Set(u"Next.TextResponse", Case.TextResponse);
    Sim.Set(u"Next.ResponseCodeHost", u"05");
    try {
      Device.TestConnection();
      EXPECT_FALSE(Case.Raises) << Name;
    } catch (const EDevcieError& E) {
      EXPECT_TRUE(Case.Raises) << Name;
      EXPECT_EQ(E.Message(), Case.Message) << Name;
      EXPECT_EQ(E.Code(), Case.Code) << Name;
    }
    // The properties describe the response, failed or not.
    int32_t Status = 0, CommandResult = 0;
    ASSERT_TRUE(TryParseInt32(Case.Status, Status) && TryParseInt32(Case.CommandResult, CommandResult));
    EXPECT_EQ(Device.Status(), Status) << Name;
    EXPECT_EQ(Device.CommandResult(), CommandResult) << Name;
    EXPECT_EQ(Device.TextResponse(), Case.TextResponse) << Name;
    EXPECT_EQ(Device.ResponseCodeHost(), u"05") << Name;
  }
}

TEST_F(DeviceTest, ReceiptIsAssembledAndClearedPerExchange) {
  ApproveNext();
  Sim.Set(u"Next.ReceiptData", u"0xDF^1^A~0xda^2^B~0xDE^3^C~");
  Device.TestConnection();
  EXPECT_EQ(Device.Receipt(), u"A\r\n[cut]\r\nB");
  EXPECT_EQ(Device.CardType(), u"C");

  Device.SetCutTag(u"----");
  ApproveNext();
  Sim.Set(u"Next.ReceiptData", u"0xDF^1^A~0xDA^2^B~");
  Device.TestConnection();
  EXPECT_EQ(Device.Receipt(), u"A\r\n----\r\nB");

  Sim.Set(u"NextFault", u"ExchangeFails");
  EXPECT_THROW(Device.TestConnection(), Exception);
  EXPECT_EQ(Device.Receipt(), u"") << "cleared when the exchange starts";
}

TEST_F(DeviceTest, PacingBetweenExchanges) {
  ApproveNext();
  Device.TestConnection();
  EXPECT_TRUE(Clock.Sleeps.empty()) << "the first exchange does not wait";

  const struct {
    const char* Name;
    uint32_t Elapsed;
    uint32_t Waited;
  } Cases[] = {
      {"at once", 0, 250},      {"after 100 ms", 100, 150}, {"after 248 ms", 248, 5},
      {"after 250 ms", 250, 0}, {"long after", 100000, 0},
  };
  for (const auto& Case : Cases) {
    Clock.Sleeps.clear();
    Clock.Ticks += Case.Elapsed;
    ApproveNext();
    Device.TestConnection();
    EXPECT_EQ(Clock.SleptMs(), Case.Waited) << Case.Name;
    for (const uint32_t Ms : Clock.Sleeps) EXPECT_EQ(Ms, 5u) << Case.Name;
  }
}

TEST_F(DeviceTest, PacingAcrossTheCounterWrapAround) {
  Clock.Ticks = 0xFFFFFFA0u;  // 96 ms before the wrap
  ApproveNext();
  Device.TestConnection();
  Clock.Ticks += 100;  // now 4 after the wrap: 100 ms passed
  Clock.Sleeps.clear();
  ApproveNext();
  Device.TestConnection();
  EXPECT_EQ(Clock.SleptMs(), 150u);
}

// A failed exchange reads no response: the last finished one still paces.
TEST_F(DeviceTest, FailedExchangeKeepsThePreviousResults) {
  Sim.Set(u"NextStatus", u"16");
  Sim.Set(u"NextCommandResult", u"0");
  Sim.Set(u"Next.TextResponse", u"first");
  Device.TestConnection();
  Clock.Ticks += 300;
  for (const char16_t* Fault : {u"ExchangeFails", u"Timeout"}) {
    Sim.Set(u"NextFault", Fault);
    EXPECT_THROW(Device.TestConnection(), Exception) << ToUtf8(Fault);
    EXPECT_EQ(Device.Status(), 16);
    EXPECT_EQ(Device.TextResponse(), u"first");
  }
  Clock.Sleeps.clear();
  ApproveNext();
  Device.TestConnection();
  EXPECT_TRUE(Clock.Sleeps.empty());
}

TEST_F(DeviceTest, TerminalParameters) {
  const struct {
    const char* Name;
    std::u16string ModelNo;
    bool Found;
    bool Flags[7];
  } Cases[] = {
      {"mixed", u"X^FAN:PST;cwd;LCT;", true, {true, false, true, false, false, false, true}},
      {"prefix in lower case", u"fan:PST", false, {true, true, true, true, true, true, true}},
      {"empty", u"", false, {true, true, true, true, true, true, true}},
  };
  for (const auto& Case : Cases) {
    bool F[7] = {true, true, true, true, true, true, true};
    ApproveNext();
    Sim.Set(u"Next.ModelNo", Case.ModelNo);
    Clock.Ticks += 1000;
    Clock.Sleeps.clear();
    EXPECT_EQ(Device.GetTerminalParameters(F[0], F[1], F[2], F[3], F[4], F[5], F[6]), Case.Found) << Case.Name;
    for (int I = 0; I < 7; ++I) EXPECT_EQ(F[I], Case.Flags[I]) << Case.Name << " flag " << I;
    EXPECT_EQ(Clock.Sleeps, std::vector<uint32_t>{2000}) << Case.Name;
  }

  bool F[7] = {};
  Device.SetTimeoutAfterGetParams(0);
  Clock.Ticks += 1000;
  Clock.Sleeps.clear();
  ApproveNext();
  Device.GetTerminalParameters(F[0], F[1], F[2], F[3], F[4], F[5], F[6]);
  EXPECT_TRUE(Clock.Sleeps.empty()) << "no pause when switched off";

  Device.SetTimeoutAfterGetParams(2000);
  Clock.Ticks += 1000;
  Sim.Set(u"NextStatus", u"34");
  Sim.Set(u"NextCommandResult", u"1");
  EXPECT_THROW(Device.GetTerminalParameters(F[0], F[1], F[2], F[3], F[4], F[5], F[6]), EDevcieError);
  EXPECT_TRUE(Clock.Sleeps.empty()) << "no pause after a failed exchange";
}

TEST_F(DeviceTest, EmergencyVoidResendsTheLastRequest) {
  ApproveNext();
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  ApproveNext();
  Device.EmergencyVoid();
  EXPECT_TRUE(
      RequestMatches(Sim.LastRequest(), u"OperationCode=53;Amount=123450;TerminalTrxID=" + RecNum + u";" + kCommon));
  EXPECT_EQ(Sim.LastTimeout(), 180000);

  Device.Disable();
  try {
    Device.EmergencyVoid();
    ADD_FAILURE() << "no request held";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"Операця для отмены не найдена");
  }
}

// The connector fills the response packet it is given (the strict
// simulator as a real one): the reversal gets a packet of its own, so that
// what its answer leaves out is not taken from the reversed operation.
TEST_F(DeviceTest, EmergencyVoidReadsAnAnswerOfItsOwn) {
  ApproveNext();
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  ASSERT_NE(Device.Receipt(), u"");
  ASSERT_NE(CardNum, u"");
  Sim.Set(u"NextFault", u"MissingFields");  // only Status and CommandResult come back
  Device.EmergencyVoid();
  EXPECT_EQ(Sim.RequestField(u"OperationCode"), u"53");
  EXPECT_EQ(Device.Receipt(), u"") << "not the sale's receipt";
  EXPECT_EQ(Device.TextResponse(), u"");
  EXPECT_EQ(Device.ResponseCodeHost(), u"");
  std::u16string Card = u"x", Hash, Bin, Last4;
  Device.GetCardParams(Card, Hash, Bin, Last4);
  EXPECT_EQ(Card, u"") << "not the sale's card";
  EXPECT_EQ(Sim.Count(u"PacketsCreated"), 3) << "the sale's two and the reversal's answer";
}

// The terminal answered: the next exchange keeps its distance from it also
// when the answer could not be read.
TEST_F(DeviceTest, PacingAfterAnAnswerThatCannotBeRead) {
  Sim.Set(u"NextFault", u"StatusText");
  EXPECT_THROW(Device.TestConnection(), Exception);
  Clock.Sleeps.clear();
  ApproveNext();
  EXPECT_NO_THROW(Device.TestConnection()) << "not refused as busy";
  EXPECT_EQ(Clock.SleptMs(), 250u);
}

// A tick count of 0 is a time like any other, not "no exchange yet".
TEST_F(DeviceTest, PacingAfterAnExchangeThatEndedAtTickZero) {
  Clock.Ticks = 0;
  ApproveNext();
  Device.TestConnection();
  Clock.Sleeps.clear();
  ApproveNext();
  EXPECT_NO_THROW(Device.TestConnection()) << "not refused as busy";
  EXPECT_EQ(Clock.SleptMs(), 250u);
}

// A terminal still busy with another client's operation answers "busy", a
// status the status table does not know: a failure with code 1001 and the
// terminal's text; nothing is retried, and the next exchange keeps its
// distance from the busy answer.
TEST_F(DeviceTest, BusyTerminal) {
  TDevice Other;
  ApproveNext();
  Other.TestConnection();
  try {
    Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
    ADD_FAILURE() << "the busy answer passed";
  } catch (const EDevcieError& E) {
    EXPECT_EQ(E.Code(), 1001);
    EXPECT_EQ(E.Message(),
              u"Терминал занят: идёт печать чека, повторите операцию. Статус=20 (Неизвестный статус транзакции)");
  }
  EXPECT_EQ(Device.Status(), 20);
  EXPECT_EQ(Device.Receipt(), u"");
  EXPECT_EQ(Rrn, u"");
  EXPECT_EQ(Sim.Count(u"JournalCount"), 0);
  Clock.Sleeps.clear();
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  EXPECT_EQ(Clock.SleptMs(), 250u);
  EXPECT_EQ(Device.Status(), 1);
}

// FreeResources comes when the next operation (or Disable) lets the link go:
// its failure is that call's failure, and the objects are let go anyway.
TEST_F(DeviceTest, FreeResourcesFailure) {
  ApproveNext();
  Device.TestConnection();
  Sim.Set(u"NextFault", u"FreeResourcesFails");
  EXPECT_THROW(Device.TestConnection(), Exception);
  EXPECT_EQ(Sim.Count(u"LiveLinks"), 0);
  ApproveNext();
  EXPECT_NO_THROW(Device.TestConnection());
  Sim.Set(u"NextFault", u"FreeResourcesFails");
  EXPECT_THROW(Device.Disable(), Exception);
  EXPECT_EQ(Sim.Count(u"LiveLinks"), 0);
  EXPECT_NO_THROW(Device.Disable());
}

// The port and speed settings as the connector checks them.
TEST_F(DeviceTest, ChannelTheConnectorRefuses) {
  Device.SetPort(-3);
  try {
    Device.TestConnection();
    ADD_FAILURE() << "port -3 accepted";
  } catch (const Exception& E) {
    EXPECT_NE(ToUtf8(E.Message()).find("SetChannelTerminalParam: неверный номер порта -3"), std::string::npos)
        << E.what();
  }
  // The link of the refused channel cannot open its port again.
  EXPECT_THROW(Device.EmergencyVoid(), Exception);
  EXPECT_EQ(Sim.Count(u"ExchangeCount"), 0);
  Device.SetPort(1);
  Device.SetBaud(12345);
  EXPECT_THROW(Device.TestConnection(), Exception);
  Device.SetBaud(9600);
  ApproveNext();
  EXPECT_NO_THROW(Device.TestConnection());
  EXPECT_EQ(Sim.LastChannel(), u"1,9600,8,0,0,2");
}

// What the connector may answer and the status check must take: Status as
// numeric text or a 64-bit integer, or none (read as 0); statuses 2 and 17
// for every operation.
TEST_F(DeviceTest, StatusOfOtherKindsAndApprovalsPartlyOrOffline) {
  for (const char16_t* Fault : {u"StatusNumericText", u"Status64"}) {
    Sim.Set(u"Fault", Fault);
    Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
    EXPECT_EQ(Device.Status(), 1) << ToUtf8(Fault);
    Sim.Set(u"NextStatus", u"16");
    EXPECT_THROW(Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode), EDevcieError) << ToUtf8(Fault);
    EXPECT_EQ(Device.Status(), 16);
  }
  // No status with command result 0: status 0, which the check lets pass.
  Sim.Set(u"Fault", u"StatusMissing");
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  EXPECT_EQ(Device.Status(), 0);
  EXPECT_EQ(Device.CommandResult(), 0);

  bool F[7] = {};
  std::u16string Hash, Bin, Last4;
  for (const auto& [Fault, Status] : {std::pair{u"PartialApproval", 2}, std::pair{u"OfflineApproval", 17}}) {
    Sim.Set(u"Fault", Fault);
    const std::function<void()> Operations[] = {
        [&] { Device.TestConnection(); },
        [&] { EXPECT_TRUE(Device.GetTerminalParameters(F[0], F[1], F[2], F[3], F[4], F[5], F[6])); },
        [&] { Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode); },
        [&] { Device.EmergencyVoid(); },
        [&] { Device.ReadCard(false, u"", CardNum, Hash, Bin, Last4); },
        [&] { Device.GetReport(false); },
        [&] { Device.GetReport(true); },
        [&] { Device.GetReceiptCopy(u""); },
        [&] { Device.ShowQRCodeFPSOnTerminal(0, u"https://qr.nspk.ru/AS1"); },
        [&] { Device.Settelment(); },
    };
    for (const auto& Operation : Operations) {
      EXPECT_NO_THROW(Operation()) << ToUtf8(Fault) << ": " << ToUtf8(Sim.LastRequest());
      EXPECT_EQ(Device.Status(), Status) << ToUtf8(Sim.LastRequest());
    }
  }
}

// AdditionalData with long-form lengths: the interbank key is read by the
// BER-TLV codec; the card data's own walk reads one-byte lengths only and
// falls back on the masked card number.
TEST_F(DeviceTest, AdditionalDataWithLongLengthsAndCodePage1251) {
  Device.SetTimeoutAfterGetParams(0);
  Sim.Set(u"Fault", u"LongTlvLengths");
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  std::u16string Uuid, System, Hash, Bin, Last4;
  int64_t Stamp = 0;
  Device.GetCompositeInterbankKey(Uuid, System, Stamp);
  EXPECT_EQ(Uuid.size(), 36u) << ToUtf8(Uuid);
  EXPECT_EQ(System, u"MIR");
  EXPECT_GT(Stamp, 1600000000);
  Device.GetCardParams(CardNum, Hash, Bin, Last4);
  EXPECT_EQ(CardNum, u"220000******7890");
  EXPECT_EQ(Bin, u"220000");
  EXPECT_EQ(Last4, u"7890");
  EXPECT_EQ(Hash, u"") << "behind a long-form length";

  // Cyrillic in code page 1251 comes out as the system's ANSI code page reads it.
  Sim.Set(u"Fault", u"Cp1251AdditionalData");
  Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
  Device.GetCompositeInterbankKey(Uuid, System, Stamp);
  EXPECT_EQ(System, FromAnsi("\xCC\xC8\xD0"));
#ifndef _WIN32
  EXPECT_EQ(System, u"МИР") << "code page 1251 where there is no system one";
#endif
  Device.GetCardParams(CardNum, Hash, Bin, Last4);
  EXPECT_EQ(Hash.size(), 16u) << "the card data keeps its short lengths";
}

TEST_F(DeviceTest, CardDataOfTheLastResponse) {
  std::u16string Hash = u"x", Bin = u"x", Last4 = u"x";
  try {
    Device.GetCardParams(CardNum, Hash, Bin, Last4);
    ADD_FAILURE() << "disabled device";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), u"Операции с картой не найдены");
  }

  ApproveNext();
  Sim.Set(u"Next.AdditionalData", u"EE12D10431323334D306323230303030D2024142");
  Sim.Set(u"Next.PAN", u"220000******7890");
  Device.ReadCard(false, u"", CardNum, Hash, Bin, Last4);
  EXPECT_EQ(CardNum, u"220000******7890");
  EXPECT_EQ(Hash, u"AB");
  EXPECT_EQ(Bin, u"220000");
  EXPECT_EQ(Last4, u"1234");

  const int32_t Exchanges = Sim.Count(u"ExchangeCount");
  CardNum = Hash = Bin = Last4 = u"x";
  Device.GetCardParams(CardNum, Hash, Bin, Last4);
  EXPECT_EQ(Sim.Count(u"ExchangeCount"), Exchanges) << "no exchange";
  EXPECT_EQ(CardNum, u"220000******7890");
  EXPECT_EQ(Hash, u"AB");
  EXPECT_EQ(Bin, u"220000");
  EXPECT_EQ(Last4, u"1234");

  ApproveNext();
  Sim.Set(u"Next.AdditionalData", u"");
  Sim.Set(u"Next.PAN", u"220000******7890");
  Device.ReadCard(true, u"", CardNum, Hash, Bin, Last4);
  EXPECT_EQ(Hash, u"");
  EXPECT_EQ(Bin, u"220000");
  EXPECT_EQ(Last4, u"7890");
}

TEST_F(DeviceTest, FastPaymentOutputs) {
  std::u16string Merchant = u"old", Response = u"old", OpId = u"old", QR = u"old";
  int32_t Number = 5;
  auto AnswerWith = [&](const char16_t* Status, const char16_t* CommandResult) {
    Sim.Set(u"NextStatus", Status);
    Sim.Set(u"NextCommandResult", CommandResult);
    Sim.Set(u"Next.MerchantID", u"M-1");
    Sim.Set(u"Next.FileData", u"OP-1");
    Sim.Set(u"Next.ResponseCodeHost", u"00");
    Sim.Set(u"Next.ReferenceNumber", u"RRN-2");
    Sim.Set(u"Next.AuthorizationCode", u"AUTH-2");
    Sim.Set(u"Next.AdditionalData", u"F604D1024142");
  };
  auto ExpectFpsOutputs = [&](const char* Name) {
    EXPECT_EQ(Merchant, u"M-1") << Name;
    EXPECT_EQ(OpId, u"OP-1") << Name;
    EXPECT_EQ(Response, u"00") << Name;
    EXPECT_EQ(Number, 5) << Name << ": the receipt number is not touched";
  };

  AnswerWith(u"0", u"3");
  Rrn = u"mine";
  EXPECT_THROW(Device.GetQRCodeFPS(kAmount, Number, Rrn, 0, Merchant, Response, OpId, QR), EDevcieError);
  ExpectFpsOutputs("GetQRCodeFPS");
  EXPECT_EQ(Rrn, u"RRN-2");
  EXPECT_EQ(QR, u"AB");

  AnswerWith(u"1", u"0");
  Rrn = u"mine";
  Device.SaleFPS(kAmount, Number, Rrn, 0, Merchant, Response, OpId);
  ExpectFpsOutputs("SaleFPS");
  EXPECT_EQ(Rrn, u"mine");

  AnswerWith(u"1", u"0");
  AuthCode = u"mine";
  Device.GetSaleStatusFPS(kAmount, Number, AuthCode, Merchant, Response, OpId);
  ExpectFpsOutputs("GetSaleStatusFPS");
  EXPECT_EQ(AuthCode, u"AUTH-2");

  AnswerWith(u"1", u"0");
  Rrn = u"mine", AuthCode = u"mine";
  Device.RefundFPS(kAmount, u"", Number, Rrn, AuthCode, Merchant, Response, OpId);
  ExpectFpsOutputs("RefundFPS");
  EXPECT_EQ(Rrn, u"mine");
  EXPECT_EQ(AuthCode, u"mine");

  AnswerWith(u"1", u"0");
  Rrn = u"sent", AuthCode = u"mine";
  Device.GetRefundStatusFPS(kAmount, Number, Rrn, AuthCode, Merchant, Response, OpId);
  ExpectFpsOutputs("GetRefundStatusFPS");
  EXPECT_EQ(Rrn, u"sent") << "the reference sent";
  EXPECT_EQ(AuthCode, u"AUTH-2");

  Sim.Set(u"NextFault", u"CreatePacket");
  EXPECT_THROW(Device.SaleFPS(kAmount, Number, Rrn, 0, Merchant, Response, OpId), Exception);
  EXPECT_EQ(Merchant, u"") << "out parameters start empty";
  EXPECT_EQ(Response, u"");
  EXPECT_EQ(OpId, u"");
}

TEST_F(DeviceTest, CompositeInterbankKey) {
  std::u16string Uuid, System;
  int64_t Stamp = 0;
  auto ExpectFailure = [&](const std::u16string& Message) {
    try {
      Device.GetCompositeInterbankKey(Uuid, System, Stamp);
      ADD_FAILURE() << ToUtf8(Message);
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), Message);
    }
  };
  ExpectFailure(u"Операции с картой не найдены");

  const struct {
    const char* Name;
    std::u16string AdditionalData;
    std::u16string Uuid, System;
    int64_t Stamp;
    std::u16string Failure;
  } Cases[] = {
      {"one second", u"DE0FD1024142D2034D4952D30400000001", u"AB", u"MIR", 1, u""},
      {"2020", u"DE0FD1024142D2034D4952D3045F000000", u"AB", u"MIR", 1593835520, u""},
      {"top bit set", u"DE09D10141D304FFFFFFFF", u"A", u"", 4294967295, u""},
      {"last four of five", u"DE0AD10141D30501000000FF", u"A", u"", 255, u""},
      {"no D1", u"DE0BD2034D4952D30400000001", u"", u"MIR", 1, u""},
      {"three bytes", u"DE0ED1024142D2034D4952D303000001", u"AB", u"MIR", -7, u"Неверный формат даты транзакции"},
      {"empty", u"", u"-", u"-", -7, u"Отсутствуют дополнительные данные транзакции в поле 86"},
      {"not hex", u"ZZZZ", u"", u"", -7, u"Неверный формат даты транзакции"},
  };
  for (const auto& Case : Cases) {
    ApproveNext();
    Sim.Set(u"Next.AdditionalData", Case.AdditionalData);
    Device.TestConnection();
    const int32_t Exchanges = Sim.Count(u"ExchangeCount");
    Uuid = System = u"-";
    Stamp = -7;
    if (Case.Failure.empty()) {
      Device.GetCompositeInterbankKey(Uuid, System, Stamp);
    } else {
      ExpectFailure(Case.Failure);
    }
    EXPECT_EQ(Uuid, Case.Uuid) << Case.Name;
    EXPECT_EQ(System, Case.System) << Case.Name;
    EXPECT_EQ(Stamp, Case.Stamp) << Case.Name;
    EXPECT_EQ(Sim.Count(u"ExchangeCount"), Exchanges) << Case.Name;
  }
}

TEST_F(DeviceTest, ConnectorObjectsPerOperation) {
  ApproveNext();
  Device.TestConnection();
  EXPECT_EQ(Sim.Count(u"PacketsCreated"), 2);
  EXPECT_EQ(Sim.Count(u"LinksCreated"), 1);
  EXPECT_EQ(Sim.Count(u"InitResourcesCount"), 2) << "after creation and before the exchange";
  ApproveNext();
  Device.TestConnection();
  EXPECT_EQ(Sim.Count(u"PacketsCreated"), 4) << "fresh objects for every operation";
  EXPECT_EQ(Sim.Count(u"FreeResourcesCount"), 1);
  EXPECT_EQ(Sim.Count(u"LivePackets"), 2);
  Device.Disable();
  Device.Disable();
  EXPECT_EQ(Sim.Count(u"FreeResourcesCount"), 2);
  EXPECT_EQ(Sim.Count(u"LivePackets"), 0);
  EXPECT_EQ(Sim.Count(u"LiveLinks"), 0);
}

TEST_F(DeviceTest, ConnectorFaults) {
  const struct {
    const char16_t* Fault;
    const char* Expected;  // a part of the message
  } Cases[] = {
      {u"CreatePacket", ""},
      {u"CreateLink", ""},
      {u"ExchangeFails", ""},
      {u"Timeout", ""},
      {u"StatusText", "Status"},
      {u"CommandResultText", "CommandResult"},
      {u"InitResourcesFails", "Ошибка инициализации ресурсов связи с терминалом"},
      {u"PortBusy", "Не удалось открыть порт: порт занят другим приложением"},
      {u"ChannelFails", "Ошибка установки параметров канала связи с терминалом"},
  };
  for (const auto& Case : Cases) {
    Sim.Set(u"NextFault", Case.Fault);
    try {
      Device.Sale(kAmount, u"", CardNum, RecNum, Rrn, AuthCode);
      ADD_FAILURE() << ToUtf8(Case.Fault);
    } catch (const EDevcieError& E) {
      ADD_FAILURE() << ToUtf8(Case.Fault) << ": " << E.what();
    } catch (const Exception& E) {
      EXPECT_FALSE(E.Message().empty());
      EXPECT_NE(std::string(E.what()).find(Case.Expected), std::string::npos) << E.what();
    }
  }
  // Whatever stayed held from a half-made Enable goes with the next one.
  Sim.Set(u"NextFault", u"CreateLink");
  EXPECT_THROW(Device.TestConnection(), Exception);
  EXPECT_THROW(Device.EmergencyVoid(), Exception) << "a request but no link";
  ApproveNext();
  Device.TestConnection();
  Device.Disable();
  EXPECT_EQ(Sim.Count(u"LivePackets"), 0);
  EXPECT_EQ(Sim.Count(u"LiveLinks"), 0);
}

TEST_F(DeviceTest, MalformedResponsesDoNotBreakTheOperations) {
  std::u16string Hash, Bin, Last4, Uuid, System;
  int64_t Stamp = 0;
  for (const char16_t* Fault : {u"MissingFields", u"BadAdditionalData", u"BadReceiptData"}) {
    Sim.Set(u"Fault", Fault);
    ApproveNext();
    try {
      Device.ReadCard(false, u"", CardNum, Hash, Bin, Last4);
      Device.GetCardParams(CardNum, Hash, Bin, Last4);
      Device.GetCompositeInterbankKey(Uuid, System, Stamp);
    } catch (const Exception& E) {
      // Only the device's own refusals may come out of such a response.
      const std::u16string Message = E.Message();
      EXPECT_TRUE(Message == u"Отсутствуют дополнительные данные транзакции в поле 86" ||
                  Message == u"Неверный формат даты транзакции")
          << ToUtf8(Fault) << ": " << E.what();
    }
  }
  Sim.Set(u"Fault", u"None");
}
