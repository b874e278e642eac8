#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "SimTest.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace simtest {

namespace {

using ServerEntry = HRESULT(__stdcall*)();

// The COM server is copied beside the test program by the build.
void CallServer(const char* Entry) {
  HMODULE Server = LoadLibraryW(L"tandemix_sim.dll");
  ASSERT_NE(Server, nullptr) << "tandemix_sim.dll beside the test program";
  auto Function = reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(GetProcAddress(Server, Entry)));
  ASSERT_NE(Function, nullptr) << Entry;
  EXPECT_EQ(Function(), S_OK) << Entry;
  FreeLibrary(Server);
}

std::filesystem::path ProgramFolder() {
  return std::filesystem::path(ToWide(os::ModuleFilePath(reinterpret_cast<const void*>(&CallServer)))).parent_path();
}

}  // namespace

void RegisterSimulator() { CallServer("DllRegisterServer"); }

void UnregisterSimulator() { CallServer("DllUnregisterServer"); }

void SetVariable(const char* Name, const std::string& Text) { _putenv_s(Name, Text.c_str()); }

std::string ScratchFile(const char* Name) {
  return (ProgramFolder() / ("sim-" + std::to_string(GetCurrentProcessId()) + "-" + Name)).string();
}

}  // namespace simtest
