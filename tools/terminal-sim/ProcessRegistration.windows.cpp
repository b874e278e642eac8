#include <windows.h>

#include <string>

#include "tools/terminal-sim/ProcessRegistration.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ClockSeam.h"

namespace terminal_sim {

namespace {

// The build machine's path of the server. Under Wine the build machine's root
// is drive Z:.
std::wstring ServerPath() {
  std::wstring Path = ToWide(FromUtf8(TANDEMIX_SIM_PATH));
  if (!Path.empty() && Path.front() == L'/') Path = L"Z:" + Path;
  for (auto& C : Path) {
    if (C == L'/') C = L'\\';
  }
  return Path;
}

// One of the server's own registration entries, inside the build's own Wine
// prefix. The server stays loaded, as COM keeps it once it has created objects.
void CallServer(const char* Entry) {
  const HMODULE Server = ::LoadLibraryW(ServerPath().c_str());
  if (Server == nullptr) throw Exception(std::string_view("Cannot load the simulator's COM server"));
  using TEntry = HRESULT(WINAPI*)();
  const auto Function = reinterpret_cast<TEntry>(reinterpret_cast<void*>(::GetProcAddress(Server, Entry)));
  if (Function == nullptr || FAILED(Function())) {
    throw Exception("The simulator's COM server failed in " + std::string(Entry));
  }
}

}  // namespace

void RegisterSimulatorClasses() { CallServer("DllRegisterServer"); }

void* SimulatorClockEntry(bool Load) {
  // The same file as the registration names: the module COM has loaded.
  const HMODULE Server = Load ? ::LoadLibraryW(ServerPath().c_str()) : ::GetModuleHandleW(ServerPath().c_str());
  if (Server == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(Server, kUseClockEntryName));
}

void UnregisterSimulatorClasses() { CallServer("DllUnregisterServer"); }

}  // namespace terminal_sim
