#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/terminal-sim/ProcessRegistration.h"
#include "platform/AutomationProvider.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ClockSeam.h"

namespace terminal_sim {

namespace {

constexpr const char16_t* kProgIds[] = {u"Tandemix.SAPacket", u"Tandemix.TXLink", u"Tandemix.Simulator"};

// One registry per process: CTest runs the test cases as parallel processes,
// and the machine's registry stays untouched. It goes when the process ends.
class TPrivateRegistry {
public:
  TPrivateRegistry()
      : FFolder(std::string(ORVEX_SIM_REGISTRY_PARENT) + "/" + std::to_string(static_cast<long>(::getpid()))) {
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

void UsePrivateRegistry() { static const TPrivateRegistry Registry; }

}  // namespace

void RegisterSimulatorClasses() {
  UsePrivateRegistry();
  const std::u16string Provider = FromUtf8(TANDEMIX_SIM_PATH);
  for (const char16_t* ProgId : kProgIds) automation::RegisterClass(ProgId, Provider);
}

void* SimulatorClockEntry(bool Load) {
  // The same file as the registry's entry names: the module already loaded.
  void* Module = ::dlopen(TANDEMIX_SIM_PATH, RTLD_NOW | (Load ? 0 : RTLD_NOLOAD));
  if (Module == nullptr) return nullptr;
  void* Entry = ::dlsym(Module, kUseClockEntryName);
  ::dlclose(Module);  // linked -z nodelete: it stays
  return Entry;
}

void UnregisterSimulatorClasses() {
  for (const char16_t* ProgId : kProgIds) automation::UnregisterClass(ProgId);
}

}  // namespace terminal_sim
