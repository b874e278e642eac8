// The day log of the driver library with logging on, through the emulator and
// the simulated terminal, when the host passes full card numbers and the
// cashier's password and the terminal answers full card numbers in its
// fields, its receipts and its texts: no card number and no password in clear.
#include <gmock/gmock.h>
#include <pugixml.hpp>

#include <filesystem>
#include <set>

#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"
#include "tools/v8host/HostSystem.h"

namespace hosttest {
namespace {

// The host's card number fails the Luhn check: only the method's marks can
// hide it. The terminal's two pass it, as every real card number does.
constexpr char16_t kHostCard[] = u"1234567890123456";
constexpr char kHostCardShown[] = "123456******3456";
constexpr char16_t kTerminalCard[] = u"4111111111111111";
constexpr char kTerminalCardShown[] = "411111******1111";
constexpr char16_t kReceiptData[] = u"0xDF^40^ОПЛАТА\r\nКАРТА 6011111111111117\r\nОДОБРЕНО~0xDE^3^MIR~";
constexpr char kReceiptCardShown[] = "601111******1117";
constexpr char16_t kPassword[] = u"Kassir-7788";
constexpr char kSecretShown[] = "********";

bool PassesLuhn(std::string_view Digits) {
  int Sum = 0;
  for (std::size_t I = 0; I < Digits.size(); ++I) {
    int Digit = Digits[Digits.size() - 1 - I] - '0';
    if (I % 2 == 1) Digit = Digit * 2 > 9 ? Digit * 2 - 9 : Digit * 2;
    Sum += Digit;
  }
  return Sum % 10 == 0;
}

// Every maximal run of 13 to 19 digits that passes the Luhn check.
std::vector<std::string> CardNumbersIn(const std::string& Log) {
  std::vector<std::string> Found;
  const auto IsDigit = [](char C) { return C >= '0' && C <= '9'; };
  for (std::size_t Start = 0; Start < Log.size();) {
    std::size_t End = Start;
    while (End < Log.size() && IsDigit(Log[End])) ++End;
    const std::string_view Run(Log.data() + Start, End - Start);
    if (Run.size() >= 13 && Run.size() <= 19 && PassesLuhn(Run)) Found.emplace_back(Run);
    Start = End > Start ? End : Start + 1;
  }
  return Found;
}

struct MaskedCall {
  const char16_t* Method;
  Values Args;
  std::vector<std::string> Shown;  // masked forms the call's lines hold
  // Declines the call with this text from the terminal, for its failure line.
  const char16_t* TerminalText = nullptr;
};

class LogMasking : public HostSession {
protected:
  void SetUp() override {
    UseTemporaryMachineDataFolder();
    Object = &Open(u"a_orvextx1c83n");
    ASSERT_TRUE(Object->SetProperty(Prop(u"LogEnabled"), true).Ok);
    FLogFolder = LogFolderOf(*Object);
    Simulator.Set(u"Force.PAN", kTerminalCard);
    Simulator.Set(u"Force.ReceiptData", kReceiptData);
  }
  void TearDown() override {
    Object->SetProperty(Prop(u"LogEnabled"), false);
    HostSession::TearDown();
    RestoreMachineDataFolder();
  }

  void Check(const MaskedCall& Call) {
    SCOPED_TRACE(ToUtf8(Call.Method));
    if (Call.TerminalText) {
      Simulator.Set(u"NextStatus", u"16");
      Simulator.Set(u"Next.TextResponse", Call.TerminalText);
    }
    const std::size_t Before = DayLogs().size();
    ASSERT_TRUE(Object->Call(Call.Method, Call.Args).Ok);
    const std::string Lines = DayLogs().substr(Before);
    ASSERT_NE(Lines.find("> " + ToUtf8(Call.Method) + ":"), std::string::npos) << Lines;
    EXPECT_THAT(CardNumbersIn(Lines), ::testing::IsEmpty()) << Lines;
    EXPECT_EQ(Lines.find(ToUtf8(kHostCard)), std::string::npos) << Lines;
    EXPECT_EQ(Lines.find(ToUtf8(kPassword)), std::string::npos) << Lines;
    for (const std::string& Form : Call.Shown) EXPECT_NE(Lines.find(Form), std::string::npos) << Form << "\n" << Lines;
  }

  device_test::TSimulator Simulator;
  Component* Object = nullptr;

private:
  static std::filesystem::path LogFolderOf(Component& Driver) {
    const CallOutcome Outcome = Driver.Call(u"GetDescription", {Text(u"")});
    pugi::xml_document Description;
    EXPECT_TRUE(Description.load_string(ToUtf8(std::get<std::u16string>(Outcome.Params.at(0))).c_str()));
    return FromUtf8(Description.child("DriverDescription").attribute("LogPath").value());
  }
  // The day files in date order: what a call adds stands at the end, even
  // when the day changes during it. (Windows keeps earlier days' files.)
  std::string DayLogs() const {
    std::set<std::filesystem::path> Files;
    for (const auto& Entry : std::filesystem::directory_iterator(FLogFolder))
      if (Entry.path().extension() == ".log") Files.insert(Entry.path());
    std::string Content;
    for (const auto& File : Files) Content += ReadWholeFile(File.u16string());
    return Content;
  }
  std::filesystem::path FLogFolder;
};

TEST_F(LogMasking, CardAndFastPaymentOperationsLogNoCardNumberAndNoPassword) {
  const HostValue Dev = Text(u"dev");
  const HostValue Card = Text(kHostCard);
  const HostValue None = Text(u"");
  const std::vector<std::string> Answered = {kHostCardShown, kTerminalCardShown, kReceiptCardShown};
  const std::vector<std::string> Receipt = {kReceiptCardShown};
  const MaskedCall Calls[] = {
      {u"PayByPaymentCard", {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None}, Answered},
      {u"ReturnPaymantByPaymantCard", {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None}, Answered},
      {u"CancelPaymentByPaymentCard", {Dev, int32_t{1}, None, 12.5, 12.5, Card, None, None, None, None}, Answered},
      {u"AuthorisationByPaymentCard", {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None}, Answered},
      {u"AuthConfirmationByPaymentCard", {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None}, Answered},
      {u"CancelAuthorisationByPaymentCard", {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None}, Answered},
      {u"PayByPaymentCardWithCashWithdrawal",
       {Dev, int32_t{1}, None, 12.5, 1.0, Card, None, None, None, None},
       {kHostCardShown}},
      {u"GetCardParametrs",
       {Dev, None, false, Card, None, Card, None, int32_t{0}},
       {kHostCardShown, kTerminalCardShown}},
      {u"PayElectronicCertificate",
       {Dev, int32_t{1}, None, Text(u"basket-1"), 2.0, 10.5, Card, None, None, None, int32_t{0}, None},
       Answered},
      {u"ReturnElectronicCertificate",
       {Dev, int32_t{1}, None, Text(u"basket-1"), 2.0, 10.5, Card, None, None, None, int32_t{0}, None},
       Answered},
      {u"PayByPaymentCardEx", {12.5, Card, None, None, None, None, None, None, None}, Answered},
      {u"GetCardExtParams", {Card, None, None, None}, {kHostCardShown, kTerminalCardShown}},
      {u"PurchaseWithEnrollment", {12.5, Card, None, None, None, None}, Answered},
      {u"PayFPS", {12.5, int32_t{15}, None, int32_t{5}, None, None, None, None}, Receipt},
      {u"GetQRCodeFPS", {12.5, int32_t{1}, None, int32_t{5}, None, None, None, None, None}, Receipt},
      {u"GetPaymentStatusFPS", {12.5, int32_t{7}, None, None, None, None, None}, Receipt},
      {u"ReturnPaymentFPS",
       {12.5, int32_t{15}, Text(u"ret-1"), None, None, None, None, Text(kPassword), None},
       {kSecretShown, kReceiptCardShown}},
      {u"GetReturnPaymentStatusFPS", {12.5, int32_t{3}, Text(u"ret-1"), None, None, None, None, None}, Receipt},
      {u"ShowQRCodeFPSOnTerminal", {int32_t{30}, Text(u"https://qr.example/1")}, {}},
      {u"GetReport", {true, None}, Receipt},
      {u"GetReceiptCopy", {None, None}, Receipt},
      {u"Settelment", {Dev, None}, Receipt},
      // The terminal's texts quote the host's values back: the failure lines mask them too.
      {u"PayByPaymentCard",
       {Dev, int32_t{1}, None, 12.5, Card, None, None, None, None},
       {"Exception: \tКарта 123456******3456 отклонена"},
       u"Карта 1234567890123456 отклонена"},
      {u"ReturnPaymentFPS",
       {12.5, int32_t{15}, Text(u"ret-1"), None, None, None, None, Text(kPassword), None},
       {"Exception: \tНеверный пароль кассира ********"},
       u"Неверный пароль кассира Kassir-7788"},
  };
  for (const MaskedCall& Call : Calls) Check(Call);
}

// A secret's mask tells nothing of it, not even that it was empty.
TEST_F(LogMasking, ThePasswordShowsAsTheSameMaskWhateverItIs) {
  for (const char16_t* Password : {u"", kPassword, u"a much longer pass phrase"}) {
    Check({u"ReturnPaymentFPS",
           {12.5, int32_t{15}, Text(u"ret-1"), Text(u""), Text(u""), Text(u""), Text(u""), Text(Password), Text(u"")},
           {"> ReturnPaymentFPS: \tParams: [12.5; 15; ret-1; ; ; ; ; ********; "}});
  }
}

}  // namespace
}  // namespace hosttest
