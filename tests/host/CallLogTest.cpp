// The call log around every method call, read from the log file the add-in writes.
#include "tests/support/HostTestSupport.h"
#include "platform/Exception.h"
#include "tools/v8host/HostSystem.h"

namespace hosttest {
namespace {

class HostCallLog : public HostSession {
protected:
  void SetUp() override {
    UseTemporaryMachineDataFolder();
    Component& Object = Open();
    ASSERT_TRUE(Object.SetProperty(Prop(u"LogEnabled"), true).Ok);
    FLogFile = std::get<std::u16string>(*Object.GetProperty(Prop(u"LogPath")).Return);
    FBefore = Content().size();
  }
  void TearDown() override {
    Open().SetProperty(Prop(u"LogEnabled"), false);
    HostSession::TearDown();
    RestoreMachineDataFolder();
  }
  // What this test added to the day's file.
  std::string Added() const { return Content().substr(FBefore); }

private:
  std::string Content() const {
    try {
      return ReadWholeFile(FLogFile);
    } catch (const Exception&) {
      return {};
    }
  }
  std::u16string FLogFile;
  std::size_t FBefore = 0;
};

TEST_F(HostCallLog, EveryCallIsLoggedBeforeAndAfterWithItsValues) {
  Component& Object = Open();
  ASSERT_TRUE(Object.Call(u"Ping", {}).Ok);
  ASSERT_TRUE(Object.Call(u"Remember", {std::u16string(u"запись")}).Ok);
  ASSERT_TRUE(Object.Call(u"Add", {int32_t{2}, int32_t{3}}).Ok);
  ASSERT_FALSE(Object.Call(u"Fail", {std::u16string(u"boom")}).Ok);
  const std::string Log = Added();
  const char* const Expected[] = {
      "\tDEBUG\t> Ping: \tParams: []\r\n",
      "\tDEBUG\t< Ping: \tResult=True; Params: []\r\n",
      "\tDEBUG\t> Remember: \tParams: [запись]\r\n",
      // a procedure has no return value: its data begins with the separator
      "\tDEBUG\t< Remember: \t; Params: [запись]\r\n",
      "\tDEBUG\t> Add: \tParams: [2; 3]\r\n",
      "\tDEBUG\t< Add: \tResult=5; Params: [2; 3]\r\n",
      "\tDEBUG\t> Fail: \tParams: [boom]\r\n",
      "\tERROR\tEXCEPTION: \tboom\r\n",
  };
  std::size_t From = 0;
  for (const char* Line : Expected) {
    const std::size_t At = Log.find(Line, From);
    EXPECT_NE(At, std::string::npos) << "missing in order: " << Line << "\nlog:\n" << Log;
    if (At != std::string::npos) From = At;
  }
  EXPECT_EQ(Log.find("< Fail"), std::string::npos);
}

// The failure line is written after the method has ended: the call's masks
// must still hold then.
TEST_F(HostCallLog, MarkedValuesAreMaskedInTheCallsLinesAndItsFailureLine) {
  Component& Second = Open(u"Second");
  ASSERT_FALSE(Second.Call(u"Authorize", {std::u16string(u"1234567890123456"), std::u16string(u"s3cr3t")}).Ok);
  const std::string Log = Added();
  EXPECT_NE(Log.find("\tDEBUG\t> Authorize: \tParams: [123456******3456; ********]\r\n"), std::string::npos) << Log;
  EXPECT_NE(Log.find("\tERROR\tEXCEPTION: \tCard 123456******3456 refused: wrong password ********\r\n"),
            std::string::npos)
      << Log;
}

}  // namespace
}  // namespace hosttest
