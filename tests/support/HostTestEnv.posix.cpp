#include <cstdlib>
#include <filesystem>
#include <string>

#include "CommonSupport.h"
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

namespace testsupport {

const char16_t* const kViewLogWithoutDisplay =
    u"Окно не может быть показано: нет графического дисплея (DISPLAY и WAYLAND_DISPLAY не заданы)";

// The Linux document window is still a stub that gives its reason.
const char16_t* const kShowHelpWithoutDisplay = u"Окно \"Справка\" недоступно в этой сборке";

TNoDisplay::TNoDisplay() {
  for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* Value = std::getenv(Name);
    FSaved.emplace_back(Name, Value != nullptr ? std::optional<std::string>(Value) : std::nullopt);
    ::unsetenv(Name);
  }
}

TNoDisplay::~TNoDisplay() {
  for (const auto& [Name, Value] : FSaved) {
    if (Value) ::setenv(Name.c_str(), Value->c_str(), 1);
  }
}

}  // namespace testsupport
