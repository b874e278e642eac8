// What the control object shows of the driver's calls, its settings, and the
// packet and link refusing calls a real connector refuses.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTest.h"
#include "platform/Text.h"

namespace simtest {
namespace {

using ControlObject = SimTest;

TEST_F(ControlObject, RecordsTheRequestInTheOrderOfPuts) {
  ObjectRef Request = Packet({{u"OperationCode", 1},
                              {u"Amount", u"12345"},
                              {u"TerminalTrxID", 4711},
                              {u"CardEntryMode", 3},
                              {u"CurrencyCode", u"643"},
                              {u"TerminalId", u"00000001"},
                              {u"TerminalDateTime", u"20240305102030"}});
  Request->Put(u"OperationCode", 53);  // a second put keeps the field's place
  ObjectRef Response = Exchange(Request, 1800000);
  EXPECT_EQ(Shown(u"LastRequest"),
            "OperationCode=53;Amount=12345;TerminalTrxID=4711;CardEntryMode=3;CurrencyCode=643;TerminalId=00000001;"
            "TerminalDateTime=20240305102030");
  EXPECT_EQ(ControlNumber(u"LastTimeout"), 1800000);
  EXPECT_EQ(Shown(u"LastChannel"), "0,115200,8,0,0,2");
  EXPECT_EQ(Shown(u"Requests"), Shown(u"LastRequest") + "\n");
  EXPECT_EQ(Shown(u"LastResponse").rfind("Status=1;CommandResult=0;", 0), 0u);

  Value Name = std::u16string(u"Amount");
  automation::Argument Args[] = {automation::Argument::ByValue(Name)};
  EXPECT_EQ(automation::ToText(FControl->Call(u"RequestField", Args)), u"12345");
  Name = std::u16string(u"ReferenceNumber");
  EXPECT_EQ(ToUtf8(automation::ToText(FControl->Call(u"ResponseField", Args))), Text(Response, u"ReferenceNumber"));
}

TEST_F(ControlObject, CountsCallsAndObjects) {
  {
    ObjectRef Sent = Request({{u"OperationCode", 26}});
    Exchange(Sent);
    EXPECT_EQ(ControlNumber(u"LivePackets"), 1);
  }
  EXPECT_EQ(ControlNumber(u"ExchangeCount"), 1);
  EXPECT_EQ(ControlNumber(u"InitResourcesCount"), 1);
  EXPECT_EQ(ControlNumber(u"FreeResourcesCount"), 1);
  EXPECT_EQ(ControlNumber(u"PacketsCreated"), 2);
  EXPECT_EQ(ControlNumber(u"LinksCreated"), 1);
  EXPECT_EQ(ControlNumber(u"LivePackets"), 0);
  EXPECT_EQ(ControlNumber(u"LiveLinks"), 0);
}

TEST_F(ControlObject, PacketFieldsAndTheirKinds) {
  ObjectRef P = automation::CreateObject(u"Tandemix.SAPacket");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(P->Get(u"ReferenceNumber")));
  P->Put(u"amount", std::u16string(u"500"));  // names in any case
  EXPECT_EQ(P->Get(u"Amount"), Value(std::u16string(u"500")));
  P->Put(u"TerminalTrxID", int64_t{104});  // a 64-bit integer is an integer
  EXPECT_EQ(P->Get(u"TerminalTrxID"), Value(int32_t{104}));
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Put(u"Amout", 1); })).find("Unknown name"), std::string::npos);
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Get(u"Nothing"); })).find("Unknown name"), std::string::npos);
}

// Strict: each field takes the kind the connector's interface declares, and
// nothing else: the regression of a driver that sends a number as text (or a
// text as a number) fails at once.
TEST_F(ControlObject, StrictPacketTakesOnlyTheDeclaredKind) {
  ObjectRef P = automation::CreateObject(u"Tandemix.SAPacket");
  struct Case {
    const char16_t* Field;
    Value Put;
    const char* Message;
  } const Cases[] = {
      {u"OperationCode", std::u16string(u"1"), "the field OperationCode takes an integer, not a text \"1\""},
      {u"ProcessingFlag", std::u16string(u" 104 "), "ProcessingFlag takes an integer"},
      {u"CardEntryMode", true, "CardEntryMode takes an integer, not a Boolean"},
      {u"Amount", 500, "the field Amount takes a text, not an integer"},
      {u"TerminalId", int64_t{1}, "TerminalId takes a text"},
      {u"CurrencyCode", Value(), "CurrencyCode takes a text, not Empty"},
      {u"ReferenceNumber", P, "ReferenceNumber takes a text, not an object"},
  };
  for (const Case& C : Cases) {
    std::string Failure = ToUtf8(FailureOf([&] { P->Put(C.Field, C.Put); }));
    EXPECT_NE(Failure.find("Type mismatch"), std::string::npos) << Failure;
    EXPECT_NE(Failure.find(C.Message), std::string::npos) << Failure;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(P->Get(C.Field))) << ToUtf8(C.Field);
  }
}

// Lenient (Strict=0): COM's own coercions, as before the strict mode.
TEST_F(ControlObject, LenientPacketConvertsLikeCom) {
  Configure(u"Strict=0");
  ObjectRef P = automation::CreateObject(u"Tandemix.SAPacket");
  P->Put(u"amount", 500);  // a number into a text field
  EXPECT_EQ(P->Get(u"Amount"), Value(std::u16string(u"500")));
  P->Put(u"ProcessingFlag", std::u16string(u" 104 "));
  EXPECT_EQ(automation::ToInt32(P->Get(u"ProcessingFlag")), 104);
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Put(u"OperationCode", std::u16string(u"abc")); })).find("Type mismatch"),
            std::string::npos);
}

TEST_F(ControlObject, LinkRefusesWhatARealConnectorRefuses) {
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Value Req = Request({{u"OperationCode", 26}}), Resp = Packet({}), Wait = 1000, Text = std::u16string(u"x");
  automation::Argument Args[] = {automation::Argument::ByRef(Req), automation::Argument::ByRef(Resp),
                                 automation::Argument::ByRef(Wait)};
  EXPECT_NE(ToUtf8(FailureOf([&] { Link->Call(u"Exchange", Args); })).find("InitResources"), std::string::npos);
  Link->Call(u"InitResources", {});
  automation::Argument NotAPacket[] = {automation::Argument::ByRef(Text), automation::Argument::ByRef(Resp),
                                       automation::Argument::ByRef(Wait)};
  EXPECT_NE(ToUtf8(FailureOf([&] { Link->Call(u"Exchange", NotAPacket); })), "");
  EXPECT_NE(ToUtf8(FailureOf([&] { Link->Call(u"SetChannelTerminalParam", std::span(Args, 2)); })), "");
  EXPECT_NO_THROW(Link->Call(u"Exchange", Args));
}

TEST_F(ControlObject, BadSettingsChangeNothing) {
  struct Case {
    const char16_t* Text;
    const char* Message;
  } const Cases[] = {
      {u"Delay=5\nBogus=1", "unknown setting \"Bogus\""},
      {u"Fault=Nope", "unknown fault \"Nope\""},
      {u"Force.Nope=1", "unknown packet field \"Nope\""},
      {u"Delay=-1", "Delay"},
      {u"Delay", "expected Name=Value"},
      {u"Card=AMEX", "unknown card type"},
  };
  for (const Case& C : Cases) {
    EXPECT_NE(ToUtf8(FailureOf([&] { Configure(C.Text); })).find(C.Message), std::string::npos) << C.Message;
    EXPECT_EQ(ControlNumber(u"Delay"), 0);
  }
}

TEST_F(ControlObject, SettingsAsProperties) {
  FControl->Put(u"Fault", std::u16string(u"timeout"));
  FControl->Put(u"Delay", 25);
  EXPECT_EQ(Shown(u"Fault"), "Timeout");
  EXPECT_EQ(ControlNumber(u"Delay"), 25);
  EXPECT_NE(Shown(u"Settings").find("Fault=Timeout\n"), std::string::npos);
  FControl->Call(u"Reset", {});
  EXPECT_EQ(Shown(u"Fault"), "None");
  EXPECT_NE(ToUtf8(FailureOf([&] { FControl->Put(u"LastRequest", 1); })).find("Unknown name"), std::string::npos);
}

class Files : public SimTest {
protected:
  void TearDown() override {
    SetVariable("TANDEMIX_SIM_SCENARIO", "");
    SetVariable("TANDEMIX_SIM_STATE", "");
    FControl->Call(u"Reset", {});
    std::error_code Ignored;
    for (const auto& Path : FCreated) std::filesystem::remove(Path, Ignored);
  }
  std::string Write(const char* Name, const std::string& Content) {
    FCreated.push_back(ScratchFile(Name));
    std::ofstream(FCreated.back(), std::ios::binary) << Content;
    return FCreated.back();
  }
  std::vector<std::string> FCreated;
};

TEST_F(Files, ScenarioFileAppliesOnReset) {
  SetVariable("TANDEMIX_SIM_SCENARIO", Write("scenario.txt", "# by hand\nModelNo=Test^FAN:PST;\n\nCard=VISA\n"));
  FControl->Call(u"Reset", {});
  EXPECT_EQ(Text(Run({{u"OperationCode", 26}, {u"ProcessingFlag", 2}}), u"ModelNo"), "Test^FAN:PST;");
  EXPECT_EQ(Text(Run({{u"OperationCode", 57}, {u"ProcessingFlag", 6}}), u"PAN"), "411111******1111");
}

TEST_F(Files, JournalIsKeptInTheStateFile) {
  std::string Path = Write("state.txt", "");
  SetVariable("TANDEMIX_SIM_STATE", Path);
  FControl->Call(u"Reset", {});
  Run({{u"OperationCode", 1}, {u"Amount", u"100"}, {u"TerminalTrxID", 8}});
  std::stringstream Saved;
  Saved << std::ifstream(Path, std::ios::binary).rdbuf();
  EXPECT_EQ(Saved.str().rfind("Batch=1\nNo=1;Op=Sale;Amount=100;TerminalTrxID=8;", 0), 0u) << Saved.str();
}

}  // namespace
}  // namespace simtest
