#include <windows.h>

#include <string>

#include "CommonSupport.h"
#include "SimulatorRegistration.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace testsupport {

namespace {

// One of the server's own registration entries, inside the test's own Wine
// prefix. The server stays loaded, as COM keeps it once it has created objects.
void CallServer(const char* Entry) {
  const HMODULE Server = ::LoadLibraryW(BuildMachinePath(TANDEMIX_SIM_PATH).wstring().c_str());
  if (Server == nullptr) throw Exception(std::string_view("Cannot load the simulator's COM server"));
  using TEntry = HRESULT(WINAPI*)();
  const auto Function = reinterpret_cast<TEntry>(reinterpret_cast<void*>(::GetProcAddress(Server, Entry)));
  if (Function == nullptr || FAILED(Function())) {
    throw Exception("The simulator's COM server failed in " + std::string(Entry));
  }
}

}  // namespace

void RegisterSimulatorClasses() { CallServer("DllRegisterServer"); }

void UnregisterSimulatorClasses() { CallServer("DllUnregisterServer"); }

}  // namespace testsupport
