#pragma once
// What the command needs from the operating system beyond loading libraries:
// its arguments as UTF-8, a console that shows UTF-8, and whole files.
#include <string>
#include <vector>

namespace v8host {

// The program's arguments without its name, in UTF-8 whatever the system's code page.
std::vector<std::string> Utf8Arguments(int ArgCount, char** Args);
void PrepareConsole();
// Raises a HostFailure (BadArgument) naming the file when it cannot be read.
std::string ReadWholeFile(const std::u16string& Path);

}  // namespace v8host
