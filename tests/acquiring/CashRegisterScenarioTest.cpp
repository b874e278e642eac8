// The calls a cash register's equipment library makes, in its order, when it
// connects a terminal, takes payments (one declined, one reversed because its
// receipt could not be printed), settles the day and disconnects. Every
// answer is checked where the register acts on it; the session's teardown
// checks that the driver left no host memory allocated.
#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

class CashRegister : public HostSession {
protected:
  CashRegister() { Driver = &Open(u"a_orvextx1c83n"); }

  HostValue Answer(std::u16string_view Method, std::vector<HostValue> Params) {
    const CallOutcome Outcome = Driver->Call(Method, std::move(Params));
    EXPECT_TRUE(Outcome.Ok) << ToUtf8(Method);
    Last = Outcome;
    return Outcome.Return.value_or(HostValue{});
  }
  // Outputs initialised as registers do: empty texts, or no value at all.
  HostValue Pay(double Amount, const HostValue& Blank) {
    return Answer(u"PayByPaymentCard",
                  {Text(u"terminal-1"), int32_t{0}, Text(u""), Amount, Blank, Blank, Blank, Blank, Blank});
  }

  device_test::TSimulator Simulator;
  Component* Driver = nullptr;
  CallOutcome Last;
};

TEST_F(CashRegister, ConnectPayDeclineReverseSettleDisconnect) {
  // Connecting: the library tells every driver its equipment type, which this
  // one has no property for; the refusal is harmless.
  EXPECT_EQ(Answer(u"SetParameter", {Text(u"EquipmentType"), Text(u"ЭквайринговыйТерминал")}), HostValue(false));
  EXPECT_EQ(Answer(u"GetInterfaceRevision", {}), HostValue(int32_t{4000}));
  EXPECT_EQ(Answer(u"GetDescription", {Text(u"")}), HostValue(true));
  const std::vector<std::pair<std::u16string_view, HostValue>> Form = {
      {u"TerminalID", Text(u"00000042")}, {u"Port", 0.0},         {u"Baud", 115200.0},
      {u"CurrencyCode", Text(u"643")},    {u"LogEnabled", false}, {u"TimeoutAfterGetParams", 0.0}};
  for (const auto& [Name, Value] : Form)
    EXPECT_EQ(Answer(u"SetParameter", {Text(Name), Value}), HostValue(true)) << ToUtf8(Name);
  EXPECT_EQ(Answer(u"Open", {Text(u"")}), HostValue(true));
  EXPECT_EQ(Answer(u"TerminalParameters", {Text(u"terminal-1"), Text(u"")}), HostValue(true));
  EXPECT_EQ(Simulator.RequestField(u"TerminalId"), u"00000042");

  for (const HostValue& Blank : {Text(u""), HostValue{}}) {
    ASSERT_EQ(Pay(99.5, Blank), HostValue(true)) << ToUtf8(LastError().second);
    EXPECT_EQ(Simulator.RequestField(u"Amount"), u"9950");
    EXPECT_NE(Last.Params.at(8), Text(u""));  // the slip to print
  }

  Simulator.Set(u"NextStatus", u"16");
  EXPECT_EQ(Pay(10, Text(u"")), HostValue(false));
  const auto [Code, Message] = LastError();
  EXPECT_EQ(Code, HostValue(int32_t{1001}));
  EXPECT_NE(Message, u"");

  // The receipt printer jammed: the register reverses the payment it just made.
  ASSERT_EQ(Pay(42, Text(u"")), HostValue(true));
  const std::u16string PaidTrxId = Simulator.RequestField(u"TerminalTrxID");
  EXPECT_EQ(Answer(u"EmergencyReversal", {Text(u"terminal-1")}), HostValue(true));
  EXPECT_EQ(Simulator.RequestField(u"OperationCode"), u"53");
  EXPECT_EQ(Simulator.RequestField(u"TerminalTrxID"), PaidTrxId);
  EXPECT_EQ(Simulator.RequestField(u"Amount"), u"4200");

  EXPECT_EQ(Answer(u"Settelment", {Text(u"terminal-1"), Text(u"")}), HostValue(true));
  EXPECT_EQ(Simulator.RequestField(u"OperationCode"), u"59");
  EXPECT_NE(Last.Params.at(1), Text(u""));  // the settlement slip
  EXPECT_EQ(Answer(u"Close", {Text(u"terminal-1")}), HostValue(true));
}

}  // namespace
}  // namespace hosttest
