#pragma once
// Shared pieces of the host tests: the add-in a test program opens, loaded once
// for the program, a session that opens components and checks, at its end,
// that the library left no host memory allocated and freed no foreign block,
// and the small value helpers every host test writes its calls with.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "tools/v8host/CommandLine.h"
#include "tools/v8host/HostComponent.h"

namespace hosttest {

using namespace v8host;

// The file name of the add-in this program's sessions open, beside the test
// program; each program names its own (orvex_host_fixture in tests/CMakeLists.txt).
extern const char* const kFixtureFileName;

// A file beside the test program.
std::u16string BesideTestProgram(const char* FileName);
const AddInLibrary& FixtureLibrary();

// E_FAIL as the host receives it: a signed 32-bit status widened to its long.
inline constexpr HostLong kFailStatus = static_cast<HostLong>(static_cast<int32_t>(0x80004005u));

using Values = std::vector<HostValue>;

// A text value as the host passes it.
inline HostValue Text(std::u16string_view Value) { return std::u16string(Value); }

// The text a value holds; "<no text>" for a value of any other kind.
std::u16string TextOf(const HostValue& Value);

class HostSession : public ::testing::Test {
protected:
  Component& Open(std::u16string_view ClassName = u"Fixture");
  Component& Open(std::u16string_view ClassName, bool GiveConnection, bool GiveMemory);
  void TearDown() override;

  HostLong Method(std::u16string_view Name) { return FObject->MethodNumber(Name); }
  HostLong Prop(std::u16string_view Name) { return FObject->PropNumber(Name); }
  int32_t CallCount();

  // A driver's GetLastError: the code it answers and the message it writes.
  static std::pair<HostValue, std::u16string> LastError(Component& Object);
  // The same for the component this session opened last.
  std::pair<HostValue, std::u16string> LastError() { return LastError(*FObject); }

  HostMemoryManager Memory;
  HostConnection Connection;

private:
  std::unique_ptr<Component> FObject;
};

// The v8host command run in this process: its exit code and what it printed.
struct RunResult {
  int Exit;
  std::string Out;
  std::string Err;
};
RunResult RunHost(const std::vector<std::string>& Args);

inline bool Contains(std::string_view Text, std::string_view Part) { return Text.find(Part) != std::string_view::npos; }

// The one error a failed call reported; fails the test when there is not exactly one.
HostError OnlyError(const CallOutcome& Outcome);

// Platform parts (HostTestEnv.*.cpp): points the machine-wide data folder at a
// fresh temporary folder where the platform lets a test choose it, and back.
void UseTemporaryMachineDataFolder();
void RestoreMachineDataFolder();

}  // namespace hosttest
