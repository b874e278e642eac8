// The driver installed from a package as the equipment library installs it,
// and the first set-up a shop runs: the calls in their order, the settings
// form's defaults and the user's values reaching the terminal, a failing step
// with its reason, and the device closed whatever happened.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/HostTestSupport.h"
#include "tests/support/PackageSupport.h"
#include "tests/support/SimulatorSupport.h"

namespace hosttest {
namespace {

// The method of every "call" line, in order.
std::vector<std::string> CalledMethods(const std::string& Out) {
  std::vector<std::string> Methods;
  std::istringstream Lines(Out);
  for (std::string Line; std::getline(Lines, Line);) {
    if (!Line.starts_with("call ")) continue;
    Methods.push_back(Line.substr(5, Line.find(' ', 5) - 5));
  }
  return Methods;
}

class DriverPackage : public ::testing::Test {
protected:
  DriverPackage() { UseTemporaryMachineDataFolder(); }
  ~DriverPackage() override { RestoreMachineDataFolder(); }

  RunResult Equipment(std::vector<std::string> Rest, const std::string& Script = "") {
    std::vector<std::string> Args{"equipment", FPackage.string()};
    if (!Script.empty()) {
      const std::filesystem::path File = FTemp.Path() / "script.txt";
      std::ofstream(File, std::ios::binary) << Script;
      Args.insert(Args.end(), {"--script", File.string()});
    }
    Args.insert(Args.end(), Rest.begin(), Rest.end());
    return RunHost(Args);
  }

  device_test::TSimulator Simulator;

private:
  TTestTempFolder FTemp{"orvex-driver-package-"};
  std::filesystem::path FPackage = WritePackage(
      "driver.zip",
      OneLibraryPackage(BesideTestProgram(kFixtureFileName), "AddIn.a_orvextx1c83n", "a_orvextx1c83n.lib"));
};

const std::vector<std::string> kSetUpCalls{
    "GetInterfaceRevision", "GetDescription", "GetParameters", "SetParameter", "SetParameter", "SetParameter",
    "SetParameter",         "SetParameter",   "SetParameter",  "Open",         "DeviceTest",   "GetAdditionalActions"};

std::vector<std::string> Then(std::vector<std::string> Calls, std::initializer_list<std::string> More) {
  Calls.insert(Calls.end(), More);
  return Calls;
}

TEST_F(DriverPackage, TheFirstSetUpRunsOnTheFormsDefaults) {
  const RunResult Done = Equipment({});
  EXPECT_EQ(Done.Exit, ExitOk) << Done.Err;
  EXPECT_EQ(CalledMethods(Done.Out), Then(kSetUpCalls, {"Close"})) << Done.Out;
  for (const char* Line :
       {"new AddIn.a_orvextx1c83n.a_orvextx1c83n\n", "call GetInterfaceRevision -> true\n  return: int:4000\n",
        "call SetParameter text:TerminalID text:00000001 -> true", "call SetParameter text:Port int:0 -> true",
        "call SetParameter text:Baud int:115200 -> true", "call SetParameter text:LogEnabled bool:true -> true",
        "call SetParameter text:TimeoutAfterGetParams int:2000 -> true", "<Action Name=\"ViewLog\""}) {
    EXPECT_TRUE(Contains(Done.Out, Line)) << Line << "\n" << Done.Out;
  }
  EXPECT_EQ(UnpackFolders(), std::vector<std::string>());
}

TEST_F(DriverPackage, TheUsersValuesReachTheTerminal) {
  const RunResult Done =
      Equipment({"TerminalID=00000042", "LogEnabled=false", "CurrencyCode=398"},
                "echo A sale\ncall PayByPaymentCard empty int:0 \"\" num:12.5 \"\" \"\" \"\" \"\" \"\"\n");
  EXPECT_EQ(Done.Exit, ExitOk) << Done.Err << Done.Out;
  EXPECT_EQ(CalledMethods(Done.Out), Then(kSetUpCalls, {"PayByPaymentCard", "Close"})) << Done.Out;
  EXPECT_TRUE(Contains(Done.Out, "call SetParameter text:LogEnabled bool:false -> true")) << Done.Out;
  EXPECT_EQ(Simulator.RequestField(u"TerminalId"), u"00000042");
  EXPECT_EQ(Simulator.RequestField(u"CurrencyCode"), u"398");
  EXPECT_EQ(Simulator.RequestField(u"Amount"), u"1250");
}

TEST_F(DriverPackage, AFailingStepIsExplainedAndTheDeviceStillClosed) {
  // Amounts ending in ,13 are declined by the simulated terminal.
  const RunResult Declined = Equipment({"LogEnabled=false"},
                                       "call PayByPaymentCard empty int:0 \"\" num:100.13 \"\" \"\" \"\" \"\" \"\"\n"
                                       "call GetReport bool:false \"\"\n");
  EXPECT_EQ(Declined.Exit, ExitRefused);
  EXPECT_EQ(CalledMethods(Declined.Out), Then(kSetUpCalls, {"PayByPaymentCard", "GetLastError", "Close"}))
      << Declined.Out;
  EXPECT_TRUE(Contains(Declined.Out, "call GetLastError -> true\n  return: int:")) << Declined.Out;

  const struct {
    std::vector<std::string> Given;
    std::string Err;
  } Refused[] = {
      {{"Nope=1"}, "The driver's settings form has no parameter Nope"},
      {{"Port=COM1"}, "The setting Port takes a Number value, not \"COM1\""},
      {{"LogEnabled=yes"}, "The setting LogEnabled takes a Boolean value, not \"yes\""},
      {{"--scrpt", "x"}, "\"--scrpt\" is neither --script FILE, --json nor SETTING=VALUE"},
  };
  for (const auto& Case : Refused) {
    const RunResult Done = Equipment(Case.Given);
    EXPECT_EQ(Done.Exit, ExitBadArgument) << Case.Err;
    EXPECT_TRUE(Contains(Done.Err, Case.Err)) << Done.Err;
  }
  EXPECT_EQ(UnpackFolders(), std::vector<std::string>());
}

TEST_F(DriverPackage, JsonCarriesThePackageTheSettingsAndTheSteps) {
  const RunResult Done = Equipment({"--json", "LogEnabled=false"});
  EXPECT_EQ(Done.Exit, ExitOk) << Done.Err;
  for (const char* Part :
       {"\"package\":{\"driver\":{\"progid\":\"AddIn.a_orvextx1c83n\"", "\"objectName\":\"a_orvextx1c83n\"",
        "\"knownEquipmentType\":true", "\"attachedName\":\"a_orvextx1c83n\"", "\"path\":\"a_orvextx1c83n.lib\"",
        "\"newObject\":\"AddIn.a_orvextx1c83n.a_orvextx1c83n\"",
        "{\"name\":\"LogEnabled\",\"type\":\"Boolean\",\"value\":\"false\"}", "\"exitCode\":0"}) {
    EXPECT_TRUE(Contains(Done.Out, Part)) << Part << "\n" << Done.Out;
  }
  EXPECT_FALSE(Contains(Done.Out, "call GetInterfaceRevision")) << "JSON only";
}

}  // namespace
}  // namespace hosttest
