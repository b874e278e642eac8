#include <windows.h>

#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"
#include "tests/device/SimulatorSupport.h"

namespace device_test {

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

}  // namespace

// The server's own self-registration, inside the test's own Wine prefix.
void RegisterSimulatorClasses() {
  const HMODULE Server = ::LoadLibraryW(ServerPath().c_str());
  if (Server == nullptr) throw Exception(std::string_view("Cannot load the simulator's COM server"));
  using TRegister = HRESULT(WINAPI*)();
  const auto Register = reinterpret_cast<TRegister>(reinterpret_cast<void*>(::GetProcAddress(Server, "DllRegisterServer")));
  if (Register == nullptr || FAILED(Register())) {
    throw Exception(std::string_view("The simulator's COM server did not register"));
  }
}

}  // namespace device_test
