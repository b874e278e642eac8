// terminal-sim register [--provider PATH] | unregister [--provider PATH]
// Enters the simulator's ProgIDs into the class registry (ORVEX_AUTOMATION_REGISTRY
// or the machine-wide folder), as an in-process server registers itself, and
// takes back only the entries that name this provider: a real connector
// registered under the same ProgIDs stays.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/AutomationProvider.h"
#include "platform/Exception.h"
#include "platform/Os.h"
#include "platform/Text.h"
#include "tools/terminal-sim/SimObject.h"

namespace {

constexpr std::u16string_view kProgIds[] = {terminal_sim::kPacketProgId, terminal_sim::kLinkProgId,
                                            terminal_sim::kControlProgId};

void Usage() { std::fputs("usage: terminal-sim register [--provider PATH] | unregister [--provider PATH]\n", stderr); }

// The provider library that is built beside this program.
std::string DefaultProvider() {
  static const int kAnchor = 0;
  std::filesystem::path Self(ToUtf8(os::ModuleFilePath(&kAnchor)));
  return (Self.parent_path() / "tandemix_sim.so").string();
}

std::string AbsolutePath(const std::string& Provider) {
  return std::filesystem::absolute(Provider).lexically_normal().string();
}

int Register(const std::string& Provider) {
  const std::string Absolute = AbsolutePath(Provider);
  if (!std::filesystem::exists(Absolute)) {
    std::fprintf(stderr, "terminal-sim: no provider library at %s\n", Absolute.c_str());
    return 1;
  }
  for (auto ProgId : kProgIds) automation::RegisterClass(ProgId, FromUtf8(Absolute));
  std::printf("registered %s in %s\n", Absolute.c_str(), ToUtf8(automation::RegistryFolder()).c_str());
  return 0;
}

int Unregister(const std::string& Provider) {
  const std::u16string Absolute = FromUtf8(AbsolutePath(Provider));
  for (auto ProgId : kProgIds) automation::UnregisterClass(ProgId, Absolute);
  std::printf("unregistered from %s\n", ToUtf8(automation::RegistryFolder()).c_str());
  return 0;
}

}  // namespace

int main(int Argc, char** Argv) {
  try {
    std::string_view Command = Argc > 1 ? Argv[1] : "";
    const bool Given = Argc == 4 && std::string_view(Argv[2]) == "--provider";
    if (Argc != 2 && !Given) Command = "";
    const std::string Provider = Given ? Argv[3] : DefaultProvider();
    if (Command == "register") return Register(Provider);
    if (Command == "unregister") return Unregister(Provider);
    Usage();
    return 2;
  } catch (...) {
    std::fprintf(stderr, "terminal-sim: %s\n", ToUtf8(CurrentExceptionMessage()).c_str());
    return 1;
  }
}
