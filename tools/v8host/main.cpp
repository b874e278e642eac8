// v8host: the host emulator's command line.
#include <iostream>

#include "tools/v8host/CommandLine.h"
#include "tools/v8host/HostSystem.h"

int main(int ArgCount, char** Args) {
  v8host::PrepareConsole();
  return v8host::RunCommandLine(v8host::Utf8Arguments(ArgCount, Args), std::cout, std::cerr);
}
