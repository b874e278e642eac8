#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/Text.h"
#include "tools/v8host/HostFailure.h"
#include "tools/v8host/HostSystem.h"

namespace v8host {

// The narrow argv is in the ANSI code page; the wide command line has every character.
std::vector<std::string> Utf8Arguments(int, char**) {
  int Count = 0;
  wchar_t** Wide = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
  std::vector<std::string> Args;
  if (!Wide) return Args;
  for (int Index = 1; Index < Count; ++Index) Args.push_back(ToUtf8(FromWide(Wide[Index])));
  ::LocalFree(Wide);
  return Args;
}

void PrepareConsole() { ::SetConsoleOutputCP(CP_UTF8); }

std::string ReadWholeFile(const std::u16string& Path) {
  FILE* File = ::_wfopen(ToWide(Path).c_str(), L"rb");
  if (!File) throw HostFailure(FailureKind::BadArgument, u"Cannot read " + Path);
  std::string Content;
  char Buffer[4096];
  for (std::size_t Read; (Read = std::fread(Buffer, 1, sizeof Buffer, File)) > 0;) Content.append(Buffer, Read);
  std::fclose(File);
  return Content;
}

std::u16string_view PackageOsName() noexcept { return u"Windows"; }

}  // namespace v8host
