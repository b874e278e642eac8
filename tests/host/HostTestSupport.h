#pragma once
// Shared pieces of the host tests: the fixture add-in, loaded once for the
// program, and a session that opens components and checks, at its end, that
// the library left no host memory allocated and freed no foreign block.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Text.h"
#include "tools/v8host/HostComponent.h"

namespace hosttest {

using namespace v8host;

// A file beside the test program.
std::u16string BesideTestProgram(const char* FileName);
const AddInLibrary& FixtureLibrary();

// E_FAIL as the host receives it: a signed 32-bit status widened to its long.
inline constexpr HostLong kFailStatus = static_cast<HostLong>(static_cast<int32_t>(0x80004005u));

class HostSession : public ::testing::Test {
protected:
  Component& Open(std::u16string_view ClassName = u"Fixture");
  Component& Open(std::u16string_view ClassName, bool GiveConnection, bool GiveMemory);
  void TearDown() override;

  HostLong Method(std::u16string_view Name) { return FObject->MethodNumber(Name); }
  HostLong Prop(std::u16string_view Name) { return FObject->PropNumber(Name); }
  int32_t CallCount();

  HostMemoryManager Memory;
  HostConnection Connection;

private:
  std::unique_ptr<Component> FObject;
};

// The one error a failed call reported; fails the test when there is not exactly one.
HostError OnlyError(const CallOutcome& Outcome);

// Platform parts (HostTestEnv.*.cpp): points the machine-wide data folder at a
// fresh temporary folder where the platform lets a test choose it, and back.
void UseTemporaryMachineDataFolder();
void RestoreMachineDataFolder();

}  // namespace hosttest
