// A terminal that approves partly (status 2) or offline (status 17), for every
// operation: the host's methods succeed, the certificate payment reports a
// partial approval as its operation status, and Status shows the terminal's.
// On the fake-clock driver, which the simulated terminal's busy rule follows.
#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

class Approvals : public HostSession {
protected:
  Approvals() { Object = &Open(u"a_orvextx1c83n"); }

  device_test::TSimulator Simulator;
  Component* Object = nullptr;
};

TEST_F(Approvals, EveryOperationPartlyOrOffline) {
  const Values Payment = {Text(u"dev"), int32_t{1}, Text(u""), 12.5,     Text(u""),
                          Text(u""),    Text(u""),  Text(u""), Text(u"")};
  const Values Certificate = {Text(u"dev"), int32_t{1}, Text(u""), Text(u"b"), 2.0,        10.5,
                              Text(u""),    Text(u""),  Text(u""), Text(u""),  int32_t{5}, Text(u"")};
  const struct {
    const char16_t* Fault;
    int32_t Status;
    int32_t CertificateStatus;  // parameter 10 of PayElectronicCertificate
  } Cases[] = {{u"PartialApproval", 2, 1}, {u"OfflineApproval", 17, 0}};
  for (const auto& Case : Cases) {
    Simulator.Set(u"Fault", Case.Fault);
    const struct {
      const char16_t* Method;
      Values Args;
    } Calls[] = {
        {u"TerminalParameters", {Text(u"dev"), Text(u"")}},
        {u"TestConnection", {}},
        {u"PayByPaymentCard", Payment},
        {u"PayElectronicCertificate", Certificate},
        {u"GetReport", {false, Text(u"")}},
        {u"GetReport", {true, Text(u"")}},
        {u"Settelment", {Text(u"dev"), Text(u"")}},
    };
    for (const auto& Call : Calls) {
      SCOPED_TRACE(ToUtf8(Case.Fault) + " " + ToUtf8(Call.Method));
      const CallOutcome Outcome = Object->Call(Call.Method, Call.Args);
      EXPECT_EQ(Outcome.Return, HostValue(true)) << ToUtf8(LastError().second);
      EXPECT_EQ(Object->GetProperty(Prop(u"Status")).Return, HostValue(Case.Status));
      if (std::u16string_view(Call.Method) == u"PayElectronicCertificate") {
        EXPECT_EQ(Outcome.Params.at(10), HostValue(Case.CertificateStatus));
      }
    }
  }
}

}  // namespace
}  // namespace hosttest
