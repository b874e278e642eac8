#pragma once
// What the command needs from the operating system beyond loading libraries:
// its arguments as UTF-8, a console that shows UTF-8, and whole files.
#include <string>
#include <string_view>
#include <vector>

namespace v8host {

// The program's arguments without its name, in UTF-8 whatever the system's code page.
std::vector<std::string> Utf8Arguments(int ArgCount, char** Args);
void PrepareConsole();
// Raises a HostFailure (BadArgument) naming the file when it cannot be read.
std::string ReadWholeFile(const std::u16string& Path);

// The running host's system and architecture as an add-in package's manifest
// names them ("Windows" or "Linux"; "i386" or "x86_64").
std::u16string_view PackageOsName() noexcept;
inline std::u16string_view PackageArchName() noexcept { return sizeof(void*) == 8 ? u"x86_64" : u"i386"; }

}  // namespace v8host
