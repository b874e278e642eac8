#include <cstdlib>

#include "platform/AutomationProvider.h"
#include "platform/Text.h"
#include "tests/device/SimulatorSupport.h"

namespace device_test {

// A registry of this test program's own: the machine's stays untouched.
void RegisterSimulatorClasses() {
  ::setenv("ORVEX_AUTOMATION_REGISTRY", ORVEX_DEVICE_TEST_REGISTRY, 1);
  const std::u16string Provider = FromUtf8(TANDEMIX_SIM_PATH);
  for (const char16_t* ProgId : {u"Tandemix.SAPacket", u"Tandemix.TXLink", u"Tandemix.Simulator"}) {
    automation::RegisterClass(ProgId, Provider);
  }
}

}  // namespace device_test
