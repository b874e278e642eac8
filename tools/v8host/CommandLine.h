#pragma once
// The v8host command: parses a command line, runs it against an add-in library
// and reports to the given streams. main() only adapts the process to it.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace v8host {

enum ExitCode : int {
  ExitOk = 0,
  ExitRefused = 1,      // a call or property access answered false
  ExitBadArgument = 2,  // the command line or a script is malformed
  ExitLoadFailed = 3,   // no library, a missing export, no component of the class
  ExitUnknownName = 4,  // the component knows no such method or property
  ExitMemory = 5,       // all went well, but the library left host memory allocated or freed foreign blocks
};

std::string UsageText();

// Args without the program name. Answers the exit code.
int RunCommandLine(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err);

// One script line in words: blanks separate, double quotes group, and inside
// quotes a backslash takes the next character as it is.
std::vector<std::string> SplitScriptLine(std::string_view Line);

}  // namespace v8host
