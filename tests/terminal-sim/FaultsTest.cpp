// Faults chosen through the control object, as the driver meets them.
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
    ObjectRef Request = Packet(kSale);
    EXPECT_NE(ToUtf8(FailureOf([&] { Exchange(Request, C.Timeout); })).find(C.Message), std::string::npos) << C.Message;
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

}  // namespace
}  // namespace simtest
