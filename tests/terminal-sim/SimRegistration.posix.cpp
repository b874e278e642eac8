#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "SimTest.h"
#include "platform/AutomationProvider.h"
#include "platform/Text.h"

namespace simtest {

namespace {

std::filesystem::path PrivateFolder() {
  return std::filesystem::path(TERMINAL_SIM_TEST_DIR) / ("run-" + std::to_string(::getpid()));
}

}  // namespace

void RegisterSimulator() {
  std::filesystem::create_directories(PrivateFolder());
  SetVariable("ORVEX_AUTOMATION_REGISTRY", (PrivateFolder() / "registry").string());
  for (auto ProgId : {u"Tandemix.SAPacket", u"Tandemix.TXLink", u"Tandemix.Simulator"})
    automation::RegisterClass(ProgId, FromUtf8(TANDEMIX_SIM_PATH));
}

void UnregisterSimulator() {
  std::error_code Ignored;
  std::filesystem::remove_all(PrivateFolder(), Ignored);
}

void SetVariable(const char* Name, const std::string& Text) {
  if (Text.empty())
    ::unsetenv(Name);
  else
    ::setenv(Name, Text.c_str(), 1);
}

std::string ScratchFile(const char* Name) { return (PrivateFolder() / Name).string(); }

}  // namespace simtest
