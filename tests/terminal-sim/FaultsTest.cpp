// Faults chosen through the control object, as the driver meets them.
#include <chrono>
#include <regex>

#include "SimTest.h"
#include "platform/Text.h"

namespace simtest {
namespace {

const Puts kSale = {{u"OperationCode", 1}, {u"Amount", u"12345"}, {u"TerminalTrxID", 4711}};

using Faults = SimTest;

TEST_F(Faults, ConnectorClassesThatCannotBeCreated) {
  struct Case {
    const char16_t* Fault;
    bool PacketFails, LinkFails;
  } const Cases[] = {
      {u"Fault=CreatePacket", true, false}, {u"Fault=CreateLink", false, true}, {u"Fault=Create", true, true}};
  for (const Case& C : Cases) {
    Configure(C.Fault);
    SCOPED_TRACE(ToUtf8(C.Fault));
    auto Failure = [](const char16_t* ProgId) { return ToUtf8(FailureOf([&] { automation::CreateObject(ProgId); })); };
    std::string PacketFailure = Failure(u"Tandemix.SAPacket");
    std::string LinkFailure = Failure(u"Tandemix.TXLink");
    EXPECT_EQ(!PacketFailure.empty(), C.PacketFails) << PacketFailure;
    EXPECT_EQ(!LinkFailure.empty(), C.LinkFails) << LinkFailure;
    EXPECT_NE((PacketFailure + LinkFailure).find("Class not registered"), std::string::npos);
    EXPECT_NO_THROW(automation::CreateObject(u"Tandemix.Simulator"));
  }
}

TEST_F(Faults, OneShotCreationFaultHitsOnlyTheNextPacket) {
  Configure(u"NextFault=CreatePacket");
  EXPECT_NO_THROW(automation::CreateObject(u"Tandemix.TXLink"));
  EXPECT_ANY_THROW(automation::CreateObject(u"Tandemix.SAPacket"));
  EXPECT_NO_THROW(automation::CreateObject(u"Tandemix.SAPacket"));
}

TEST_F(Faults, ExchangeFailures) {
  struct Case {
    const char16_t* Setting;
    int32_t Timeout;
    const char* Message;
  } const Cases[] = {
      {u"Fault=ExchangeFails", 180000, "Ошибка обмена с терминалом: терминал не отвечает"},
      {u"Fault=Timeout", 180000, "Превышено время ожидания ответа терминала (180000 мс)"},
      // Ten minutes of terminal time: fails at once, or the test would hang.
      {u"Delay=600000", 1000, "Превышено время ожидания ответа терминала (1000 мс)"},
  };
  for (const Case& C : Cases) {
    FControl->Call(u"Reset", {});
    Configure(C.Setting);
    ObjectRef Sale = Request(kSale);
    EXPECT_NE(ToUtf8(FailureOf([&] { Exchange(Sale, C.Timeout); })).find(C.Message), std::string::npos) << C.Message;
    EXPECT_EQ(ControlNumber(u"ExchangeCount"), 1);
    EXPECT_EQ(ControlNumber(u"JournalCount"), 0);
    EXPECT_EQ(ControlNumber(u"FreeResourcesCount"), 1);
  }
}

TEST_F(Faults, SlowTerminalAnswersWithinTheTimeout) {
  Configure(u"Delay=30");
  EXPECT_EQ(Text(Run(kSale), u"Status"), "1");
}

TEST_F(Faults, LastingAndOneShotExchangeFaults) {
  Configure(u"NextFault=ExchangeFails");
  EXPECT_ANY_THROW(Run(kSale));
  EXPECT_NO_THROW(Run(kSale));
  Configure(u"Fault=ExchangeFails");
  EXPECT_ANY_THROW(Run(kSale));
  EXPECT_ANY_THROW(Run(kSale));
}

TEST_F(Faults, MalformedResponses) {
  struct Case {
    const char16_t* Fault;
    std::u16string Field;
    std::string Pattern;
  } const Cases[] = {
      {u"StatusText", u"Status", "OK"},
      {u"CommandResultText", u"CommandResult", "ERR"},
      {u"MissingFields", u"ReferenceNumber", ""},
      {u"MissingFields", u"ReceiptData", ""},
      {u"MissingFields", u"Status", "1"},
      {u"BadAdditionalData", u"AdditionalData", ".*[^0-9A-F].*"},
      {u"BadReceiptData", u"ReceiptData", "\\^[^~]*~[^~]*~[^~]*[^~]"},  // leading "^", no closing "~"
  };
  for (const Case& C : Cases) {
    FControl->Call(u"Reset", {});
    Configure(std::u16string(u"Fault=") + C.Fault);
    std::string Value = Text(Run(kSale), C.Field);
    EXPECT_TRUE(std::regex_match(Value, std::regex(C.Pattern))) << ToUtf8(C.Fault) << ": " << Value;
  }
}

TEST_F(Faults, ChosenStatusOfTheNextOperation) {
  struct Case {
    int32_t Status;
    bool Done;  // the operation went through and is in the journal
  } const Cases[] = {{0, false}, {13, false}, {16, false}, {34, false}, {53, false}, {2, true}, {17, true}};
  for (const Case& C : Cases) {
    FControl->Call(u"Reset", {});
    FControl->Put(u"NextStatus", C.Status);
    ObjectRef Response = Run(kSale);
    SCOPED_TRACE(C.Status);
    EXPECT_EQ(Text(Response, u"Status"), std::to_string(C.Status));
    EXPECT_EQ(Text(Response, u"CommandResult") == "0", C.Done);
    EXPECT_EQ(ControlNumber(u"JournalCount"), C.Done ? 1 : 0);
    EXPECT_EQ(Text(Run(kSale), u"Status"), "1");
  }
}

TEST_F(Faults, ForcedResponseFields) {
  Configure(u"NextStatus=16\nNextCommandResult=7\nNext.TextResponse=Карта заблокирована\nForce.ResponseCodeHost=99");
  ObjectRef First = Run(kSale);
  EXPECT_EQ(Text(First, u"CommandResult"), "7");
  EXPECT_EQ(Text(First, u"TextResponse"), "Карта заблокирована");
  EXPECT_EQ(Text(First, u"ResponseCodeHost"), "99");
  ObjectRef Second = Run(kSale);
  EXPECT_EQ(Text(Second, u"Status"), "1");
  EXPECT_EQ(Text(Second, u"TextResponse"), "Одобрено");
  EXPECT_EQ(Text(Second, u"ResponseCodeHost"), "99");
}

// The link's own calls, one-shot or lasting; a one-shot fault waits for the
// call it is for.
TEST_F(Faults, LinkCallsThatFail) {
  struct Case {
    const char16_t* Fault;
    const char* Message;
  } const Cases[] = {
      {u"InitResourcesFails", "Ошибка инициализации ресурсов связи с терминалом"},
      {u"PortBusy", "Не удалось открыть порт: порт занят другим приложением"},
      {u"ChannelFails", "Ошибка установки параметров канала связи с терминалом"},
      {u"FreeResourcesFails", "Ошибка освобождения ресурсов связи с терминалом"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(ToUtf8(C.Fault));
    FControl->Call(u"Reset", {});
    Configure(std::u16string(u"NextFault=") + C.Fault);
    std::string Failure = ToUtf8(FailureOf([&] { Run(kSale); }));
    EXPECT_NE(Failure.find(C.Message), std::string::npos) << Failure;
    // Only FreeResources comes after the exchange.
    EXPECT_EQ(ControlNumber(u"ExchangeCount"), std::u16string_view(C.Fault) == u"FreeResourcesFails" ? 1 : 0);
    EXPECT_EQ(Shown(u"NextFault"), "None");
    EXPECT_NO_THROW(Run(kSale));

    Configure(std::u16string(u"Fault=") + C.Fault);
    EXPECT_ANY_THROW(Run(kSale));
    EXPECT_ANY_THROW(Run(kSale));
  }
  // Waiting for its call: an exchange fault does not use up a link fault.
  FControl->Call(u"Reset", {});
  Configure(u"NextFault=FreeResourcesFails");
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  EXPECT_NO_THROW(Link->Call(u"InitResources", {}));
  EXPECT_ANY_THROW(Link->Call(u"FreeResources", {}));
  EXPECT_NO_THROW(Link->Call(u"FreeResources", {}));
}

TEST_F(Faults, StatusOfOtherKindsOrNone) {
  Configure(u"Fault=StatusNumericText");
  EXPECT_EQ(Run(kSale)->Get(u"Status"), Value(std::u16string(u"1")));
  Configure(u"Fault=Status64");
  EXPECT_EQ(Run(kSale)->Get(u"Status"), Value(int64_t{1}));
  FControl->Put(u"NextStatus", 16);
  EXPECT_EQ(Run(kSale)->Get(u"Status"), Value(int64_t{16}));
  Configure(u"Fault=StatusMissing");
  ObjectRef Missing = Run(kSale);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Missing->Get(u"Status")));
  EXPECT_EQ(Text(Missing, u"CommandResult"), "0");
}

// Approved partly or offline: every operation the terminal approves, the
// connection test, its parameters and the reports too.
TEST_F(Faults, EveryApprovalPartlyOrOffline) {
  const Puts Requests[] = {
      kSale,
      {{u"OperationCode", 26}},
      {{u"OperationCode", 26}, {u"ProcessingFlag", 2}},
      {{u"OperationCode", 26}, {u"ReceiptData", u"Test"}},
      {{u"OperationCode", 63}, {u"CommandMode", 0}, {u"CommandMode2", 20}},
      {{u"OperationCode", 63}, {u"CommandMode", 0}, {u"CommandMode2", 21}},
      {{u"OperationCode", 63}, {u"CommandMode", 1}, {u"CommandMode2", 22}},
      {{u"OperationCode", 57}, {u"ProcessingFlag", 6}},
      {{u"OperationCode", 41}, {u"CommandMode", 5}, {u"AdditionalData", u"F605D103414243"}},
      {{u"OperationCode", 1}, {u"ProcessingFlag", 116}, {u"Amount", u"700"}},
      {{u"OperationCode", 53}},
      {{u"OperationCode", 59}, {u"TerminalTrxID", 5}},
  };
  for (const char* Status : {"2", "17"}) {
    FControl->Call(u"Reset", {});
    Configure(std::u16string(u"Fault=") + (Status == std::string("2") ? u"PartialApproval" : u"OfflineApproval"));
    for (const Puts& R : Requests) {
      ObjectRef Answer = Run(R);
      SCOPED_TRACE(Shown(u"LastRequest"));
      EXPECT_EQ(Text(Answer, u"Status"), Status);
      EXPECT_EQ(Text(Answer, u"CommandResult"), "0");
    }
  }
  // The same by NextStatus, for one operation.
  FControl->Call(u"Reset", {});
  for (int32_t Status : {2, 17}) {
    FControl->Put(u"NextStatus", Status);
    EXPECT_EQ(Text(Run({{u"OperationCode", 26}, {u"ProcessingFlag", 2}}), u"Status"), std::to_string(Status));
    EXPECT_EQ(Text(Run({{u"OperationCode", 26}}), u"Status"), "1");
  }
}

TEST_F(Faults, AdditionalDataWithLongLengths) {
  Configure(u"Fault=LongTlvLengths");
  const std::string Data = Text(Run(kSale), u"AdditionalData");
  // EE { D1 "7890", D2 hash, D3 "220000" }, each length as 81 nn.
  EXPECT_TRUE(std::regex_match(
      Data, std::regex("EE8123D1810437383930D28110[0-9A-F]{32}D38106323230303030DE81[0-9A-F]{2}D18124[0-9A-F]{72}"
                       "D28103" +
                       Hex("MIR") + "D38104[0-9A-F]{8}")))
      << Data;
}

TEST_F(Faults, AdditionalDataWithCyrillicOfCodePage1251) {
  Configure(u"Fault=Cp1251AdditionalData\nFpsPaidAfter=0");
  EXPECT_NE(Text(Run(kSale), u"AdditionalData").find("D203CCC8D0"), std::string::npos) << "МИР";
  EXPECT_NE(Text(Run({{u"OperationCode", 1}, {u"ProcessingFlag", 115}, {u"Amount", u"700"}}), u"AdditionalData")
                .find("D203D1C1CF"),
            std::string::npos)
      << "СБП";
  Configure(u"Card=VISA");
  EXPECT_NE(Text(Run(kSale), u"AdditionalData").find("D204" + Hex("VISA")), std::string::npos);
}

// RealDelay is waited in real time, the timeout too: for a test of a short
// timeout. Delay, on the test's clock, passes at once.
TEST_F(Faults, RealDelayWaitsOutTheTimeout) {
  using Steady = std::chrono::steady_clock;
  auto Elapsed = [](Steady::time_point Since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - Since).count();
  };
  Configure(u"RealDelay=5000");
  auto Started = Steady::now();
  std::string Failure = ToUtf8(FailureOf([&] { Exchange(Request(kSale), 300); }));
  EXPECT_NE(Failure.find("Превышено время ожидания ответа терминала (300 мс)"), std::string::npos) << Failure;
  EXPECT_GE(Elapsed(Started), 290);
  EXPECT_LT(Elapsed(Started), 4000);
  EXPECT_EQ(ControlNumber(u"JournalCount"), 0);

  Configure(u"RealDelay=60");
  Started = Steady::now();
  EXPECT_EQ(Text(Exchange(Request(kSale), 1000), u"Status"), "1");
  EXPECT_GE(Elapsed(Started), 55);

  Configure(u"RealDelay=0\nDelay=100000");
  const uint32_t Before = Clock.Ticks;
  Started = Steady::now();
  EXPECT_EQ(Text(Exchange(Request(kSale), 180000), u"Status"), "1");
  EXPECT_LT(Elapsed(Started), 5000);
  EXPECT_GE(Clock.Ticks - Before, 100000u) << "the terminal's time on the shared clock";
}

}  // namespace
}  // namespace simtest
