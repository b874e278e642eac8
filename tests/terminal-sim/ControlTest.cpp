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
    ObjectRef Request = Packet({{u"OperationCode", 26}});
    Exchange(Request);
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
  P->Put(u"amount", 500);  // names in any case; a number into a text field
  EXPECT_EQ(P->Get(u"Amount"), Value(std::u16string(u"500")));
  P->Put(u"ProcessingFlag", std::u16string(u" 104 "));
  EXPECT_EQ(automation::ToInt32(P->Get(u"ProcessingFlag")), 104);
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Put(u"OperationCode", std::u16string(u"abc")); })).find("Type mismatch"),
            std::string::npos);
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Put(u"Amout", 1); })).find("Unknown name"), std::string::npos);
  EXPECT_NE(ToUtf8(FailureOf([&] { P->Get(u"Nothing"); })).find("Unknown name"), std::string::npos);
}

TEST_F(ControlObject, LinkRefusesWhatARealConnectorRefuses) {
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Value Req = Packet({{u"OperationCode", 26}}), Resp = Packet({}), Wait = 1000, Text = std::u16string(u"x");
  automation::Argument Args[] = {automation::Argument::ByRef(Req), automation::Argument::ByRef(Resp),
                                 automation::Argument::ByValue(Wait)};
  EXPECT_NE(ToUtf8(FailureOf([&] { Link->Call(u"Exchange", Args); })).find("InitResources"), std::string::npos);
  Link->Call(u"InitResources", {});
  automation::Argument NotAPacket[] = {automation::Argument::ByValue(Text), automation::Argument::ByRef(Resp),
                                       automation::Argument::ByValue(Wait)};
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
