#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"
#include "tools/v8host/HostSystem.h"

namespace v8host {

std::vector<std::string> Utf8Arguments(int ArgCount, char** Args) {
  return ArgCount > 1 ? std::vector<std::string>(Args + 1, Args + ArgCount) : std::vector<std::string>();
}

void PrepareConsole() {}

std::string ReadWholeFile(const std::u16string& Path) {
  std::ifstream File(ToUtf8(Path), std::ios::binary);
  if (!File)
    throw HostFailure(FailureKind::BadArgument, u"Cannot read " + Path + u": " + FromUtf8(std::strerror(errno)));
  std::ostringstream Content;
  Content << File.rdbuf();
  return Content.str();
}

std::u16string_view PackageOsName() noexcept { return u"Linux"; }

}  // namespace v8host
