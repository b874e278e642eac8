// A log that cannot be written, as the host sees it: the driver still
// describes itself, says why its log is lost, and the calls whose lines were
// lost keep their outcome while GetLastError tells why.
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

class DriverLogProblem : public HostSession {
protected:
  void SetUp() override {
    UseTemporaryMachineDataFolder();
    Blocker = fs::path(std::getenv("PROGRAMDATA")) / "Orvex";
    device_test::RegisterSimulator();
  }
  void TearDown() override {
    fs::remove_all(Blocker);
    Open(u"a_orvextx1c83n").SetProperty(Prop(u"LogEnabled"), false);
    HostSession::TearDown();
    RestoreMachineDataFolder();
  }

  // A plain file where the vendor's folder should be: nothing can be logged.
  void BlockTheLog() {
    fs::remove_all(Blocker);
    std::ofstream(Blocker) << "not a folder";
  }

  pugi::xml_node Description(Component& Object) {
    const CallOutcome Outcome = Object.Call(u"GetDescription", {});
    EXPECT_EQ(Outcome.Return, HostValue(true));
    Parsed.load_string(ToUtf8(TextOf(Outcome.Params.at(0))).c_str());
    return Parsed.child("DriverDescription");
  }

  fs::path Blocker;
  pugi::xml_document Parsed;
};

bool Has(const std::u16string& Text, std::u16string_view Part) { return Text.find(Part) != std::u16string::npos; }

TEST_F(DriverLogProblem, TheDescriptionIsGivenAndSaysWhyTheLogIsLost) {
  Component& Object = Open(u"a_orvextx1c83n");
  BlockTheLog();
  for (const bool Logging : {false, true}) {
    ASSERT_EQ(Object.Call(u"SetParameter", {Text(u"LogEnabled"), Logging}).Return, HostValue(true));
    const pugi::xml_node Root = Description(Object);
    EXPECT_STREQ(Root.attribute("LogIsEnabled").value(), Logging ? "true" : "false");
    EXPECT_EQ(fs::path(Root.attribute("LogPath").value()), Blocker / "a_orvextx1c83n" / "");
    EXPECT_NE(std::string(Root.attribute("LogProblem").value()).find("it is not a folder"), std::string::npos)
        << Root.attribute("LogProblem").value();
  }
  fs::remove(Blocker);
  EXPECT_TRUE(Description(Object).attribute("LogPath"));
  EXPECT_FALSE(Description(Object).attribute("LogProblem")) << "a log that works adds nothing";
}

TEST_F(DriverLogProblem, ACallWhoseLinesWereLostKeepsItsOutcomeAndGetLastErrorTellsWhy) {
  Component& Object = Open(u"a_orvextx1c83n");
  ASSERT_EQ(Object.Call(u"SetParameter", {Text(u"LogEnabled"), true}).Return, HostValue(true));
  BlockTheLog();
  EXPECT_EQ(Object.Call(u"GetParameters", {}).Return, HostValue(true));
  auto [Code, Message] = LastError(Object);
  EXPECT_EQ(Code, HostValue(int32_t{0}));
  EXPECT_TRUE(Has(Message, u"(log lines were lost: ") && Has(Message, u"it is not a folder")) << ToUtf8(Message);

  EXPECT_EQ(Object.Call(u"DoAdditionalAction", {Text(u"NoSuchAction")}).Return, HostValue(false));
  std::tie(Code, Message) = LastError(Object);
  EXPECT_EQ(Code, HostValue(int32_t{1001}));
  EXPECT_TRUE(Message.starts_with(u"Action not found (log lines were lost: ")) << ToUtf8(Message);

  // The reason goes with the next recorded outcome: the lines GetLastError
  // itself lost are told after the call that follows it.
  fs::remove(Blocker);
  EXPECT_EQ(Object.Call(u"GetParameters", {}).Return, HostValue(true));
  EXPECT_EQ(Object.Call(u"GetParameters", {}).Return, HostValue(true));
  std::tie(Code, Message) = LastError(Object);
  EXPECT_EQ(Code, HostValue(int32_t{0}));
  EXPECT_EQ(Message, u"") << "lines written again: nothing to tell";
}

}  // namespace
}  // namespace hosttest
