#include "SimTest.h"

#include "platform/Text.h"
#include "tools/terminal-sim/ProcessRegistration.h"

namespace simtest {

namespace {

class Registration : public ::testing::Environment {
public:
  void SetUp() override { ASSERT_NO_THROW(terminal_sim::RegisterSimulator()); }
  void TearDown() override { terminal_sim::UnregisterSimulator(); }
};

const auto* const kRegistration = ::testing::AddGlobalTestEnvironment(new Registration);

}  // namespace

Puts WithCommon(Puts Fields) {
  Fields.insert(Fields.end(), {{u"CardEntryMode", 3},
                               {u"CurrencyCode", std::u16string(u"643")},
                               {u"TerminalId", std::u16string(u"00000001")},
                               {u"TerminalDateTime", std::u16string(u"20240305102030")}});
  return Fields;
}

void SimTest::SetUp() {
  terminal_sim::ShareClockWithSimulator(&Clock);
  FControl = automation::CreateObject(u"Tandemix.Simulator");
  FControl->Call(u"Reset", {});
}

void SimTest::TearDown() { terminal_sim::ShareClockWithSimulator(nullptr); }

ObjectRef SimTest::Packet(const Puts& Fields) {
  ObjectRef P = automation::CreateObject(u"Tandemix.SAPacket");
  for (const auto& [Name, V] : Fields) P->Put(Name, V);
  return P;
}

ObjectRef SimTest::Exchange(const ObjectRef& Request, int32_t Timeout, ObjectRef Response) {
  Clock.SleepMs(kPacingMs);
  return ExchangeAtOnce(Request, Timeout, std::move(Response));
}

ObjectRef SimTest::ExchangeAtOnce(const ObjectRef& Request, int32_t Timeout, ObjectRef Response) {
  if (!Response) Response = automation::CreateObject(u"Tandemix.SAPacket");
  ObjectRef Link = automation::CreateObject(u"Tandemix.TXLink");
  Link->Call(u"InitResources", {});
  automation::Argument Channel[] = {automation::Argument::ByValue(0), automation::Argument::ByValue(115200),
                                    automation::Argument::ByValue(8), automation::Argument::ByValue(0),
                                    automation::Argument::ByValue(0), automation::Argument::ByValue(2)};
  Link->Call(u"SetChannelTerminalParam", Channel);
  Value Req = Request, Resp = Response, Wait = Timeout;
  automation::Argument Args[] = {automation::Argument::ByRef(Req), automation::Argument::ByRef(Resp),
                                 automation::Argument::ByRef(Wait)};
  try {
    Link->Call(u"Exchange", Args);
  } catch (...) {
    try {
      Link->Call(u"FreeResources", {});
    } catch (...) {
    }
    throw;
  }
  Link->Call(u"FreeResources", {});
  return Response;
}

void SimTest::Configure(const std::u16string& Text) {
  Value Arg = Text;
  automation::Argument Args[] = {automation::Argument::ByValue(Arg)};
  FControl->Call(u"Configure", Args);
}

std::string SimTest::Text(const ObjectRef& Object, std::u16string_view Name) {
  return ToUtf8(automation::ToText(Object->Get(Name)));
}

int32_t SimTest::ControlNumber(std::u16string_view Name) { return automation::ToInt32(FControl->Get(Name)); }

}  // namespace simtest
