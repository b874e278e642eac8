#include "SimulatorSupport.h"

#include <array>
#include <vector>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace device_test {

namespace {

automation::Value CallControl(automation::Object& AControl, std::u16string_view AName,
                              std::initializer_list<std::u16string> AArguments) {
  std::vector<automation::Argument> Arguments;
  for (const auto& Argument : AArguments) Arguments.push_back(automation::Argument::ByValue(Argument));
  return AControl.Call(AName, Arguments);
}

}  // namespace

TSimulator::TSimulator() {
  RegisterSimulator();
  FControl = automation::CreateObject(u"Tandemix.Simulator");
  CallControl(*FControl, u"Reset", {});
}

void TSimulator::Set(const std::u16string& AName, const std::u16string& AValue) {
  CallControl(*FControl, u"Set", {AName, AValue});
}

std::u16string TSimulator::LastRequest() { return automation::ToText(FControl->Get(u"LastRequest")); }

std::u16string TSimulator::LastChannel() { return automation::ToText(FControl->Get(u"LastChannel")); }

int32_t TSimulator::LastTimeout() { return automation::ToInt32(FControl->Get(u"LastTimeout")); }

int32_t TSimulator::Count(const std::u16string& AName) { return automation::ToInt32(FControl->Get(AName)); }

std::u16string TSimulator::RequestField(const std::u16string& AName) {
  return automation::ToText(CallControl(*FControl, u"RequestField", {AName}));
}

}  // namespace device_test
