#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "SimTest.h"
#include "platform/Os.h"
#include "platform/Text.h"

namespace simtest {

namespace {

std::filesystem::path ProgramFolder() {
  return std::filesystem::path(ToWide(os::ModuleFilePath(reinterpret_cast<const void*>(&ScratchFile)))).parent_path();
}

}  // namespace

void SetVariable(const char* Name, const std::string& Text) { _putenv_s(Name, Text.c_str()); }

std::string ScratchFile(const char* Name) {
  return (ProgramFolder() / ("sim-" + std::to_string(GetCurrentProcessId()) + "-" + Name)).string();
}

}  // namespace simtest
