#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/AutomationProvider.h"
#include "platform/Text.h"
#include "tests/device/SimulatorSupport.h"

namespace device_test {

namespace {

// One registry per test process: CTest runs the cases as parallel processes,
// and the machine's registry stays untouched. It goes when the process ends.
class TPrivateRegistry {
public:
  TPrivateRegistry()
      : FFolder(std::string(ORVEX_DEVICE_TEST_REGISTRY) + "/" + std::to_string(static_cast<long>(::getpid()))) {
    ::setenv("ORVEX_AUTOMATION_REGISTRY", FFolder.c_str(), 1);
  }
  ~TPrivateRegistry() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }
  TPrivateRegistry(const TPrivateRegistry&) = delete;
  TPrivateRegistry& operator=(const TPrivateRegistry&) = delete;

private:
  std::string FFolder;
};

}  // namespace

void RegisterSimulatorClasses() {
  static const TPrivateRegistry Registry;
  const std::u16string Provider = FromUtf8(TANDEMIX_SIM_PATH);
  for (const char16_t* ProgId : {u"Tandemix.SAPacket", u"Tandemix.TXLink", u"Tandemix.Simulator"}) {
    automation::RegisterClass(ProgId, Provider);
  }
}

}  // namespace device_test
