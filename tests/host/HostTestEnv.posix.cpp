#include <cstdlib>
#include <filesystem>
#include <string>

#include "HostTestSupport.h"

namespace hosttest {

void UseTemporaryMachineDataFolder() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "v8host-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
  ::setenv("PROGRAMDATA", Pattern.c_str(), 1);
}

}  // namespace hosttest
