#include <cstdlib>
#include <filesystem>
#include <string>

#include "HostTestSupport.h"

namespace hosttest {

namespace {
std::filesystem::path& TemporaryFolder() {
  static std::filesystem::path Folder;
  return Folder;
}
}  // namespace

void UseTemporaryMachineDataFolder() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "v8host-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(Pattern.data()), nullptr);
  TemporaryFolder() = Pattern;
  ::setenv("PROGRAMDATA", Pattern.c_str(), 1);
}

void RestoreMachineDataFolder() {
  ::unsetenv("PROGRAMDATA");
  std::error_code Ignored;
  if (!TemporaryFolder().empty()) std::filesystem::remove_all(TemporaryFolder(), Ignored);
  TemporaryFolder().clear();
}

}  // namespace hosttest
