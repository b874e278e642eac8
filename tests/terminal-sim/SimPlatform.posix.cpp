#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "SimTest.h"

namespace simtest {

void SetVariable(const char* Name, const std::string& Text) {
  if (Text.empty())
    ::unsetenv(Name);
  else
    ::setenv(Name, Text.c_str(), 1);
}

std::string ScratchFile(const char* Name) {
  return (std::filesystem::path(TERMINAL_SIM_TEST_DIR) / ("sim-" + std::to_string(::getpid()) + "-" + Name)).string();
}

}  // namespace simtest
