// The driver library as the host runs it, through the emulator, against the
// simulated terminal registered for this process: payments, a decline and its
// last error, the terminal-parameters document, settings, properties and a
// malformed call.
#include <pugixml.hpp>

#include <limits>

#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

class AcquiringHost : public HostSession {
protected:
  AcquiringHost() {
    Object = &Open(u"a_orvextx1c83n");
    // The terminal-parameters pause would only slow the tests down.
    Set(u"TimeoutAfterGetParams", int32_t{0});
  }

  void Set(std::u16string_view Name, const HostValue& Value) {
    ASSERT_EQ(Object->Call(u"SetParameter", {Text(Name), Value}).Return, HostValue(true)) << ToUtf8(Name);
  }
  HostValue Get(std::u16string_view Name) { return Object->GetProperty(Prop(Name)).Return.value_or(HostValue{}); }
  // The refusal's message; empty when the value is taken.
  std::u16string WriteTimeoutAfterGetParams(bool ByProperty, const HostValue& Value) {
    if (ByProperty) {
      const CallOutcome Written = Object->SetProperty(Prop(u"TimeoutAfterGetParams"), Value);
      return Written.Ok ? u"" : OnlyError(Written).Description;
    }
    const CallOutcome Set = Object->Call(u"SetParameter", {Text(u"TimeoutAfterGetParams"), Value});
    return Set.Return == HostValue(true) ? u"" : LastError().second;
  }
  // A card payment of 12.50 with the host's usual empty in-out texts.
  CallOutcome Pay(std::u16string_view Method = u"PayByPaymentCard") {
    return Object->Call(
        Method, {Text(u"dev"), int32_t{1}, Text(u""), 12.5, Text(u""), Text(u""), Text(u""), Text(u""), Text(u"")});
  }

  device_test::TSimulator Simulator;
  Component* Object = nullptr;
};

TEST_F(AcquiringHost, PaymentRefundAndCancelReachTheTerminalAndReturnItsAnswer) {
  const CallOutcome Paid = Pay();
  ASSERT_EQ(Paid.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_EQ(Simulator.RequestField(u"Amount"), u"1250");
  for (std::size_t Index = 4; Index <= 8; ++Index) EXPECT_NE(TextOf(Paid.Params[Index]), u"") << Index;
  EXPECT_EQ(Paid.Params[8], Get(u"ReceiptText"));
  EXPECT_EQ(Get(u"Status"), HostValue(int32_t{1}));

  const HostValue Rrn = Paid.Params[6];
  const CallOutcome Refunded = Object->Call(
      u"ReturnPaymantByPaymantCard",
      {Text(u"dev"), int32_t{1}, Text(u""), 12.5, Text(u""), Text(u""), Rrn, Text(u"host-auth"), Text(u"")});
  ASSERT_EQ(Refunded.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_EQ(Refunded.Params[7], Text(u"host-auth"));
  EXPECT_EQ(Simulator.RequestField(u"ReferenceNumber"), TextOf(Rrn));

  const CallOutcome Second = Pay();
  ASSERT_EQ(Second.Return, HostValue(true));
  const CallOutcome Cancelled =
      Object->Call(u"CancelPaymentByPaymentCard", {Text(u"dev"), int32_t{1}, Text(u""), 12.5, 12.5, Text(u""),
                                                   Second.Params[5], Second.Params[6], Second.Params[7], Text(u"")});
  ASSERT_EQ(Cancelled.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_NE(TextOf(Cancelled.Params[9]), u"");
}

TEST_F(AcquiringHost, ADeclineIsReadThroughGetLastErrorWithItsOutputs) {
  Simulator.Set(u"NextStatus", u"16");
  const CallOutcome Declined = Pay();
  EXPECT_TRUE(Declined.Ok);
  EXPECT_EQ(Declined.Return, HostValue(false));
  const auto [Code, Message] = LastError();
  EXPECT_EQ(Code, HostValue(int32_t{1001}));
  EXPECT_NE(Message, u"");
  EXPECT_EQ(Declined.Params[8], Get(u"ReceiptText"));
  EXPECT_EQ(Get(u"ResponseCodeHost"), Text(u"05"));
  EXPECT_EQ(Get(u"Status"), HostValue(int32_t{16}));
}

TEST_F(AcquiringHost, CashWithdrawalAndTheOperationListAreRefused) {
  const struct {
    const char16_t* Method;
    Values Args;
    const char16_t* Message;
    Values After;
  } Cases[] = {
      {u"PayByPaymentCardWithCashWithdrawal",
       {Text(u"dev"), int32_t{1}, Text(u""), 12.5, 1.0, Text(u"x"), Text(u"x"), Text(u"x"), Text(u"x"), Text(u"x")},
       u"Метод \"PayByPaymentCardWithCashWithdrawal\" не поддерживается",
       {Text(u"dev"), int32_t{1}, Text(u""), 12.5, 1.0, Text(u""), Text(u""), Text(u""), Text(u""), Text(u"")}},
      {u"GetOperationByCards", {Text(u"dev"), Text(u"host")}, u"Abstract Error", {Text(u"dev"), Text(u"host")}},
  };
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object->Call(Case.Method, Case.Args);
    EXPECT_EQ(Outcome.Return, HostValue(false)) << ToUtf8(Case.Method);
    EXPECT_EQ(LastError(), std::make_pair(HostValue(int32_t{1001}), std::u16string(Case.Message)));
    EXPECT_EQ(Outcome.Params, Case.After) << ToUtf8(Case.Method);
  }
  EXPECT_EQ(Simulator.Count(u"ExchangeCount"), 0);
}

TEST_F(AcquiringHost, TheSameUndeterminedStatusGives4501OnlyInTheExtendedMethods) {
  const struct {
    const char16_t* Method;
    Values Args;
    int32_t Code;
  } Cases[] = {
      {u"PayFPS", {12.5, int32_t{15}, Text(u""), int32_t{5}, Text(u""), Text(u""), Text(u""), Text(u"")}, 4501},
      {u"PayByPaymentCard",
       {Text(u"dev"), int32_t{1}, Text(u""), 12.5, Text(u""), Text(u""), Text(u""), Text(u""), Text(u"")},
       1001},
  };
  for (const auto& Case : Cases) {
    Simulator.Set(u"NextStatus", u"0");
    EXPECT_EQ(Object->Call(Case.Method, Case.Args).Return, HostValue(false));
    EXPECT_EQ(LastError().first, HostValue(Case.Code)) << ToUtf8(Case.Method);
  }
}

TEST_F(AcquiringHost, ExtendedOutputsWithoutAnAnswerAndAfterAPayment) {
  const struct {
    const char16_t* Method;
    Values Args;
    Values After;
  } Before[] = {
      {u"GetCompositeInterbankKey", {Text(u"x"), Text(u"x"), Text(u"x")}, {Text(u""), Text(u""), HostDate{0}}},
      {u"GetCardExtParams",
       {int32_t{1}, Text(u"x"), Text(u"x"), Text(u"x")},
       {Text(u""), Text(u""), Text(u""), Text(u"")}},
  };
  for (const auto& Case : Before) {
    const CallOutcome Outcome = Object->Call(Case.Method, Case.Args);
    EXPECT_EQ(Outcome.Return, HostValue(false)) << ToUtf8(Case.Method);
    EXPECT_EQ(Outcome.Params, Case.After) << ToUtf8(Case.Method);
  }

  const CallOutcome Paid = Object->Call(u"PayByPaymentCardEx", {12.5, Text(u"ignored"), Text(u"ignored"), Text(u""),
                                                                Text(u""), Text(u""), Text(u""), Text(u""), Text(u"")});
  ASSERT_EQ(Paid.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_EQ(Simulator.RequestField(u"ReferenceNumber"), u"");
  for (std::size_t Index = 1; Index <= 8; ++Index) EXPECT_NE(TextOf(Paid.Params[Index]), u"") << Index;
  const CallOutcome Key = Object->Call(u"GetCompositeInterbankKey", {Text(u""), Text(u""), Text(u"")});
  ASSERT_EQ(Key.Return, HostValue(true)) << ToUtf8(LastError().second);
  const auto* Date = std::get_if<HostDate>(&Key.Params[2]);
  ASSERT_NE(Date, nullptr);
  EXPECT_GT(Date->DayCount, 25569.0);  // after 1 January 1970

  const CallOutcome Fps =
      Object->Call(u"PayFPS", {12.5, Text(u"15"), Text(u""), int32_t{5}, Text(u""), Text(u""), Text(u""), Text(u"")});
  EXPECT_EQ(Fps.Params[1].index(), HostValue(int32_t{0}).index());
}

TEST_F(AcquiringHost, TerminalParametersNeverOfferCashOrTheOperationList) {
  Set(u"TerminalID", Text(u"T-77"));
  const CallOutcome Outcome = Object->Call(u"TerminalParameters", {Text(u"dev"), Text(u"")});
  ASSERT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(LastError().second);
  const std::string Xml = ToUtf8(TextOf(Outcome.Params[1]));
  EXPECT_EQ(Xml.rfind("<?xml version=\"1.0\"?>", 0), 0u) << Xml;
  pugi::xml_document Document;
  ASSERT_TRUE(Document.load_string(Xml.c_str())) << Xml;
  const pugi::xml_node Root = Document.child("TerminalParameters");
  EXPECT_STREQ(Root.attribute("TerminalID").value(), "T-77");
  EXPECT_STREQ(Root.attribute("CashWithdrawal").value(), "false");
  EXPECT_STREQ(Root.attribute("ListCardTransactions").value(), "false");
  EXPECT_STREQ(Root.attribute("ElectronicCertificates").value(), "true");
}

TEST_F(AcquiringHost, SettingsLandOnTheirProperties) {
  const struct {
    const char16_t* Name;
    HostValue Value;
    bool Ok;
    const char16_t* Property;
    HostValue After;
  } Cases[] = {
      {u"TerminalID", Text(u"A1"), true, u"TerminalId", Text(u"A1")},
      {u"terminalid", Text(u"A2"), true, u"TerminalId", Text(u"A2")},
      {u"IDТерминала", Text(u"A3"), true, u"TerminalId", Text(u"A3")},
      {u"Port", Text(u"3"), true, u"Port", int32_t{3}},
      {u"Baud", int32_t{-9600}, true, u"Baud", int32_t{-9600}},
      {u"CurrencyCode", int32_t{643}, false, u"CurrencyCode", Text(u"643")},
      {u"Status", int32_t{5}, false, u"Status", int32_t{0}},
  };
  for (const auto& Case : Cases) {
    const CallOutcome Outcome = Object->Call(u"SetParameter", {Text(Case.Name), Case.Value});
    EXPECT_EQ(Outcome.Return, HostValue(Case.Ok)) << ToUtf8(Case.Name);
    EXPECT_EQ(Get(Case.Property), Case.After) << ToUtf8(Case.Name);
  }
}

// The pause after reading the terminal's parameters holds the host's thread:
// from 0 to a minute, written as a property or as a setting, however the host's
// number comes; a refused value leaves the setting as it was.
TEST_F(AcquiringHost, TheTimeoutAfterGetParamsStaysWithinAMinute) {
  const HostValue Kept = int32_t{1500};
  const struct {
    HostValue Value;
    HostValue After;
    const char16_t* Shown;  // in the refusal; null when the value is taken
  } Cases[] = {
      {int32_t{0}, int32_t{0}, nullptr},          {int32_t{60000}, int32_t{60000}, nullptr},
      {Text(u"250"), int32_t{250}, nullptr},      {int32_t{60001}, Kept, u"60001"},
      {int32_t{2147483647}, Kept, u"2147483647"}, {int32_t{-1}, Kept, u"-1"},
      {4294969296.0, Kept, u"4294969296"},  // 2000 in its low 32 bits
      {Text(u"70000"), Kept, u"70000"},           {std::numeric_limits<double>::quiet_NaN(), Kept, u"NAN"},
  };
  for (const bool ByProperty : {true, false}) {
    for (const auto& Case : Cases) {
      Set(u"TimeoutAfterGetParams", Kept);
      const std::u16string Refusal = WriteTimeoutAfterGetParams(ByProperty, Case.Value);
      const std::u16string Expected = Case.Shown ? u"Недопустимая задержка после операции получения параметров: " +
                                                       std::u16string(Case.Shown) + u" (допустимо от 0 до 60000 мсек.)"
                                                 : u"";
      EXPECT_EQ(Refusal, Expected) << (ByProperty ? "property " : "setting ") << FormatValue(Case.Value);
      EXPECT_EQ(Get(u"TimeoutAfterGetParams"), Case.After) << FormatValue(Case.Value);
    }
  }
}

TEST_F(AcquiringHost, ResultPropertiesBeforeAndAfterAnExchange) {
  const std::pair<const char16_t*, HostValue> Fresh[] = {
      {u"Status", int32_t{0}},          {u"CommandResult", int32_t{0}},     {u"ReceiptText", Text(u"")},
      {u"ResponseCodeHost", Text(u"")}, {u"TerminalId", Text(u"00000001")}, {u"Baud", int32_t{115200}}};
  for (const auto& [Name, Value] : Fresh) EXPECT_EQ(Get(Name), Value) << ToUtf8(Name);

  const CallOutcome Settled = Object->Call(u"Settelment", {Text(u"dev"), Text(u"")});
  ASSERT_EQ(Settled.Return, HostValue(true)) << ToUtf8(LastError().second);
  EXPECT_NE(TextOf(Settled.Params[1]), u"");
  EXPECT_EQ(Get(u"ReceiptText"), Settled.Params[1]);
}

TEST_F(AcquiringHost, AShortCallFailsBeforeTheTerminal) {
  const CallOutcome Outcome = Object->CallWithCount(Method(u"PayByPaymentCard"), {Text(u"dev"), int32_t{1}, Text(u"")});
  EXPECT_TRUE(Outcome.Ok);
  EXPECT_EQ(Outcome.Return, HostValue(false));
  const auto [Code, Message] = LastError();
  EXPECT_EQ(Code, HostValue(int32_t{1001}));
  EXPECT_NE(Message.find(u"Too few parameters"), std::u16string::npos) << ToUtf8(Message);
  EXPECT_EQ(Simulator.Count(u"ExchangeCount"), 0);
}

}  // namespace
}  // namespace hosttest
